// How the reader builds the lists of children and attributes: without a callback they are
// gathered and allocated once at their exact size, with a callback every child is in its
// parent's list before it is announced. Either way the tree is the one the literal
// character-by-character reader builds.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "literal_reader.h"
#include "quillmere/xml.h"
#include "tree_dump.h"

namespace {

using qm::testing::DumpTree;
using qm::testing::Escaped;
using qm::testing::LiteralParse;

uint16_t CurrentFile() {
    return static_cast<uint16_t>(NanoXML::LoadedFiles().size() - 1);
}

// Reads input into a fresh root (named "a" for the content and start-tag states) without any
// callback, with the fast reader and the literal one, and compares trees and positions.
void ExpectSameWithoutCallback(const std::string& input, bool mixed, int state) {
    NanoXML fast;
    NanoXML literal;
    if (state != 0) fast.name = literal.name = "a";
    const size_t fastEnd = fast.Parse(input.data(), mixed, input.size(), 0, state);
    const size_t literalEnd =
        LiteralParse(&literal, input.data(), mixed, input.size(), 0, state, CurrentFile());
    const std::string where = "input \"" + Escaped(input) + "\" mixed " + std::to_string(mixed) +
                              " state " + std::to_string(state);
    ASSERT_EQ(DumpTree(fast), DumpTree(literal)) << where;
    ASSERT_EQ(fastEnd, literalEnd) << where;
}

void ExpectSameInAllModes(const std::string& input) {
    for (int state : {0, 10, 2}) {
        for (bool mixed : {false, true}) ExpectSameWithoutCallback(input, mixed, state);
    }
}

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

TEST(ReaderLists, StartTagsOfEveryShape) {
    const char* inputs[] = {
        "<a x='1' y=\"2\">t</a> ",
        "<a  x = '1'\n\ty\t=\"2\"  >t</a> ",
        "<a x='1'y='2'/> ",
        "<a b c d='1' e f='2'/> ",
        "<a b c d e/> ",
        "<a x=1 y=\"2\">t</a> ",
        "<a x=>y='1'>t</a> ",
        "<a x=> y=\"q\" z>t</a> ",
        "<a x='1' ?>t</a> ",
        "<a x='1' ?y='2'>t</a> ",
        "<?xml version=\"1.0\"?><a ?='1' ?"
        "?='2'/> ",
        "<a !x='1' ![CDATA[y='2'/> ",
        "<a x--='1'><!-- c --></a> ",
        "<a x='1' x='2' x='' y='' y='3' y='4' z='' z=''/> ",
        "<a x='it\\'s' y=\"say \\\"\" z='<>'/> ",
        "<a x='1' <b y='2'/></a> ",
        "<a x='1' y='2",
        "<a x='1' y=",
        "<a x='1' y",
        "<a x='1' ",
        "<a x='1'>",
        "<a x='1'/",
        "<a x='1'/>",
        "<r><a x='1' y='2'><b z='3'/></a><c w=''/></r> ",
        "<r><a x='1'\n",
    };
    for (const char* input : inputs) {
        ExpectSameInAllModes(input);
        if (HasFatalFailure()) return;
    }
}

TEST(ReaderLists, ManyAttributesWithRepeatsAgree) {
    // Beyond a few attributes the reader looks names up in an index: the first non-empty value
    // of each name must still win, also for names joined from several tokens.
    std::mt19937 random(99);
    std::uniform_int_distribution<int> name(0, 30);
    std::uniform_int_distribution<int> kind(0, 5);
    for (int round = 0; round < 200; ++round) {
        std::string input = "<r><a";
        const int count = round % 60;
        for (int i = 0; i < count; ++i) {
            const int k = kind(random);
            const std::string n = "k" + std::to_string(name(random));
            if (k == 0) input += " " + n + "=''";
            if (k == 1) input += " " + n + " j='x'";
            if (k >= 2) input += " " + n + "='" + std::to_string(i) + "'";
        }
        input += "><b/></a></r> ";
        ExpectSameInAllModes(input);
        if (HasFatalFailure()) return;
    }
}

// Well-formed random documents heavy in attributes and small elements.
void AppendElement(std::mt19937& random, std::string& out, int depth) {
    std::uniform_int_distribution<int> choice(0, 9);
    const std::string name = depth % 2 ? "ITEM-" + std::to_string(choice(random)) : "q";
    out += "<" + name;
    for (int i = choice(random) % 5; i > 0; --i) {
        out += choice(random) < 3 ? "\n   " : " ";
        out += "a" + std::to_string(choice(random) % 4);
        out += choice(random) < 7 ? "=\"v " + std::to_string(i) + "\"" : "=''";
    }
    if (choice(random) < 2) {
        out += "/>";
        return;
    }
    out += ">";
    const int children = depth > 5 ? 0 : choice(random) % 6;
    for (int i = 0; i < children; ++i) {
        if (choice(random) == 0) out += "<![CDATA[c]]>";
        if (choice(random) == 1) out += "t &lt; u";
        AppendElement(random, out, depth + 1);
    }
    out += "</" + name + ">";
}

TEST(ReaderLists, RandomDocumentsAgreeAndCutsStopCleanly) {
    std::mt19937 random(4242);
    for (int i = 0; i < 250; ++i) {
        std::string document = "<?xml version=\"1.0\"?>\n";
        AppendElement(random, document, 0);
        document += "\n";
        ExpectSameInAllModes(document);
        if (i % 50 == 0) {
            for (size_t cut = 0; cut < document.size(); cut += 5) {
                ExpectSameInAllModes(document.substr(0, cut));
            }
        }
        if (HasFatalFailure()) return;
    }
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
    EXPECT_EQ(tagged.GetAttribute("x"), "1");
    EXPECT_EQ(tagged.GetAttributeValueAt(2), "3");
    EXPECT_EQ(tagged.GetAttributeValueAt(3), "4");

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
    EXPECT_EQ(wide.GetAttribute("set"), "first");
    EXPECT_EQ(wide.GetAttributeValueAt(21), "v");
    EXPECT_EQ(wide.GetAttributeValueAt(41), "again");
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
