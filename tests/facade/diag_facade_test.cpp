// Diagnostic libraries created by the facade: their source trees under the info element.
#include <gtest/gtest.h>

#include "quillmere/quillmere.h"

namespace {

TEST(FacadeDiagnostics, LibrariesHangTheirTreesUnderTheInfoElement) {
    IQuillmere* facade = CreateQuillmereInstance();
    IDiagnoseLib* first = facade->CreateDiagnoseLib();
    IDiagnoseLib* second = facade->CreateDiagnoseLib();
    ASSERT_NE(first, nullptr);
    NanoXML* info = facade->GetXml();
    ASSERT_EQ(info->children.size(), 2u);
    EXPECT_EQ(info->children[0]->name, "DiagnoseLib");
    EXPECT_EQ(info->children[0]->GetAttribute("Version"), "03.07 (Development)");

    // Clear keeps the (fresh) tree listed in its place.
    first->AddEcu("Door");
    first->Clear();
    ASSERT_EQ(info->children.size(), 2u);
    EXPECT_TRUE(info->children[0]->children.empty());

    EXPECT_TRUE(facade->DeleteDiagnoseLib(first));
    EXPECT_FALSE(facade->DeleteDiagnoseLib(first));
    EXPECT_FALSE(facade->DeleteDiagnoseLib(nullptr));
    ASSERT_EQ(info->children.size(), 1u);
    EXPECT_EQ(second->GetEcuCount(), 0u);

    // A library of another facade is not destroyed here.
    IQuillmere* other = CreateQuillmereInstance();
    IDiagnoseLib* foreign = other->CreateDiagnoseLib();
    EXPECT_FALSE(facade->DeleteDiagnoseLib(foreign));
    EXPECT_EQ(foreign->GetEcuCount(), 0u);

    facade->Clear();
    EXPECT_TRUE(facade->GetXml()->children.empty());
    EXPECT_TRUE(DeleteQuillmereInstance(facade));
    EXPECT_TRUE(DeleteQuillmereInstance(other));
}

}  // namespace
