#include "log_line.h"

#include <cctype>
#include <cstdlib>

namespace qmpy {

namespace {

std::string_view NextWord(std::string_view& rest) {
    size_t at = 0;
    while (at < rest.size() && std::isspace(static_cast<unsigned char>(rest[at]))) ++at;
    size_t end = at;
    while (end < rest.size() && !std::isspace(static_cast<unsigned char>(rest[end]))) ++end;
    std::string_view word = rest.substr(at, end - at);
    rest.remove_prefix(end);
    return word;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool ParseId(std::string_view text, LogFrame& frame) {
    if (text.empty() || text.size() > 8) return false;
    uint32_t id = 0;
    for (char c : text) {
        const int digit = HexDigit(c);
        if (digit < 0) return false;
        id = id << 4 | static_cast<uint32_t>(digit);
    }
    if (id > 0x1FFFFFFF) return false;
    frame.id = id;
    frame.extended = text.size() == 8 || id > 0x7FF;
    return true;
}

bool ParseHexBytes(std::string_view text, std::vector<uint8_t>& data) {
    if (text.size() % 2 != 0) return false;
    for (size_t i = 0; i < text.size(); i += 2) {
        const int high = HexDigit(text[i]);
        const int low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0) return false;
        data.push_back(static_cast<uint8_t>(high << 4 | low));
    }
    return true;
}

// "123#DEADBEEF", "123#R", "123##1DEADBEEF".
bool ParseCompact(std::string_view word, LogFrame& frame) {
    const size_t hash = word.find('#');
    if (hash == std::string_view::npos || !ParseId(word.substr(0, hash), frame)) return false;
    std::string_view data = word.substr(hash + 1);
    if (!data.empty() && data[0] == '#') {
        if (data.size() < 2 || HexDigit(data[1]) < 0) return false;
        data.remove_prefix(2);  // the CAN FD flags
    } else if (!data.empty() && (data[0] == 'R' || data[0] == 'r')) {
        frame.remote = true;
        return true;
    }
    std::string cleaned;
    for (char c : data) {
        if (c != '.') cleaned.push_back(c);
    }
    return ParseHexBytes(cleaned, frame.data);
}

}  // namespace

bool ParseLogLine(std::string_view line, LogFrame& frame) {
    frame = LogFrame{};
    std::string_view rest = line;
    std::string_view word = NextWord(rest);
    if (word.empty()) return false;
    if (word.front() == '(' && word.back() == ')') {
        const std::string stamp(word.substr(1, word.size() - 2));
        char* end = nullptr;
        frame.timestamp = std::strtod(stamp.c_str(), &end);
        if (end == stamp.c_str() || *end != '\0') return false;
        frame.hasTimestamp = true;
        word = NextWord(rest);
    }
    frame.channel = std::string(word);
    word = NextWord(rest);
    if (word.find('#') != std::string_view::npos) return ParseCompact(word, frame);
    // The screen form: id, "[n]", then n bytes.
    if (!ParseId(word, frame)) return false;
    word = NextWord(rest);
    if (word.size() < 3 || word.front() != '[' || word.back() != ']') return false;
    const int count = std::atoi(std::string(word.substr(1, word.size() - 2)).c_str());
    if (count < 0 || count > 64) return false;
    for (int i = 0; i < count; ++i) {
        word = NextWord(rest);
        if (word.size() != 2 || !ParseHexBytes(word, frame.data)) return false;
    }
    return true;
}

}  // namespace qmpy
