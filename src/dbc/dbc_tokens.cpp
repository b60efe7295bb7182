#include "dbc/dbc_tokens.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace qm::dbc {

void Split(std::string_view text, const SeparatorSet& separators, Tokens& out) {
    out.clear();
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        while (p < end && separators.Contains(*p)) ++p;
        const char* start = p;
        while (p < end && !separators.Contains(*p)) ++p;
        if (p > start) out.emplace_back(start, static_cast<size_t>(p - start));
    }
}

namespace {

// Splits at separators, except inside a quoted run: from a quote to the position after its
// closing quote, which endOfQuote finds given the position after the opening quote.
template <typename EndOfQuote>
void SplitKeepingQuotedRuns(std::string_view text, const SeparatorSet& separators, Tokens& out,
                            EndOfQuote endOfQuote) {
    out.clear();
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        while (p < end && separators.Contains(*p)) ++p;
        const char* start = p;
        while (p < end && !separators.Contains(*p)) {
            if (*p++ == '"') p = endOfQuote(p, end);
        }
        if (p > start) out.emplace_back(start, static_cast<size_t>(p - start));
    }
}

}  // namespace

void SplitQuoted(std::string_view text, const SeparatorSet& separators, Tokens& out) {
    // The run ends at the next quote.
    SplitKeepingQuotedRuns(text, separators, out, [](const char* p, const char* end) {
        const void* closing = std::memchr(p, '"', static_cast<size_t>(end - p));
        return closing ? static_cast<const char*>(closing) + 1 : end;
    });
}

void SplitQuotedEscaped(std::string_view text, const SeparatorSet& separators, Tokens& out) {
    // The run ends at the next quote that no backslash escapes.
    SplitKeepingQuotedRuns(text, separators, out, [](const char* p, const char* end) {
        while (p < end && *p != '"') p += (*p == '\\' && p + 1 < end) ? 2 : 1;
        return p < end ? p + 1 : p;
    });
}

void SplitQuoted(std::string_view text, const SeparatorSet& separators, bool escapes, Tokens& out) {
    if (escapes) {
        SplitQuotedEscaped(text, separators, out);
    } else {
        SplitQuoted(text, separators, out);
    }
}

std::string UnescapeQuotes(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '"') continue;
        result.push_back(text[i]);
    }
    return result;
}

size_t AppendQuotedRunApart(std::string_view text, size_t open, bool escapes, std::string& out) {
    const auto blank = [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
    };
    if (!out.empty() && !blank(out.back())) out += ' ';
    size_t end = open + 1;
    while (end < text.size() && text[end] != '"') end += escapes && text[end] == '\\' ? 2 : 1;
    end = std::min(end + 1, text.size());
    out.append(text.substr(open, end - open));
    if (end < text.size() && !blank(text[end])) out += ' ';
    return end;
}

namespace {

// Whether a piece from `first` on starts or ends with a quote, but not both.
bool GluesAQuotedRun(const Tokens& tokens, size_t first) {
    for (size_t i = first; i < tokens.size(); ++i) {
        const std::string_view piece = tokens[i];
        if (piece.empty()) continue;
        const bool opens = piece.front() == '"';
        if (opens != (piece.back() == '"') || (opens && piece.size() == 1)) return true;
    }
    return false;
}

// The text with a blank on each side of every quoted run.
std::string SpacedAroundQuotedRuns(std::string_view text, bool escapes) {
    std::string out;
    out.reserve(text.size() + 8);
    for (size_t i = 0; i < text.size();) {
        if (text[i] == '"') {
            i = AppendQuotedRunApart(text, i, escapes, out);
        } else {
            out += text[i++];
        }
    }
    return out;
}

}  // namespace

void SplitGluedRunsApart(std::string_view text, const SeparatorSet& separators, bool escapes,
                         size_t first, std::string& spaced, Tokens& out) {
    if (!GluesAQuotedRun(out, first)) return;
    spaced = SpacedAroundQuotedRuns(text, escapes);
    SplitQuoted(spaced, separators, escapes, out);
}

std::string_view Unquoted(std::string_view text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
        return text.substr(1, text.size() - 2);
    }
    return text;
}

std::string WithoutQuotes(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        if (c != '"') result.push_back(c);
    }
    return result;
}

namespace {

// The C conversions need a terminated text; short tokens are copied to the stack.
template <class Convert>
auto WithTerminated(std::string_view text, Convert convert) {
    char small[64];
    if (text.size() < sizeof(small)) {
        // An empty view may carry no data pointer at all; memcpy must not see it.
        if (!text.empty()) std::memcpy(small, text.data(), text.size());
        small[text.size()] = '\0';
        return convert(static_cast<const char*>(small));
    }
    const std::string copy(text);
    return convert(copy.c_str());
}

}  // namespace

uint32_t StrToU32(const char* text, int base) {
    errno = 0;
    const unsigned long long value = std::strtoull(text, nullptr, base);
    if (errno == ERANGE) return 0xFFFFFFFF;
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    const bool negative = *p == '-';
    // strtoull hands back the negated magnitude for a leading "-".
    const unsigned long long magnitude = negative ? 0 - value : value;
    if (magnitude > 0xFFFFFFFFull) return 0xFFFFFFFF;
    const auto low = static_cast<uint32_t>(magnitude);
    return negative ? 0u - low : low;
}

