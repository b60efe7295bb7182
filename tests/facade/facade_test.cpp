#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "expect_fields.h"
#include "quillmere/facade.h"
#include "quillmere/quillmere.h"
#include "quillmere/someip.h"
#include "temp_files.h"

namespace fs = std::filesystem;

namespace facade {
namespace {

using qmtest::TempPath;

using qmtest::ReadFile;

void ExpectPristineInfoNode(NanoXML* info) {
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->name, "Quillmere");
    ASSERT_EQ(info->attributes.size(), 2u);
    QM_EXPECT_FIELDS(*info, (GetAttributeNameAt(0), "Version"),
                     (GetAttributeValueAt(0), "1.00.40.03"), (GetAttributeNameAt(1), "BuildDate"),
                     (GetAttributeValueAt(1), "Apr 25 2022"));
    EXPECT_TRUE(info->children.empty());
    EXPECT_TRUE(info->text.empty());
    EXPECT_EQ(info->parent, nullptr);
}

}  // namespace

TEST(Instances, CreateAndDeleteOnceEach) {
    IQuillmere* first = CreateQuillmereInstance();
    IQuillmere* second = CreateQuillmereInstance();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(first, second);
    QM_EXPECT_FIELDS(*first, (GetVersion(), "1.00.40.03"), (GetBuildDate(), "Apr 25 2022"));

    EXPECT_TRUE(DeleteQuillmereInstance(first));
    EXPECT_FALSE(DeleteQuillmereInstance(first));
    // The other instance is untouched and still usable.
    ExpectPristineInfoNode(second->GetXml());
    EXPECT_TRUE(DeleteQuillmereInstance(second));
    EXPECT_FALSE(DeleteQuillmereInstance(nullptr));
}

TEST(Facade, ClearRestoresTheInfoElement) {
    IQuillmere* facade = CreateQuillmereInstance();
    NanoXML* info = facade->GetXml();
    ExpectPristineInfoNode(info);
    info->SetAttribute("Extra", "1");
    info->AddChild("Stray", "text", 0);
    info->text = "junk";
    info->name = "Renamed";
    info->flags = 4;
    NanoXML::AppendMessage("a line\r\n");

    facade->Clear();
    EXPECT_EQ(facade->GetXml(), info);
    ExpectPristineInfoNode(info);
    EXPECT_EQ(info->flags, 0);
    EXPECT_EQ(NanoXML::MessageLog(), "");
    DeleteQuillmereInstance(facade);
}

TEST(Facade, DestructionDetachesTheInfoElementFromAHostParent) {
    NanoXML hostRoot;
    hostRoot.name = "Host";
    IQuillmere* facade = CreateQuillmereInstance();
    hostRoot.AddChild(facade->GetXml());
    ASSERT_EQ(hostRoot.children.size(), 1u);
    DeleteQuillmereInstance(facade);
    EXPECT_TRUE(hostRoot.children.empty());
}

TEST(Facade, ObjectsBelongToTheFacadeThatMadeThem) {
    IQuillmere* a = CreateQuillmereInstance();
    IQuillmere* b = CreateQuillmereInstance();
    INetConfig* config = a->CreateNetConfig();
    INetConfigDbcFile* dbc = a->CreateDbcFile();
    INetConfigLdfFile* ldf = a->CreateLdfFile();
    INetConfigArxmlFile* arxml = a->CreateArxmlFile();
    // Another facade neither deletes them nor destroys them when it goes. (Every kind of object
    // is listed alike: what a null delete gives is checked on the DBC file.)
    EXPECT_FALSE(b->DeleteNetConfig(config));
    EXPECT_FALSE(b->DeleteDbcFile(dbc));
    EXPECT_FALSE(b->DeleteLdfFile(ldf));
    EXPECT_FALSE(b->DeleteArxmlFile(arxml));
    DeleteQuillmereInstance(b);
    EXPECT_EQ(config->GetDataBaseCount(), 0u);
    EXPECT_STREQ(dbc->GetVersion(), "1.55");
    EXPECT_EQ(a->GetXml()->children.size(), 1u);
    EXPECT_EQ(a->DeleteDbcFile(dbc), dbc != nullptr);
    EXPECT_EQ(a->DeleteLdfFile(ldf), ldf != nullptr);
    EXPECT_EQ(a->DeleteArxmlFile(arxml), arxml != nullptr);
    EXPECT_FALSE(a->DeleteDbcFile(dbc));
    EXPECT_FALSE(a->DeleteDbcFile(nullptr));
    // Objects still listed are destroyed with the facade (the sanitizer build checks for leaks).
    a->CreateDbcFile();
    a->CreateLdfFile();
    a->CreateArxmlFile();
    DeleteQuillmereInstance(a);
}

