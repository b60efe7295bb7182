#include "xml/text.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <iomanip>
#include <sstream>
#include <stdexcept>
#include <string_view>

#include "platform/code_pages.h"

namespace qm {

namespace {

bool IsSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// HTML 4 names of the Latin-1 code points 160 to 255, in code point order.
constexpr std::array<std::string_view, 96> kLatin1EntityNames = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",
    "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn",
    "sup2",   "sup3",   "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",
    "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde",
    "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave",
    "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde",
    "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",
    "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
    "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",
    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};

// The few decimal references that DBC files written by common tools contain.
constexpr std::array<int, 8> kDecimalReferences = {246, 214, 228, 196, 252, 220, 223, 243};

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The byte that the entity body (the text between "&" and ";") stands for, or -1.
int DecodeEntityBody(std::string_view body) {
    if (body == "lt") return '<';
    if (body == "gt") return '>';
    if (body.size() == 4 && body[0] == '#' && body[1] == 'x') {
        const int high = HexDigitValue(body[2]);
        const int low = HexDigitValue(body[3]);
        // Only the exact spellings "&#x80;" to "&#x9F;" (upper-case digits) are in the table.
        const bool upperCase = !(body[3] >= 'a' && body[3] <= 'f');
        if (high == 8 && low >= 0 && upperCase) return 0x80 + low;
        if (high == 9 && low >= 0 && upperCase) return 0x90 + low;
        return -1;
    }
    if (body.size() == 4 && body[0] == '#') {
        const std::string_view digits = body.substr(1);
        for (int code : kDecimalReferences) {
            if (digits == std::to_string(code)) return code;
        }
        return -1;
    }
    for (size_t i = 0; i < kLatin1EntityNames.size(); ++i) {
        if (kLatin1EntityNames[i] == body) return static_cast<int>(160 + i);
    }
    return -1;
}

constexpr char kBase64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::array<int8_t, 256> MakeBase64DecodeTable() {
    std::array<int8_t, 256> table{};
    table.fill(-1);
    for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(kBase64Alphabet[i])] = i;
    return table;
}

const std::array<int8_t, 256> kBase64DecodeTable = MakeBase64DecodeTable();

// The code point of an entity body (between "&" and ";"), or -1 when it is none we know.
int64_t EntityCode(std::string_view body) {
    if (body == "amp") return '&';
    if (body == "lt") return '<';
    if (body == "gt") return '>';
    if (body == "quot") return '"';
    if (body == "apos") return '\'';
    if (body.size() < 2 || body.front() != '#') return -1;
    body.remove_prefix(1);
    int base = 10;
    if (body.front() == 'x' || body.front() == 'X') {
        base = 16;
        body.remove_prefix(1);
    }
    uint32_t code = 0;
    const auto result = std::from_chars(body.data(), body.data() + body.size(), code, base);
    if (result.ec != std::errc() || result.ptr != body.data() + body.size()) return -1;
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return -1;
    return code;
}

}  // namespace

void TrimLeft(std::string& s) {
    size_t first = 0;
    while (first < s.size() && IsSpace(s[first])) ++first;
    s.erase(0, first);
}

void TrimRight(std::string& s) {
    size_t end = s.size();
    while (end > 0 && IsSpace(s[end - 1])) --end;
    s.resize(end);
}

void Trim(std::string& s) {
    TrimRight(s);
    TrimLeft(s);
}

std::string ToUpper(const std::string& s) {
    std::string out = s;
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    }
    return out;
}

std::string ToLower(const std::string& s) {
    std::string out = s;
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return out;
}

void StripQuotes(std::string& s) {
    if (s.size() < 2) return;
    const char first = s.front();
    if ((first == '"' || first == '\'') && s.back() == first) {
        s.pop_back();
        s.erase(0, 1);
    }
}

int ReplaceAll(std::string& s, const std::string& from, const std::string& to) {
    if (from.empty()) return 0;
    size_t pos = s.find(from);
    if (pos == std::string::npos) return 0;
    std::string out;
    out.reserve(s.size());
    size_t done = 0;
    int count = 0;
    while (pos != std::string::npos) {
        out.append(s, done, pos - done);
        out += to;
        done = pos + from.size();
        ++count;
        pos = s.find(from, done);
    }
    out.append(s, done, std::string::npos);
    s = std::move(out);
    return count;
}

int DecodeEntities(std::string& s) {
    if (s.find('&') == std::string::npos || s.find(';') == std::string::npos) return 0;
    // References never contain "&" or ";" and a replacement byte is never part of a name, so
    // one left-to-right pass finds exactly the references a replacement per table entry would.
    std::string out;
    out.reserve(s.size());
    int count = 0;
    size_t i = 0;
    while (i < s.size()) {
        const size_t amp = s.find('&', i);
        if (amp == std::string::npos) break;
        out.append(s, i, amp - i);
        const size_t semi = s.find_first_of("&;", amp + 1);
        if (semi != std::string::npos && s[semi] == ';' && semi - amp <= 8) {
            const int byte = DecodeEntityBody(std::string_view(s).substr(amp + 1, semi - amp - 1));
            if (byte >= 0) {
                out += static_cast<char>(byte);
                ++count;
                i = semi + 1;
                continue;
            }
        }
        out += '&';
        i = amp + 1;
    }
    if (i < s.size()) out.append(s, i, std::string::npos);
    s = std::move(out);
    return count;
}