int32_t StrToI32(const char* text, int base) {
    const long long value = std::strtoll(text, nullptr, base);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

namespace {

// Nearly every integer of a file is a few plain digits. Up to nine digits without a leading 0
// (which would make strtoul read octal) fit 32 bits and read in base 10 whatever the base 0
// rules say: the value is taken here, without a copy and a library call.
bool ShortDecimal(std::string_view digits, uint32_t& value) {
    if (digits.empty() || digits.size() > 9 || (digits[0] == '0' && digits.size() > 1)) {
        return false;
    }
    uint32_t result = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        result = result * 10 + static_cast<uint32_t>(c - '0');
    }
    value = result;
    return true;
}

}  // namespace

uint32_t ToUnsigned(std::string_view text) {
    uint32_t value;
    if (ShortDecimal(text, value)) return value;
    return WithTerminated(text, [](const char* s) { return StrToU32(s); });
}

int32_t ToSigned(std::string_view text) {
    const bool negative = !text.empty() && text[0] == '-';
    uint32_t magnitude;
    if (ShortDecimal(negative ? text.substr(1) : text, magnitude)) {
        return negative ? -static_cast<int32_t>(magnitude) : static_cast<int32_t>(magnitude);
    }
    return WithTerminated(text, [](const char* s) { return StrToI32(s); });
}

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Powers of ten that a double holds exactly.
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kLargestExactPower = 22;
constexpr uint64_t kLargestExactMantissa = uint64_t{1} << 53;

}  // namespace

// Reads the text if it is a plain decimal number, [-]digits[.digits][(e|E)[+|-]digits], and no
// more. Such a text reads the same with std::from_chars as with strtod (both round correctly)
// without strtod's locale work. Most texts of a file have few digits and a small exponent: their
// digits make an integer a double holds exactly, and one multiplication or division by an
// exact power of ten then rounds correctly too, without any conversion call.
bool ReadPlainDecimal(std::string_view text, PlainDecimal& out) {
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    const char* p = begin;
    out.point = std::string_view::npos;
    out.letter = std::string_view::npos;
    const bool negative = p < end && *p == '-';
    if (negative) ++p;
    uint64_t mantissa = 0;
    int significant = 0;  // digits from the first nonzero one on
    int fractionDigits = 0;
    const auto take = [&](char c) {
        if (mantissa != 0 || c != '0') ++significant;
        if (significant <= 19) mantissa = mantissa * 10 + static_cast<uint64_t>(c - '0');
    };
    const char* digits = p;
    for (; p < end && IsDigit(*p); ++p) take(*p);
    if (p == digits) return false;
    if (p < end && *p == '.') {
        out.point = static_cast<size_t>(p - begin);
        for (++p; p < end && IsDigit(*p); ++p, ++fractionDigits) take(*p);
    }
    int exponent = 0;
    if (p < end && (*p == 'e' || *p == 'E')) {
        out.letter = static_cast<size_t>(p - begin);
        ++p;
        const bool negativeExponent = p < end && *p == '-';
        if (p < end && (*p == '+' || *p == '-')) ++p;
        const char* exponentDigits = p;
        for (; p < end && IsDigit(*p); ++p) {
            if (exponent < 100000) exponent = exponent * 10 + (*p - '0');
        }
        if (p == exponentDigits) return false;
        if (negativeExponent) exponent = -exponent;
    }
    if (p != end) return false;
    const int scale = exponent - fractionDigits;
    if (significant <= 19 && mantissa <= kLargestExactMantissa && scale >= -kLargestExactPower &&
        scale <= kLargestExactPower) {
        double value = static_cast<double>(mantissa);
        value = scale < 0 ? value / kExactPowersOfTen[-scale] : value * kExactPowersOfTen[scale];
        out.value = negative ? -value : value;
        return true;
    }
    double result = 0.0;
    const auto [stop, error] = std::from_chars(begin, end, result);
    // strtod reports a result beyond the double range, or one too small for a normal double
    // (a nonzero text read as 0 or subnormal), as out of range: those are left to it.
    if (error != std::errc() || stop != end ||
        (std::fabs(result) < std::numeric_limits<double>::min() && significant > 0)) {
        return false;
    }
    out.value = result;
    return true;
}

bool ToReal(std::string_view text, double& value) {
    PlainDecimal plain;
    if (ReadPlainDecimal(text, plain)) {
        value = plain.value;
        return true;
    }
    return WithTerminated(text, [&value](const char* s) {
        char* end = nullptr;
        errno = 0;
        const double result = std::strtod(s, &end);
        if (end == s || errno == ERANGE) return false;
        value = result;
        return true;
    });
}

bool ToRealClamped(std::string_view text, double& value, bool& clamped) {
    clamped = false;
    return WithTerminated(text, [&value, &clamped](const char* s) {
        char* end = nullptr;
        errno = 0;
        const double result = std::strtod(s, &end);
        if (end == s) return false;
        if (errno == ERANGE) {
            clamped = true;
            value = std::isinf(result) ? std::copysign(std::numeric_limits<double>::max(), result)
                                       : result;
            return true;
        }
        value = result;
        return true;
    });
}

}  // namespace qm::dbc