TEST(Container, EmptyFacadeSavesTheBareFrame) {
    IQuillmere* facade = CreateQuillmereInstance();
    const std::string path = TempPath("empty.xml");
    ASSERT_TRUE(facade->SaveToFile(path.c_str()));
    EXPECT_EQ(ReadFile(path),
              "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
              "<KOVR>\r\n   <Quillmere/>\r\n</KOVR>");
    EXPECT_TRUE(facade->LoadFromFile(path.c_str()));
    fs::remove(path);
    DeleteQuillmereInstance(facade);
}

TEST(Container, LoadNeedsAReadableFileWithAQuillmereElement) {
    IQuillmere* facade = CreateQuillmereInstance();
    EXPECT_FALSE(facade->LoadFromFile(TempPath("missing.xml").c_str()));
    EXPECT_FALSE(facade->LoadFromFile(nullptr));

    INetConfig* config = facade->CreateNetConfig();
    const std::string other = TempPath("other.xml");
    for (const char* text :
         {"", "<KOVR>", "not xml at all", "<KOVR><NetConfig/></KOVR>", "<KOVR><Other/></KOVR>"}) {
        std::ofstream(other) << text;
        EXPECT_FALSE(facade->LoadFromFile(other.c_str())) << text;
    }
    EXPECT_EQ(config->GetDataBaseCount(), 0u);
    // The root's name does not matter, only its Quillmere child.
    std::ofstream(other) << "<Anything><Quillmere><Unknown/></Quillmere></Anything>";
    EXPECT_TRUE(facade->LoadFromFile(other.c_str()));
    fs::remove(other);

    DeleteQuillmereInstance(facade);
}

TEST(Facade, NetworkConfigurationsHangTheirElementsUnderTheInfoElement) {
    IQuillmere* facade = CreateQuillmereInstance();
    INetConfig* first = facade->CreateNetConfig();
    INetConfig* second = facade->CreateNetConfig();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    NanoXML* info = facade->GetXml();
    ASSERT_EQ(info->children.size(), 2u);
    EXPECT_EQ(info->children[0]->name, "NetConfig");
    EXPECT_EQ(info->children[1]->name, "NetConfig");
    EXPECT_EQ(info->children[0]->parent, info);

    EXPECT_TRUE(facade->DeleteNetConfig(first));
    ASSERT_EQ(info->children.size(), 1u);

    // Clear destroys the remaining configuration and leaves the bare info element.
    facade->Clear();
    ExpectPristineInfoNode(info);
    EXPECT_STREQ(facade->CreateNetConfig()->GetVersion(), "1.61");
    DeleteQuillmereInstance(facade);
}

// The facade's SOME/IP databases: created, kept through Clear, deleted once.
TEST(Facade, CreatesAndDeletesDatabases) {
    IQuillmere* facade = CreateQuillmereInstance();
    IArxmlDatabase* db = facade->CreateArxmlDatabase();
    ASSERT_NE(db, nullptr);
    EXPECT_STREQ(db->GetVersion(), "1.50");
    facade->Clear();  // databases survive Clear
    EXPECT_STREQ(db->GetVersion(), "1.50");
    EXPECT_TRUE(facade->DeleteArxmlDatabase(db));
    EXPECT_FALSE(facade->DeleteArxmlDatabase(db));
    facade->CreateArxmlDatabase();  // destroyed with the facade
    EXPECT_TRUE(DeleteQuillmereInstance(facade));
}

// Diagnostic libraries created by the facade: their source trees under the info element.
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

}  // namespace facade
