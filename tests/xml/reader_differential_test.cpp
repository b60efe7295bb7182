// The fast reader, with a callback and without one, against the literal character-by-character
// reader on many generated and odd inputs: same tree, same stopping position, same callbacks in
// the same order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "quillmere/xml.h"
#include "tree_dump.h"

// A deliberately slow reader: it feeds one character at a time into a tokenizer and a token
// state machine, with one level of recursion per element, exactly as the reader's behaviour is
// described. LiteralParse fills node from buffer[start, length) like NanoXML::Parse (reading
// stops at the first NUL); the fast reader must build the same trees.
namespace qm::testing {

namespace {

bool EndsWith(const std::string& s, const char* suffix) {
    const size_t n = std::strlen(suffix);
    return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

std::string TrimSpace(const std::string& s) {
    const size_t first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return "";
    const size_t last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

struct Tokenizer {
    std::string current;
    std::string completed;
    bool ready = false;
    int charClass = 1;
    bool inTag = true;
    char previous = 0;

    void Feed(char c) {
        bool boundary = false;
        bool keep = true;
        if (charClass == 1 || charClass == 8 || charClass == 9) {
            if (current == "![CDATA[") boundary = true;
            int next = 1;
            bool forced = true;
            if (c == '<') {
                inTag = true;
                next = 8;
            } else if (c == '>') {
                inTag = false;
                next = 8;
            } else if (c == '=' || c == '/') {
                next = 8;
            } else if (c == '"' && inTag) {
                next = 2;
            } else if (c == '\'' && inTag) {
                next = 6;
            } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
                next = 9;
            } else {
                forced = false;
            }
            if (forced || next != charClass) boundary = true;
            charClass = next;
        } else if ((charClass == 2 && c == '"') ||
                   (charClass == 6 && c == '\'' && previous != '\\')) {
            current += c;
            charClass = 1;
            boundary = true;
            keep = false;
        }
        if (boundary) {
            completed = current;
            ready = true;
            current.clear();
        }
        if (keep) current += c;
        previous = c;
    }

    void Reset() {
        charClass = 1;
        current.clear();
        completed.clear();
        ready = false;
    }
};

struct Reader {
    const char* buffer;
    size_t end;
    bool mixed;
    uint16_t sourceFileIndex;

    static void MoveTextToFragment(NanoXML* node) {
        if (node->text.empty()) return;
        node->AddChild("", node->text.c_str(), 0);
        node->flags &= static_cast<uint8_t>(~NanoXML::kFlagCData);
        node->text.clear();
    }

    void TrimText(NanoXML* node) const {
        node->text = TrimSpace(node->text);
        if (mixed) MoveTextToFragment(node);
    }

    size_t ReadCData(NanoXML* node, size_t position) const {
        while (!EndsWith(node->text, "]]>") && position < end) node->text += buffer[position++];
        if (EndsWith(node->text, "]]>")) node->text.resize(node->text.size() - 3);
        node->flags &= static_cast<uint8_t>(~NanoXML::kFlagCData);
        if (mixed && !node->text.empty()) {
            NanoXML* fragment = node->AddChild(new NanoXML());
            fragment->text = node->text;
            fragment->flags |= NanoXML::kFlagCData;
            node->text.clear();
        } else {
            node->flags |= NanoXML::kFlagCData;
        }
        return position;
    }

    size_t Parse(NanoXML* node, size_t position, int state) const {
        if (state >= 200) return position;
        Tokenizer tokenizer;
        std::string untrimmed;
        std::string previousUntrimmed;
        std::string attributeName;
        for (; position < end; ++position) {
            tokenizer.Feed(buffer[position]);
            if (!tokenizer.ready) continue;
            tokenizer.ready = false;
            previousUntrimmed = untrimmed;
            untrimmed = tokenizer.completed;
            tokenizer.completed.clear();
            const std::string token = TrimSpace(untrimmed);
            if (token.empty()) {
                if (state == 10) node->text += untrimmed;
                continue;
            }
            switch (state) {
                case 0:
                    if (token == "<") state = 1;
                    break;
                case 1:
                    if (token[0] == '!' || token[0] == '?') {
                        state = 20;
                    } else {
                        node->name = token;
                        state = 2;
                    }
                    break;
                case 2:
                    if (token == "/" || token == "?") {
                        state = 13;
                    } else if (token == ">") {
                        state = 10;
                    } else {
                        attributeName = token;
                        state = 3;
                    }
                    break;
                case 3:
                    if (token == "=") {
                        state = 4;
                    } else {
                        attributeName += token;
                    }
                    break;
                case 4: {
                    std::string value = token;
                    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') &&
                        value.back() == value[0]) {
                        value = value.substr(1, value.size() - 2);
                    }
                    node->AddAttribute(attributeName.c_str(), value.c_str(), 0);
                    state = 2;
                    break;
                }
                case 10:
                    if (token == "<") {
                        state = 11;
                    } else if (token != ">") {
                        node->text += token;
                    }
                    break;
                case 11:
                    TrimText(node);
                    if (token == "/") {
                        state = 12;
                    } else if (token.compare(0, 3, "!--") == 0) {
                        state = 22;
                    } else if (token[0] == '?') {
                        state = 21;
                    } else if (token == "![CDATA[") {
                        position = ReadCData(node, position) - 1;
                        tokenizer.Reset();
                        state = 10;
                    } else {
                        auto* child = new NanoXML();
                        child->name = token;
                        node->AddChild(child);
                        child->AddSourceFile(sourceFileIndex);
                        position = Parse(child, position, 2);
                        if (node->onChildParsed && *node->onChildParsed) {
                            (*node->onChildParsed)(child);
                        }
                        tokenizer.Reset();
                        state = 10;
                        if (position >= end) return end;
                    }
                    break;
                case 12:
                    if (token == node->name) {
                        TrimText(node);
                        state = 13;
                    } else {
                        return position;  // 201
                    }
                    break;
                case 13:
                    return token == ">" ? position - 1 : position;  // 200 or 255
                case 20:
                    if (token == ">") {
                        node->name.clear();
                        state = 0;
                    }
                    break;
                case 21:
                    if (token == ">") state = 10;
                    break;
                case 22:
                    if (token == ">" && EndsWith(previousUntrimmed, "--")) state = 10;
                    break;
                default:
                    break;
            }
        }
        if (state == 10) node->text += tokenizer.completed + tokenizer.current;
        return end;
    }
};

}  // namespace

size_t LiteralParse(NanoXML* node, const char* buffer, bool mixed, size_t length, size_t start,
                    int state, uint16_t sourceFileIndex) {
    if (buffer == nullptr || length == 0 || start >= length) return start;
    const void* nul = std::memchr(buffer + start, 0, length - start);
    const size_t end = nul ? static_cast<size_t>(static_cast<const char*>(nul) - buffer) : length;
    const Reader reader{buffer, end, mixed, sourceFileIndex};
    return reader.Parse(node, start, state);
}

}  // namespace qm::testing

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
