// The fast reader against the literal character-by-character reader on many generated and odd
// inputs: same tree, same stopping position, same callbacks in the same order.
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

void ExpectSameAsLiteral(const std::string& input, bool mixed, int state) {
    const Outcome fast =
        Read(input, mixed, state, [](NanoXML* n, const std::string& s, bool m, int st) {
            return n->Parse(s.data(), m, s.size(), 0, st);
        });
    const Outcome literal =
        Read(input, mixed, state, [](NanoXML* n, const std::string& s, bool m, int st) {
            return LiteralParse(n, s.data(), m, s.size(), 0, st,
                                static_cast<uint16_t>(NanoXML::LoadedFiles().size() - 1));
        });
    const std::string where = "input \"" + Escaped(input) + "\" mixed " + std::to_string(mixed) +
                              " state " + std::to_string(state);
    ASSERT_EQ(fast.tree, literal.tree) << where;
    ASSERT_EQ(fast.position, literal.position) << where;
    ASSERT_EQ(fast.callbacks, literal.callbacks) << where;
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
        "<",
        "<a",
        "<a ",
    };
    for (const char* input : inputs) {
        ExpectSameAsLiteralInAllModes(std::string(input));
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

// Well-formed random documents with attributes, comments, CDATA and mixed content.
void AppendRandomElement(std::mt19937& random, std::string& out, int depth) {
    std::uniform_int_distribution<int> choice(0, 9);
    const std::string name = depth % 2 ? "ELEM-" + std::to_string(choice(random)) : "n";
    out += "<" + name;
    for (int i = choice(random) % 3; i > 0; --i) {
        out += " k" + std::to_string(i) + (choice(random) < 5 ? "=\"v x\"" : "='w'");
    }
    if (choice(random) == 0) {
        out += "/>";
        return;
    }
    out += ">";
    const int children = depth > 4 ? 0 : choice(random) % 4;
    for (int i = 0; i < children; ++i) {
        const int kind = choice(random);
        if (kind == 0) out += "<!-- note -->";
        if (kind == 1) out += "<![CDATA[a<b>c]]>";
        if (kind == 2) out += "text &amp; more";
        out += "\n" + std::string(static_cast<size_t>(depth) * 2, ' ');
        AppendRandomElement(random, out, depth + 1);
    }
    if (children == 0) out += "value " + std::to_string(choice(random));
    out += "</" + name + ">";
}

TEST(ReaderDifferential, RandomDocuments) {
    std::mt19937 random(7);
    for (int i = 0; i < 2000; ++i) {
        std::string document = "<?xml version=\"1.0\"?>\n";
        AppendRandomElement(random, document, 0);
        document += "\n";
        ExpectSameAsLiteralInAllModes(document);
        // Every truncation stops cleanly and still agrees.
        if (i % 50 == 0) {
            for (size_t cut = 0; cut < document.size(); cut += 7) {
                ExpectSameAsLiteralInAllModes(document.substr(0, cut));
            }
        }
        if (HasFatalFailure()) return;
    }
}

}  // namespace
