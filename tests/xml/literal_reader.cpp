#include "literal_reader.h"

#include <cstring>
#include <string>

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