const char* ToBoolString(bool b) {
    return b ? "true" : "false";
}

bool ParseBool(const std::string& s) {
    if (s == "true") return true;
    if (s == "false") return false;
    throw std::invalid_argument("Value: " + s + " is not convertible to bool!");
}

bool IsIntegerLiteral(const std::string& s) {
    if (s.empty()) return false;
    size_t i = (s[0] == '-') ? 1 : 0;
    const size_t digitsStart = i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
    if (i == s.size()) return true;
    if (i == digitsStart) return false;
    const std::string suffix = ToUpper(s.substr(i));
    return suffix == "U" || suffix == "UL" || suffix == "ULL" || suffix == "L" || suffix == "LL";
}

bool IsHexLiteral(const std::string& s) {
    if (s.size() < 3 || s[0] != '0' || s[1] != 'x') return false;
    for (size_t i = 2; i < s.size(); ++i) {
        if (HexDigitValue(s[i]) < 0) return false;
    }
    return true;
}

std::string FormatHexByte(unsigned v) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%02X", v);
    return buffer;
}

std::string FormatHex16(unsigned v) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02X", v);
    std::string digits = buffer;
    if (digits.size() < 4) digits.insert(0, 4 - digits.size(), '0');
    return "0x" + digits;
}

std::string FormatDouble(double v, int precision, bool scientific) {
    std::ostringstream stream;
    stream << std::setprecision(precision) << (scientific ? std::scientific : std::fixed) << v;
    return stream.str();
}

std::string FormatMilliseconds(uint32_t start, uint32_t end) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%dms", static_cast<int32_t>(end - start));
    return buffer;
}

std::wstring FileNameOfPath(const std::wstring& path) {
    const size_t slash = path.rfind(L'/');
    if (slash == std::wstring::npos || slash == 0) return path;
    return path.substr(slash + 1);
}

std::wstring StripExtension(const std::wstring& name) {
    if (name.size() < 4) return name;
    return name.substr(0, name.size() - 4);
}

std::string DirectoryOfPath(const std::string& path) {
    std::vector<std::string_view> parts;
    const std::string_view view(path);
    size_t start = 0;
    while (start <= view.size()) {
        size_t end = view.find_first_of("\\/", start);
        if (end == std::string_view::npos) end = view.size();
        if (end > start) parts.push_back(view.substr(start, end - start));
        start = end + 1;
    }
    std::string out;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        out += parts[i];
        out += '\\';
    }
    return out;
}

std::string Base64Encode(const std::string& bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const uint32_t group = (static_cast<unsigned char>(bytes[i]) << 16) |
                               (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                               static_cast<unsigned char>(bytes[i + 2]);
        out += kBase64Alphabet[(group >> 18) & 63];
        out += kBase64Alphabet[(group >> 12) & 63];
        out += kBase64Alphabet[(group >> 6) & 63];
        out += kBase64Alphabet[group & 63];
    }
    const size_t rest = bytes.size() - i;
    if (rest > 0) {
        uint32_t group = static_cast<unsigned char>(bytes[i]) << 16;
        if (rest == 2) group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += kBase64Alphabet[(group >> 18) & 63];
        out += kBase64Alphabet[(group >> 12) & 63];
        out += rest == 2 ? kBase64Alphabet[(group >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::string Base64Decode(const std::string& text) {
    std::string out;
    out.reserve(text.size() / 4 * 3);
    uint32_t group = 0;
    int bits = 0;
    for (char c : text) {
        // Padding ends the data; line breaks and other bytes outside the alphabet are skipped.
        if (c == '=') break;
        const int value = kBase64DecodeTable[static_cast<unsigned char>(c)];
        if (value < 0) continue;
        group = (group << 6) | static_cast<uint32_t>(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((group >> bits) & 0xFF);
        }
    }
    return out;
}

std::string DecodeCharacterReferences(std::string text) {
    size_t amp = text.find('&');
    if (amp == std::string::npos) return text;
    std::string out;
    out.reserve(text.size());
    size_t done = 0;
    while (amp != std::string::npos) {
        const size_t semi = text.find(';', amp + 1);
        if (semi == std::string::npos || semi - amp > 12) break;
        const int64_t code = EntityCode(std::string_view(text).substr(amp + 1, semi - amp - 1));
        if (code >= 0) {
            out.append(text, done, amp - done);
            qm::platform::AppendUtf8(out, static_cast<uint32_t>(code));
            done = semi + 1;
        }
        amp = text.find('&', code >= 0 ? semi + 1 : amp + 1);
    }
    out.append(text, done, std::string::npos);
    return out;
}

}  // namespace qm
