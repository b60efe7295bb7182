// The reader on what the differential test against the literal reader does not reach:
// callbacks, start states, the sizes of the lists it builds, limits of size and depth, files and
// the record of how each document ended.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "expect_fields.h"
#include "quillmere/xml.h"
#include "temp_files.h"
#include "tree_dump.h"
#include "xml/xml_state.h"

namespace {

std::unique_ptr<NanoXML> ParseDocument(const std::string& text) {
    auto root = std::make_unique<NanoXML>();
    root->Parse(text.data(), false, text.size(), 0, 0);
    return root;
}

// Whole documents with the tree and stopping position they must give (depth|name|flags|
// attributes|text per node). The tokens decide: a ">" completes only with the byte after it.
struct DocumentCase {
    const char* input;
    bool mixed;
    const char* tree;
    size_t position;
};

class ReaderDocument : public ::testing::TestWithParam<DocumentCase> {};

TEST_P(ReaderDocument, GivesTheTreeAsWritten) {
    const DocumentCase& c = GetParam();
    const std::string input = c.input;
    NanoXML root;
    const size_t position = root.Parse(input.data(), c.mixed, input.size(), 0, 0);
    EXPECT_EQ(qm::testing::DumpTree(root, false), c.tree) << input;
    EXPECT_EQ(position, c.position) << input;
}

INSTANTIATE_TEST_SUITE_P(
    Constructs, ReaderDocument,
    ::testing::Values(
        DocumentCase{"\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n<!DOCTYPE r [<!ENTITY e 'v'>]>\r\n"
                     "<!-- c -->\r\n<r a='1'/>\r\n",
                     false, "0|r|0|@a=1|\n", 79},
        DocumentCase{"<a x='1' y = \"2\"\r\n z='it\\'s'>t</a>\n", false,
                     "0|a|0|@x=1|@y=2|@z=it\\x5C's|t\n", 33},
        DocumentCase{"<a>1 &lt; 2 &#60; &amp;</a>\n", false, "0|a|0|1 &lt; 2 &#60; &amp;\n", 26},
        DocumentCase{"<a>x > y</a>\n", false, "0|a|0|x  y\n", 11},
        DocumentCase{"<a><b>x</c></a>\n", false, "0|a|0|\n1|b|0|x\n", 14},
        DocumentCase{"<a><b>x</c>y</b>z</a>\n", false, "0|a|0|y\n1|b|0|x\n", 15},
        DocumentCase{"<a><![CDATA[<b>]]></a>\n", false, "0|a|4|<b>\n", 21},
        DocumentCase{"<a>\r\n <!-- <c/> -->\r\n <?p x?>\r\n <b/>\r\n</a><s/>\n", false,
                     "0|a|0|\n1|b|0|\n", 41},
        DocumentCase{"<p>one<b/>two</p>\n", true, "0|p|0|\n1||0|one\n1|b|0|\n1||0|two\n", 16},
        DocumentCase{"<p> <![CDATA[c]]>d </p>\n", true, "0|p|0|\n1||4|c\n1||0|d\n", 22},
        DocumentCase{"<a b c='1'/>\n", false, "0|a|0|@bc=1|\n", 11},
        DocumentCase{"<a><b>t", false, "0|a|0|\n1|b|0|t\n", 7}));

TEST(Reader, ManyAttributesOnOneElement) {
    std::string input = "<a";
    for (int i = 0; i < 20000; ++i) input += " k" + std::to_string(i % 15000) + "='v'";
    input += "/>";
    auto a = ParseDocument(input);
    EXPECT_EQ(a->attributes.size(), 15000u);
}

// (Where reading stops on every input: the differential test.)
TEST(Reader, ContentOfAConstructedNode) {
    NanoXML empty;
    EXPECT_EQ(empty.Parse(nullptr, false, 10, 3, 0), 3u);
    NanoXML content("c", "  text <i>x</i> more", 1);
    QM_EXPECT_FIELDS(content, (name, "c"), (text, "text more"));
    ASSERT_EQ(content.children.size(), 1u);
    NanoXML stored("c", "<i>x</i>", false);
    EXPECT_EQ(stored.text, "<i>x</i>");
    NanoXML fragments("c", "a<i/>b", 2);
    EXPECT_EQ(fragments.children.size(), 2u);
    EXPECT_EQ(fragments.text, "b");
}

TEST(Reader, MillionLevelsOfNestingDoNotOverflowTheStack) {
    constexpr size_t kDepth = 1000000;
    std::string input;
    input.reserve(kDepth * 7 + 8);
    for (size_t i = 0; i < kDepth; ++i) input += "<e>";
    input += "x";
    for (size_t i = 0; i < kDepth; ++i) input += "</e>";
    auto root = ParseDocument(input);
    EXPECT_EQ(root->CountNodes(), kDepth - 1);
    EXPECT_EQ(root->CountAttributes(), 0u);
    root->SortChildren(-1);
    EXPECT_EQ(root->FindNode("none", "", "", static_cast<uint64_t>(-1)), nullptr);
    EXPECT_EQ(root->FindChild("none", "", "", true), nullptr);
    std::vector<NanoXML*> found;
    root->CollectAll(found, "e", "x", "");
    EXPECT_EQ(found.size(), 1u);
    NanoXML* deepest = found[0];
    EXPECT_EQ(deepest->FindNearest("", "", "", nullptr), deepest);
    root.reset();  // destruction must not recurse either
}

TEST(Reader, LoadFileRecordsTheFileAndLogsTheLength) {
    qmtest::TempFolder dir;
    const std::string path = dir.Write("doc.xml", "<?xml version=\"1.0\"?>\n<r><c/></r>\n");
    NanoXML::ClearMessageLog();
    const size_t before = NanoXML::LoadedFiles().size();
    NanoXML root;
    EXPECT_EQ(root.LoadFile(path.c_str()), 1);
    const auto files = NanoXML::LoadedFiles();
    ASSERT_EQ(files.size(), before + 1);
    EXPECT_EQ(files.back(), path);
    EXPECT_EQ(NanoXML::MessageLog(), "Parsed data length: 32\r\n");
    ASSERT_EQ(root.children.size(), 1u);
    EXPECT_TRUE(root.children[0]->sourceFiles.Contains(static_cast<uint16_t>(before)));
    EXPECT_EQ(root.children[0]->sourceFiles.Size(), 1u);

    const std::wstring wide(path.begin(), path.end());
    NanoXML again;
    EXPECT_EQ(again.LoadFile(wide.c_str()), 1);
    EXPECT_EQ(NanoXML::LoadedFiles().back(), path);
}

TEST(Reader, MissingAndEmptyFiles) {
    qmtest::TempFolder dir;
    NanoXML::ClearMessageLog();
    NanoXML root;
    const std::string missing = dir.File("missing.xml");
    EXPECT_EQ(root.LoadFile(missing.c_str()), 0);
    const std::string log = NanoXML::MessageLog();
    EXPECT_EQ(log.rfind("File not open:" + missing + ":", 0), 0u) << log;
    // "File not open:<path>:YYYY-MM-DD HH:MM:SS\r\nParsed data length: 0\r\n"
    const size_t firstLineEnd = log.find("\r\n");
    ASSERT_NE(firstLineEnd, std::string::npos);
    EXPECT_EQ(firstLineEnd, std::string("File not open:" + missing + ":").size() + 19);
    EXPECT_EQ(log.substr(firstLineEnd + 2), "Parsed data length: 0\r\n");

    NanoXML::ClearMessageLog();
    const size_t before = NanoXML::LoadedFiles().size();
    const std::string empty = dir.Write("empty.xml", "");
    EXPECT_EQ(root.LoadFile(empty.c_str()), 0);
    EXPECT_EQ(NanoXML::MessageLog(), "Parsed data length: 0\r\n");
    EXPECT_EQ(NanoXML::LoadedFiles().size(), before);

    // A folder opens for reading but cannot be read: not an open failure, just nothing read.
    NanoXML::ClearMessageLog();
    EXPECT_EQ(root.LoadFile(dir.File("").c_str()), 0);
    EXPECT_EQ(NanoXML::MessageLog(), "Parsed data length: 0\r\n");
    EXPECT_EQ(NanoXML::LoadedFiles().size(), before);
}

TEST(Reader, IsXmlFileLooksForTheDeclaration) {
    qmtest::TempFolder dir;
    EXPECT_TRUE(
        NanoXML::IsXmlFile(dir.Write("a.xml", "\xEF\xBB\xBF<?XML version='1.0'?><a/>").c_str()));
    EXPECT_TRUE(NanoXML::IsXmlFile(dir.Write("b.odx", "  \n<?xml?>").c_str()));
    EXPECT_FALSE(NanoXML::IsXmlFile(dir.Write("c.xml", "<a/>").c_str()));
    EXPECT_FALSE(NanoXML::IsXmlFile(dir.Write("d.xml", "").c_str()));
    EXPECT_FALSE(NanoXML::IsXmlFile(dir.Write("e.xml", std::string("ab\0<?xml", 8)).c_str()));
    EXPECT_FALSE(NanoXML::IsXmlFile(dir.Write("f.xml", std::string(1024, ' ') + "<?xml").c_str()));
    EXPECT_FALSE(NanoXML::IsXmlFile(dir.File("none.xml").c_str()));
    EXPECT_FALSE(NanoXML::IsXmlFile(nullptr));
}

// How each whole document ended, recorded beside the tree (which the reader keeps as read):
// the innermost element still open and the line of its start tag.
TEST(Reader, TheEndOfEachDocumentIsRecorded) {
    struct Case {
        std::string text;
        bool empty;
        bool rootFound;
        std::string openElement;
        uint64_t openLine;
    };
    const std::vector<Case> cases = {
        {"<a><b>x</b></a>", false, true, "", 0},
        {"<?xml version=\"1.0\"?>\n<a>\n <b>\n  <c x='1'>text", false, true, "c", 4},
        {"<a>\n<b/>\n", false, true, "a", 1},
        {"<a><b/>", false, true, "a", 1},
        {"<a/>", false, true, "", 0},
        {"<a><b x=\"unclosed", false, true, "b", 1},
        {"<?xml version=\"1.0\"?>\n<!-- only a comment -->\n", false, false, "", 0},
        {"just text, no markup", false, false, "", 0},
        {std::string("\0<a/>", 5), false, false, "", 0},
        {"", true, false, "", 0},
        // A mismatched closing tag ends its element: the document is whole.
        {"<a><b></c></a>", false, true, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        NanoXML root;
        root.Parse(c.text.data(), false, c.text.size(), 0, 0);
        const qm::xml::DocumentEnd& end = qm::xml::LastDocumentEnd();
        QM_EXPECT_FIELDS(end, (empty, c.empty), (rootFound, c.rootFound),
                         (openElement, c.openElement), (openLine, c.openLine),
                         (Truncated(), !c.openElement.empty()));
    }
    qm::xml::TakeTruncatedDocuments();
    std::string deep;
    for (int i = 0; i < 100000; ++i) deep += "<e>";
    NanoXML root;
    root.Parse(deep.data(), false, deep.size(), 0, 0);
    EXPECT_EQ(qm::xml::LastDocumentEnd().TruncationText(), "document ends inside <e> at line 1");
    // Content read into a node (a document of an archive) is noted only when an element of
    // it stays open.
    NanoXML wrapper;
    const std::string content = "<ODX><X>";
    wrapper.Parse(content.data(), false, content.size(), 0, 10);
    EXPECT_EQ(qm::xml::TakeTruncatedDocuments(),
              (std::vector<std::string>{"document ends inside <e> at line 1",
                                        "document ends inside <X> at line 1"}));
}

// How the reader builds the lists of children and attributes: without a callback they are
// gathered and allocated once at their exact size, with a callback every child is in its
// parent's list before it is announced.
// Every list in the tree holds exactly as many entries as it has room for.
void ExpectExactLists(const NanoXML& node, const std::string& path = "") {
    const std::string here = path + "/" + node.name;
    EXPECT_EQ(node.children.capacity(), node.children.size()) << here;
    EXPECT_EQ(node.attributes.capacity(), node.attributes.size()) << here;
    // Texts beyond the inline buffer are allocated at their size, not rounded up.
    for (const NanoXMLAttribute& attribute : node.attributes) {
        if (attribute.value.size() > 15) {
            EXPECT_EQ(attribute.value.capacity(), attribute.value.size()) << here;
        }
        if (attribute.name.size() > 15) {
            EXPECT_EQ(attribute.name.capacity(), attribute.name.size()) << here;
        }
    }
    for (const NanoXML* child : node.children) ExpectExactLists(*child, here);
}

TEST(ReaderLists, WithoutCallbackEveryListHasItsExactSize) {
    std::string input = "<r>";
    for (int i = 0; i < 37; ++i) {
        input += "<e a='1' b='2' a-rather-long-name='a value of some twenty bytes'>";
        for (int j = 0; j < i % 7; ++j) input += "<f x='" + std::to_string(j) + "'/>";
        input += "</e>";
    }
    input += "<m>one<b/>two<![CDATA[three]]></m></r>";
    NanoXML root;
    root.Parse(input.data(), true, input.size(), 0, 0);
    ASSERT_EQ(root.children.size(), 38u);
    EXPECT_EQ(root.children[5]->children.size(), 5u);
    EXPECT_EQ(root.children[37]->children.size(), 4u);  // one, b, two, the CDATA fragment
    ExpectExactLists(root);
    // A document cut off inside elements and inside a start tag gets exact lists as well.
    NanoXML cut;
    const std::string truncated = input.substr(0, input.find("<f x='4'") + 8);
    cut.Parse(truncated.data(), false, truncated.size(), 0, 0);
    ExpectExactLists(cut);
    const NanoXML* last = cut.children.back()->children.back();
    ASSERT_EQ(last->attributes.size(), 1u);
    EXPECT_EQ(last->attributes[0].name, "x");
}

TEST(ReaderLists, ParseAddsToWhatTheNodeAlreadyHolds) {
    // Content read into a node keeps its earlier children first.
    NanoXML node;
    node.name = "a";
    node.AddChild("old", "", 0);
    const std::string content = "<n1/>text<n2 k='v'/></a>";
    node.Parse(content.data(), false, content.size(), 0, 10);
    ASSERT_EQ(node.children.size(), 3u);
    EXPECT_EQ(node.children[0]->name, "old");
    EXPECT_EQ(node.children[1]->name, "n1");
    EXPECT_EQ(node.children[2]->name, "n2");
    EXPECT_EQ(node.children[2]->parent, &node);
    EXPECT_EQ(node.text, "text");

    // A start tag read into a node with attributes follows the first-value rule over both.
    NanoXML tagged;
    tagged.name = "a";
    tagged.AddAttribute("x", "1", 0);
    tagged.AddAttribute("y", "", 0);
    const std::string tag = " x='2' y='3' z='4'/>";
    tagged.Parse(tag.data(), false, tag.size(), 0, 2);
    ASSERT_EQ(tagged.attributes.size(), 4u);
    QM_EXPECT_FIELDS(tagged, (GetAttribute("x"), "1"), (GetAttributeValueAt(2), "3"),
                     (GetAttributeValueAt(3), "4"));

    // The same with so many attributes that names are indexed.
    NanoXML wide;
    wide.name = "a";
    for (int i = 0; i < 20; ++i) wide.AddAttribute(("k" + std::to_string(i)).c_str(), "", 0);
    wide.AddAttribute("set", "first", 0);
    std::string many;
    for (int i = 0; i < 20; ++i) many += " k" + std::to_string(i) + "='v'";
    many += " set='second' k3='again' new='n'/>";
    wide.Parse(many.data(), false, many.size(), 0, 2);
    // Each empty k gets a second entry; k3 a third, as its first is still empty.
    ASSERT_EQ(wide.attributes.size(), 21u + 20u + 2u);
    QM_EXPECT_FIELDS(wide, (GetAttribute("set"), "first"), (GetAttributeValueAt(21), "v"),
                     (GetAttributeValueAt(41), "again"));
    EXPECT_EQ(wide.attributes.back().name, "new");
}

TEST(ReaderLists, CallbackSeesTheChildInItsParentsList) {
    // A callback may look at the child's siblings and its place among them, so every child is
    // in its parent's list from the start, not only once the parent ends.
    NanoXML root;
    std::vector<std::string> seen;
    root.onChildParsed = std::make_shared<const NanoXML::ChildCallback>([&seen](NanoXML* child) {
        const NanoXML* parent = child->parent;
        const bool last = !parent->children.empty() && parent->children.back() == child;
        seen.push_back(child->name + (last ? ":last" : ":missing") + ":" +
                       std::to_string(parent->children.size()) + ":" +
                       std::to_string(child->SiblingIndex()));
    });
    const std::string input = "<r><s/><t><s/><s/></t><s/></r>";
    root.Parse(input.data(), false, input.size(), 0, 0);
    const std::vector<std::string> expected = {"s:last:1:-1", "s:last:1:-1", "s:last:2:1",
                                               "t:last:2:-1", "s:last:3:1"};
    EXPECT_EQ(seen, expected);
}

TEST(ReaderLists, JoinedNamesStayLinear) {
    // A start tag of many bare words joins them into one name; it must not cost quadratic
    // memory or time.
    std::string input = "<a";
    for (int i = 0; i < 200000; ++i) input += " w";
    input += "='v'/>";
    NanoXML root;
    root.Parse(input.data(), false, input.size(), 0, 0);
    ASSERT_EQ(root.attributes.size(), 1u);
    EXPECT_EQ(root.attributes[0].name.size(), 200000u);
    EXPECT_EQ(root.attributes[0].value, "v");
}

}  // namespace
