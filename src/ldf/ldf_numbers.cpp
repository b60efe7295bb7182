#include "ldf/ldf_numbers.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace qm::ldf {

namespace {

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

bool IsSpaceByte(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

}  // namespace

bool ParseUnsigned(std::string_view text, uint64_t& value, int base, size_t* used) {
    size_t i = 0;
    const size_t n = text.size();
    while (i < n && IsSpaceByte(text[i])) ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const bool hexPrefix = i + 1 < n && text[i] == '0' &&
                           (text[i + 1] == 'x' || text[i + 1] == 'X') && i + 2 < n &&
                           DigitValue(text[i + 2]) < 16;
    if (base == 0) {
        if (hexPrefix) {
            base = 16;
            i += 2;
        } else if (i < n && text[i] == '0') {
            base = 8;
        } else {
            base = 10;
        }
    } else if (base == 16 && hexPrefix) {
        i += 2;
    }
    uint64_t result = 0;
    bool overflow = false;
    const size_t digitsStart = i;
    while (i < n) {
        const int digit = DigitValue(text[i]);
        if (digit >= base) break;
        if (result > (UINT64_MAX - static_cast<uint64_t>(digit)) / static_cast<uint64_t>(base)) {
            overflow = true;
        }
        result = result * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
        ++i;
    }
    if (i == digitsStart || overflow) return false;
    value = negative ? uint64_t(0) - result : result;
    if (used) *used = i;
    return true;
}

bool ParseReal(std::string_view text, double& value) {
    size_t i = 0;
    while (i < text.size() && IsSpaceByte(text[i])) ++i;
    text.remove_prefix(i);
    if (text.empty()) return false;
    const bool plainDecimal = text[0] != '+' &&
                              !(text.size() > 1 && (text[1] == 'x' || text[1] == 'X')) &&
                              !(text.size() > 2 && (text[2] == 'x' || text[2] == 'X'));
    if (plainDecimal) {
        double parsed = 0.0;
        auto result = std::from_chars(text.data(), text.data() + text.size(), parsed);
        if (result.ec == std::errc()) {
            value = parsed;
            return true;
        }
        if (result.ec == std::errc::result_out_of_range) return false;
    }
    // Forms from_chars does not take (a plus sign, hex floats, inf, nan): strtod decides.
    const std::string copy(text.substr(0, 512));
    char* end = nullptr;
    errno = 0;
    const double parsed = std::strtod(copy.c_str(), &end);
    if (end == copy.c_str() || errno == ERANGE) return false;
    value = parsed;
    return true;
}

void AppendReal(std::string& out, double value) {
    char buffer[512];
    int length = std::snprintf(buffer, sizeof buffer, "%f", value);
    if (length < 0) return;
    if (length >= static_cast<int>(sizeof buffer)) length = sizeof buffer - 1;
    std::string_view text(buffer, static_cast<size_t>(length));
    if (text.find('.') != std::string_view::npos) {
        while (!text.empty() && text.back() == '0') text.remove_suffix(1);
        if (!text.empty() && text.back() == '.') text.remove_suffix(1);
    }
    out.append(text);
}

std::string FormatReal(double value) {
    std::string out;
    AppendReal(out, value);
    return out;
}

void AppendDecimal(std::string& out, uint64_t value) {
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void AppendHex(std::string& out, uint64_t value, int width) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out.append("0x");
    for (int shift = (width - 1) * 4; shift >= 0; shift -= 4) {
        out.push_back(kDigits[(value >> shift) & 0xF]);
    }
}

std::string FormatHex(uint64_t value, int width) {
    std::string out;
    AppendHex(out, value, width);
    return out;
}

}  // namespace qm::ldf
