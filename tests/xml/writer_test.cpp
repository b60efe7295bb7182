#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "quillmere/xml.h"
#include "temp_files.h"

namespace writer {
namespace {

using qmtest::ReadFile;

TEST(Writer, ElementLayout) {
    NanoXML root("KOVR", "", 0);
    root.AddChild("Quillmere", "", 0);
    EXPECT_EQ(root.Serialize(0, false), "<KOVR>\r\n   <Quillmere/>\r\n</KOVR>");

    NanoXML leaf("a", "text", 0);
    leaf.SetAttribute("k", "v\"q");
    EXPECT_EQ(leaf.Serialize(0, false), "<a k=\"v\"q\">text</a>");
    NanoXML bare("a", "", 0);
    bare.SetAttribute("k", "1");
    EXPECT_EQ(bare.Serialize(0, false), "<a k=\"1\"/>");
    EXPECT_EQ(bare.Serialize(2, true), "\r\n  <a k=\"1\"/>");

    // A negative indent pads nothing, but every level still steps in by 3 from it.
    NanoXML outer("o", "", 0);
    outer.AddChild("m", "", 0)->AddChild("i", "", 0);
    EXPECT_EQ(outer.Serialize(-4, false), "<o>\r\n<m>\r\n  <i/>\r\n</m>\r\n</o>");
}

TEST(Writer, NestedTextAndCData) {
    NanoXML root("r", "", 0);
    root.text = "top";
    NanoXML* child = root.AddChild("c", "", 0);
    child->AddChild("d", "a&lt;b", 0);
    NanoXML* cdata = root.AddChild("e", "<x>", 0);
    cdata->flags |= NanoXML::kFlagCData;
    EXPECT_EQ(root.Serialize(0, false),
              "<r>top\r\n"
              "\r\n   <c>\r\n      <d>a&lt;b</d>\r\n   </c>"
              "\r\n   <e><![CDATA[<x>]]></e>\r\n</r>");
    EXPECT_EQ(root.ToString(),
              "<r>\r\n"
              "    <c>\r\n        <d>a<b</d>\r\n    </c>\r\n"
              "    <e><x></e>\r\n"
              "</r>\r\n");
}

TEST(Writer, TextFragmentsAreWrittenInPlace) {
    NanoXML p("p", "", 0);
    p.Parse("<p>one<b/>two</p>", true, 17, 0, 0);
    EXPECT_EQ(p.Serialize(0, false), "<p>\r\n   one\r\n   <b/>\r\n   two\r\n</p>");
    NanoXML only("p", "", 0);
    only.AddChild("", "words", 0);
    EXPECT_EQ(only.Serialize(0, false), "<p>words</p>");
}

TEST(Writer, ToStringShowsReferencesThroughTheirTargets) {
    NanoXML root("r", "", 0);
    NanoXML* target = root.AddChild("T", "", 0);
    target->AddChild("v", "1", 0);
    NanoXML* ref = root.AddChild("REF", "/T", 0);
    ref->SetAttribute("DEST", "T");
    ref->link = target;
    EXPECT_EQ(root.ToString(),
              "<r>\r\n"
              "    <T>\r\n        <v>1</v>\r\n    </T>\r\n"
              "    <T>\r\n        <v>1</v>\r\n    </T>\r\n"
              "</r>\r\n");
}

// 3 spaces a level in the file text and 4 in the display text, for every one of 64 levels.
TEST(Writer, SixtyFourLevelsAreIndentedInFull) {
    NanoXML root("n", "", 0);
    NanoXML* node = &root;
    for (int level = 1; level <= 64; ++level) node = node->AddChild("n", "", 0);
    node->text = "x";
    const std::string file = root.Serialize(0, false);
    EXPECT_NE(file.find("\r\n" + std::string(3 * 64, ' ') + "<n>x</n>\r\n"), std::string::npos);
    const std::string display = root.ToString();
    for (size_t level : {48, 49, 63}) {
        const std::string line = "\r\n" + std::string(4 * level, ' ') + "<n>\r\n";
        EXPECT_NE(display.find(line), std::string::npos) << level;
    }
    EXPECT_NE(display.find("\r\n" + std::string(4 * 64, ' ') + "<n>x</n>\r\n"), std::string::npos);
}

// The indentation a caller starts from is kept whatever its width; the levels below it step in
// by 3 each, the 64 levels below the node written in full.
TEST(Writer, EveryStartIndentIsKeptInFull) {
    for (int start : {7, 200, 1000}) {
        NanoXML root("a", "", 0);
        root.AddChild("b", "", 0);
        const std::string pad(static_cast<size_t>(start), ' ');
        EXPECT_EQ(root.Serialize(start, true),
                  "\r\n" + pad + "<a>\r\n" + pad + "   <b/>\r\n" + pad + "</a>")
            << start;
    }
    NanoXML root("n", "", 0);
    NanoXML* node = &root;
    for (int level = 1; level <= 64; ++level) node = node->AddChild("n", "", 0);
    node->text = "x";
    const std::string file = root.Serialize(30, false);
    EXPECT_NE(file.find("\r\n" + std::string(30 + 3 * 64, ' ') + "<n>x</n>\r\n"),
              std::string::npos);
    EXPECT_TRUE(file.ends_with("\r\n" + std::string(30, ' ') + "</n>"));
}

TEST(Writer, SaveFileWritesTheDeclarationAndTheTree) {
    const auto dir = std::filesystem::temp_directory_path() / "qm_xml_writer_test";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "out.xml").string();
    NanoXML root("KOVR", "", 0);
    root.AddChild("Quillmere", "", 0);
    ASSERT_EQ(root.SaveFile(path.c_str()), 1);
    EXPECT_EQ(ReadFile(path),
              "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
              "<KOVR>\r\n   <Quillmere/>\r\n</KOVR>");
    NanoXML back;
    ASSERT_EQ(back.LoadFile(path.c_str()), 1);
    EXPECT_EQ(back.Serialize(0, false), root.Serialize(0, false));
    std::filesystem::remove_all(dir);

    NanoXML::ClearMessageLog();
    EXPECT_EQ(root.SaveFile((dir / "missing" / "out.xml").string().c_str()), 0);
    EXPECT_EQ(NanoXML::MessageLog(), "NanoXML::SaveFile error nr 2: No such file or directory\r\n");
    EXPECT_EQ(root.SaveFile(nullptr), 0);
}

}  // namespace
}  // namespace writer
