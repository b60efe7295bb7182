// Diagnostic libraries created by the facade: their source trees under the info element.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

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

// Two facades build CDD models on two threads: the process-wide build context is guarded, so
// each gets what a lone facade gets (run under ThreadSanitizer by make tsan).
TEST(Threads, TwoFacadesBuildCddOnTwoThreads) {
    const std::string example = std::string(QM_SOURCE_DIR) + "/examples/door_ecu.cdd";
    auto servicesOfOneLoad = [&example] {
        IQuillmere* facade = CreateQuillmereInstance();
        IDiagnoseLib* library = facade->CreateDiagnoseLib();
        std::vector<uint64_t> services;
        if (library->LoadCddFile(example.c_str(), 1) == 1) {
            IECU* ecu = library->GetEcu(0);
            for (uint64_t c = 0; c < ecu->GetFunctionalClassCount(); ++c) {
                services.push_back(ecu->GetFunctionalClass(c)->GetServiceCount());
            }
        }
        DeleteQuillmereInstance(facade);
        return services;
    };
    const std::vector<uint64_t> expected = servicesOfOneLoad();
    ASSERT_EQ(expected, (std::vector<uint64_t>{1, 2}));
    std::vector<uint64_t> results[2];
    auto work = [&](int slot) {
        for (int round = 0; round < 10; ++round) {
            results[slot] = servicesOfOneLoad();
            if (results[slot] != expected) return;
        }
    };
    std::thread first(work, 0);
    std::thread second(work, 1);
    first.join();
    second.join();
    EXPECT_EQ(results[0], expected);
    EXPECT_EQ(results[1], expected);
}

}  // namespace
