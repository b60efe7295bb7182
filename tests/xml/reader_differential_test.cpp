// The fast reader, with a callback and without one, against the literal character-by-character
// reader on many generated and odd inputs: same tree, same stopping position, same callbacks in
// the same order.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>

#include "literal_reader.h"
#include "quillmere/xml.h"
#include "tree_dump.h"

namespace {

using qm::testing::DumpTree;
using qm::testing::Escaped;
using qm::testing::LiteralParse;

struct Outcome {
    std::string tree;
    size_t position = 0;
    std::string callbacks;
};

template <typename ParseFunction>
Outcome Read(const std::string& input, bool mixed, int state, ParseFunction parse) {
    Outcome outcome;
    NanoXML root;
    if (state != 0) root.name = "a";
    std::string* log = &outcome.callbacks;
    root.onChildParsed = std::make_shared<const NanoXML::ChildCallback>([log](NanoXML* child) {
        *log +=
            child->name + "<" + child->text + "<" + std::to_string(child->children.size()) + ";";
    });
    outcome.position = parse(&root, input, mixed, state);
    outcome.tree = DumpTree(root);
    return outcome;
}

// The fast reader with a callback and without one (then it gathers each list and allocates it
// once at its exact size) against the literal reader: same tree, same stopping position, same
// callbacks.
void ExpectSameAsLiteral(const std::string& input, bool mixed, int state) {
    const Outcome literal =
        Read(input, mixed, state, [](NanoXML* n, const std::string& s, bool m, int st) {
            return LiteralParse(n, s.data(), m, s.size(), 0, st,
                                static_cast<uint16_t>(NanoXML::LoadedFiles().size() - 1));
        });
    const Outcome fast =
        Read(input, mixed, state, [](NanoXML* n, const std::string& s, bool m, int st) {
            return n->Parse(s.data(), m, s.size(), 0, st);
        });
    NanoXML plain;
    if (state != 0) plain.name = "a";
    const size_t plainEnd = plain.Parse(input.data(), mixed, input.size(), 0, state);
    const std::string where = "input \"" + Escaped(input) + "\" mixed " + std::to_string(mixed) +
                              " state " + std::to_string(state);
    ASSERT_EQ(fast.tree, literal.tree) << where;
    ASSERT_EQ(fast.position, literal.position) << where;
    ASSERT_EQ(fast.callbacks, literal.callbacks) << where;
    ASSERT_EQ(DumpTree(plain), literal.tree) << where << " without a callback";
    ASSERT_EQ(plainEnd, literal.position) << where << " without a callback";
}

void ExpectSameAsLiteralInAllModes(const std::string& input) {
    for (int state : {0, 10, 2}) {
        for (bool mixed : {false, true}) ExpectSameAsLiteral(input, mixed, state);
    }
}

TEST(ReaderDifferential, HandPickedOddInputs) {
    const char* inputs[] = {
        "<a x='1' y='2'>t</a>",
        "<a>1 &lt; 2</a>\n",
        "<a>x > y</a>\n",
        "<a><b>x</c></a>\n",
        "<a><![CDATA[<b>]]></a>\n",
        "<p>one<b/>two</p>\n",
        "<a b c='1'/>\n",
        "\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<r>\n  <s k=\"v\">q</s>\n</r>\n",
        "<a><b x=\"1\">t</b>it's \"q\" <c/></a>\n",
        "<a><b/>it's <c>x</c>'</a>\n",
        "<a v='it\\'s'>x</a>\n",
        "<a v=\"x>y\" w='<'>z</a>\n",
        "<a>]]<![CDATA[>tail]]></a>\n",
        "<a>x]<![CDATA[]>y]]></a>\n",
        "<a><![CDATA[unclosed",
        "<a><![CDATA[]]]]><![CDATA[>]]></a> ",
        "<a><!-- c > d --> <!----> <!--x-- > -->t</a>\n",
        "<a><?pi x > ?>t</a>\n",
        "<!DOCTYPE a [<!ENTITY e 'v'>]><a>t</a>\n",
        "'<a>' <b>t</b>\n",
        "<a/>trailing",
        "<a></a>",
        "<a></a>\n",
        "<a>text",
        "<a>text>",
        "<a>text<",
        "<a>text< ",
        "<a x=>t</a> ",
        "<a x>t</a>=\"v\" ",
        "<a x='1' x='2' y='' y='3' y='4'/> ",
        "<a><b></b ><c></c x></a> ",
        "<a><b/x>tail</a> ",
        "<a>< b>t</ b></a> ",
        "<a><<b/></a> ",
        "<a><>x</a> ",
        "<a><\"q\" x='1'>t</\"q\"></a> ",
        "<a>\t \r\n</a> ",
        "<a>  x  <b/>  y  </a> ",
        "<a>a\0b</a>",
        "<a>one<![CDATA[two]]>three<b/>four</a> ",
        "<a>![CDATA[x</a> ",
        "<a x=![CDATA[y>t</a> ",
        "<a><![CDATA[![CDATA[]]></a> ",
        "<a>'<b>'</a> ",
        "<?xml?><?xml?><a/> ",
        "<a>x</a><b>y</b> ",
        "",
        " ",
        // What the reader makes of prologs, mismatched and malformed ends, text and attributes.
        "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<!DOCTYPE r>\r\n"
        "<!-- head -->\r\n<r><!-- inner > still comment --><s/><?pi a > b?></r>\r\n",
        "<a><b>x</c><d/></a>",
        "<a>\n  one <b/>\n  two\n</a>",
        "<a v=' a &amp; b '/>",
        "<a v='it\\'s' w=\"x>y\">t</a>",
        // Start tags of every shape.
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
        "<r><a x='1' y='2'><b z='3'/></a><c w=''/></r> ",
        "<r><a x='1'\n",
    };
    for (const char* input : inputs) {
        ExpectSameAsLiteralInAllModes(std::string(input));
    }
    // Start tags cut anywhere.
    for (const std::string tag : {"<a x='1' y='2'/>", "<a x='1'/>", "<a x='1'>"}) {
        for (size_t cut = 1; cut <= tag.size(); ++cut)
            ExpectSameAsLiteralInAllModes(tag.substr(0, cut));
    }
    ExpectSameAsLiteralInAllModes(std::string("<a>a\0b</a> ", 11));
}

// Random documents from fragments that exercise every state and every token boundary.
std::string RandomInput(std::mt19937& random) {
    static const char* const kPieces[] = {
        "<",        ">",     "/",        "=",         "\"",   "'",       "\\", " ",   "\n",
        "\t",       "\r",    "a",        "b",         "ab",   "x",       "!",  "?",   "-",
        "--",       "]",     "]]",       "]]>",       "<a",   "</a",     "<b", "</b", "<a>",
        "</a>",     "<b/>",  "![CDATA[", "<![CDATA[", "<!--", "-->",     "<?", "?>",  " c='1'",
        " d=\"2\"", "x='y'", "&lt;",     "&amp;",     "'s",   "\xC3\xA4"};
    std::uniform_int_distribution<size_t> pieceCount(0, 40);
    std::uniform_int_distribution<size_t> pick(0, std::size(kPieces) - 1);
    std::string input;
    const size_t count = pieceCount(random);
    for (size_t i = 0; i < count; ++i) input += kPieces[pick(random)];
    return input;
}

TEST(ReaderDifferential, RandomFragmentSoup) {
    std::mt19937 random(20240601);
    for (int i = 0; i < 20000; ++i) {
        ExpectSameAsLiteralInAllModes(RandomInput(random));
        if (HasFatalFailure()) return;
    }
}

// Well-formed random documents with attributes, comments, CDATA and mixed content, in two
// shapes: deep and text-heavy, or heavy in attributes (some on lines of their own) and small
// elements.
struct DocumentShape {
    const char* elementName;
    int attributes;  // at most, plus one
    int emptyOdds;   // of ten, an element is empty
    int children;    // at most, plus one
    int depth;
    bool textHeavy;  // comments, text and indentation around every child
};

void AppendRandomElement(std::mt19937& random, std::string& out, int depth,
                         const DocumentShape& shape) {
    std::uniform_int_distribution<int> choice(0, 9);
    const std::string name = depth % 2 ? shape.elementName + std::to_string(choice(random)) : "n";
    out += "<" + name;
    for (int i = choice(random) % shape.attributes; i > 0; --i) {
        out += choice(random) < 3 ? "\n   " : " ";
        out += "k" + std::to_string(choice(random) % 4);
        out += choice(random) < 5 ? "=\"v " + std::to_string(i) + "\"" : "=''";
    }
    if (choice(random) < shape.emptyOdds) {
        out += "/>";
        return;
    }
    out += ">";
    const int children = depth > shape.depth ? 0 : choice(random) % shape.children;
    for (int i = 0; i < children; ++i) {
        const int kind = choice(random);
        if (kind == 0) out += shape.textHeavy ? "<!-- note -->" : "<![CDATA[c]]>";
        if (kind == 1) out += shape.textHeavy ? "<![CDATA[a<b>c]]>" : "t &lt; u";
        if (kind == 2 && shape.textHeavy) out += "text &amp; more";
        if (shape.textHeavy) out += "\n" + std::string(static_cast<size_t>(depth) * 2, ' ');
        AppendRandomElement(random, out, depth + 1, shape);
    }
    if (children == 0 && shape.textHeavy) out += "value " + std::to_string(choice(random));
    out += "</" + name + ">";
}

TEST(ReaderDifferential, RandomDocumentsAndTheirCuts) {
    const struct {
        DocumentShape shape;
        unsigned seed;
        int documents;
        size_t cutStep;
    } runs[] = {{{"ELEM-", 3, 1, 4, 4, true}, 7, 2000, 7},
                {{"ITEM-", 5, 2, 6, 5, false}, 4242, 250, 5}};
    for (const auto& run : runs) {
        std::mt19937 random(run.seed);
        for (int i = 0; i < run.documents; ++i) {
            std::string document = "<?xml version=\"1.0\"?>\n";
            AppendRandomElement(random, document, 0, run.shape);
            document += "\n";
            ExpectSameAsLiteralInAllModes(document);
            // Every truncation stops cleanly and still agrees (some 400 of a long document).
            if (i % 50 == 0) {
                const size_t step = std::max(run.cutStep, document.size() / 400);
                for (size_t cut = 0; cut < document.size(); cut += step) {
                    ExpectSameAsLiteralInAllModes(document.substr(0, cut));
                }
            }
            if (HasFatalFailure()) return;
        }
    }
}

TEST(ReaderDifferential, ManyAttributesWithRepeatsAgree) {
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
        ExpectSameAsLiteralInAllModes(input);
        if (HasFatalFailure()) return;
    }
}

}  // namespace
