#include "c_code_names.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace qmtool::ccode {

namespace {

bool IsUpper(char c) {
    return c >= 'A' && c <= 'Z';
}
bool IsLower(char c) {
    return c >= 'a' && c <= 'z';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsAlnum(char c) {
    return IsUpper(c) || IsLower(c) || IsDigit(c);
}

// C99 keywords.
bool IsReserved(const std::string& name) {
    static const std::array<const char*, 37> kKeywords = {
        "auto",     "break",  "case",   "char",     "const",     "continue", "default",  "do",
        "double",   "else",   "enum",   "extern",   "float",     "for",      "goto",     "if",
        "inline",   "int",    "long",   "register", "restrict",  "return",   "short",    "signed",
        "sizeof",   "static", "struct", "switch",   "typedef",   "union",    "unsigned", "void",
        "volatile", "while",  "_Bool",  "_Complex", "_Imaginary"};
    // Object-like macros of the headers generated code includes, and those GNU modes predefine.
    static const std::array<const char*, 7> kMacros = {"bool", "true",  "false", "errno",
                                                       "unix", "linux", "i386"};
    for (const char* keyword : kKeywords) {
        if (name == keyword) return true;
    }
    for (const char* macro : kMacros) {
        if (name == macro) return true;
    }
    return false;
}

}  // namespace

// A word starts at an upper-case letter that follows a lower-case letter or a digit
// ("engineSpeed"), or that begins a capitalised word after an acronym ("RPMValue" ->
// "rpm_value").
std::string SnakeCase(std::string_view name) {
    std::string out;
    const auto push = [&](char c) {
        if (c == '_' && (out.empty() || out.back() == '_')) return;
        out += c;
    };
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        if (!IsAlnum(c)) {
            push('_');
            continue;
        }
        if (IsUpper(c) && i > 0) {
            const char before = name[i - 1];
            const bool afterWord = IsLower(before) || IsDigit(before);
            const bool endsAcronym = IsUpper(before) && i + 1 < name.size() && IsLower(name[i + 1]);
            if (afterWord || endsAcronym) push('_');
        }
        out += static_cast<char>(IsUpper(c) ? c - 'A' + 'a' : c);
    }
    while (!out.empty() && out.back() == '_') out.pop_back();
    return out;
}

std::string UpperCase(std::string_view identifier) {
    std::string out(identifier);
    for (char& c : out) {
        if (IsLower(c)) c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

std::string MemberIdentifier(std::string_view name) {
    std::string member = SnakeCase(name);
    if (member.empty()) member = "unnamed";
    if (IsDigit(member.front())) member.insert(member.begin(), '_');
    if (IsReserved(member)) member += '_';
    return member;
}

std::string CNameScope::Unique(const std::string& base) {
    std::string name = base;
    for (int n = 2; Taken(name); ++n) name = base + "_" + std::to_string(n);
    Take(name);
    return name;
}

std::string CommentText(std::string_view text) {
    std::string out;
    for (const char c : text) {
        char safe = c >= ' ' && c <= '~' ? c : '?';
        const bool joins = !out.empty() && ((out.back() == '*' && safe == '/') ||
                                            (out.back() == '/' && safe == '*') ||
                                            (out.back() == '?' && safe == '?'));
        if (joins) {
            out += ' ';
        }
        out += safe;
    }
    return out;
}

std::string UnsignedLiteral(uint64_t value) {
    if (value <= 0xFFFFFFFFull) return std::to_string(value) + "u";
    return "UINT64_C(" + std::to_string(value) + ")";
}

// A negative constant is a negated positive one; INT64_MIN has no positive counterpart.
std::string SignedLiteral(int64_t value) {
    if (value == std::numeric_limits<int64_t>::min()) return "(-INT64_C(9223372036854775807) - 1)";
    if (value >= -2147483647 && value <= 2147483647) {
        return value < 0 ? "(" + std::to_string(value) + ")" : std::to_string(value);
    }
    return value < 0 ? "(-INT64_C(" + std::to_string(-value) + "))"
                     : "INT64_C(" + std::to_string(value) + ")";
}

std::string DoubleLiteral(double value) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value > 0 ? "HUGE_VAL" : "(-HUGE_VAL)";
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
    std::string text(buffer, result.ptr);
    if (text.find_first_of(".e") == std::string::npos) text += ".0";
    return value < 0 ? "(" + text + ")" : text;
}

}  // namespace qmtool::ccode
