#include "codec/number_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>

namespace qm::codec {

void AppendDouble(std::string& out, double value) {
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
    out.append(buffer, result.ptr);
}

void AppendInteger(std::string& out, int64_t value) {
    if (value >= 0 && value < 10) {
        out += static_cast<char>('0' + value);
        return;
    }
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
    out.append(buffer, result.ptr);
}

void AppendUnsigned(std::string& out, uint64_t value) {
    if (value < 10) {
        out += static_cast<char>('0' + value);
        return;
    }
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
    out.append(buffer, result.ptr);
}

std::string DoubleText(double value) {
    std::string text;
    AppendDouble(text, value);
    return text;
}

int DecimalPlaces(double value) {
    if (!std::isfinite(value)) return -1;
    char buffer[32];
    const auto result =
        std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::scientific);
    // d.ddddde±XX: decimals = digits after the point - exponent.
    const std::string_view text(buffer, static_cast<size_t>(result.ptr - buffer));
    const size_t e = text.find('e');
    const size_t point = text.find('.');
    const int fraction = point == std::string_view::npos ? 0 : static_cast<int>(e - point - 1);
    const int exponent = std::atoi(std::string(text.substr(e + 1)).c_str());
    const int decimals = fraction - exponent;
    if (decimals <= 0) return 0;
    return decimals > 17 ? -1 : decimals;
}

bool ToDecimalForm(double value, DecimalForm& form) {
    if (!std::isfinite(value)) return false;
    char buffer[32];
    const auto result =
        std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::scientific);
    const std::string_view text(buffer, static_cast<size_t>(result.ptr - buffer));
    const size_t e = text.find('e');
    int64_t mantissa = 0;
    int digits = 0;
    int fraction = 0;
    bool afterPoint = false;
    for (size_t i = 0; i < e; ++i) {
        const char c = text[i];
        if (c == '.') {
            afterPoint = true;
        } else if (c >= '0' && c <= '9') {
            mantissa = mantissa * 10 + (c - '0');
            ++digits;
            if (afterPoint) ++fraction;
        }
    }
    int decimals = fraction - std::atoi(std::string(text.substr(e + 1)).c_str());
    // A large exponent makes an integer of more than 18 digits: no decimal form then (checked
    // before each step, as the product would overflow).
    for (; decimals < 0; ++decimals, ++digits) {
        if (digits >= 18) return false;
        mantissa *= 10;
    }
    if (digits > 18 || decimals > 40) return false;
    form.mantissa = text.front() == '-' ? -mantissa : mantissa;
    form.decimals = decimals;
    return true;
}

namespace {

// mantissa / 10^decimals in one x87 division (64-bit significand, rounded once), then to double.
// Rounding twice is exact unless the first result lies on a midpoint between two doubles: the
// exact quotient and the rounded one are on the same side of every midpoint, which is itself a
// 64-bit value. False (use the slow way) for a midpoint, a mantissa of more than 64 bits, or
// 10^decimals not exact in 64 bits of significand (5^27 < 2^64).
bool QuotientByExtendedDivision(__int128 mantissa, int decimals, double& result) {
    if constexpr (std::numeric_limits<long double>::digits != 64 ||
                  sizeof(long double) < sizeof(uint64_t)) {
        return false;
    } else {
        static const auto kPowers = [] {
            std::array<long double, 28> powers{};
            long double power = 1.0L;
            for (long double& p : powers) {
                p = power;
                power *= 10.0L;
            }
            return powers;
        }();
        if (decimals < 0 || decimals >= static_cast<int>(kPowers.size())) return false;
        const bool negative = mantissa < 0;
        const unsigned __int128 magnitude =
            negative ? static_cast<unsigned __int128>(-(mantissa + 1)) + 1
                     : static_cast<unsigned __int128>(mantissa);
        if (magnitude >> 64 != 0) return false;
        const long double quotient =
            static_cast<long double>(static_cast<uint64_t>(magnitude)) / kPowers[decimals];
        // The x87 format keeps its 64-bit significand (explicit leading bit) in the first 8
        // bytes; the 11 bits a double drops read 10000000000 on a midpoint.
        uint64_t significand;
        std::memcpy(&significand, &quotient, sizeof(significand));
        if (quotient != 0.0L && (significand & 0x7FF) == 0x400) return false;
        const auto value = static_cast<double>(quotient);
        result = negative ? -value : value;
        return true;
    }
}

}  // namespace

double NearestDouble(__int128 mantissa, int decimals) {
    double quick = 0.0;
    if (QuotientByExtendedDivision(mantissa, decimals, quick)) return quick;
    // The digits and an exponent, read back by from_chars, which rounds correctly.
    char buffer[64];
    char* end = buffer + sizeof(buffer);
    char* at = end;
    const int exponent = -decimals;
    char exponentText[8];
    const auto written = std::to_chars(exponentText, exponentText + sizeof(exponentText), exponent);
    const size_t exponentLength = static_cast<size_t>(written.ptr - exponentText);
    at -= exponentLength;
    std::memcpy(at, exponentText, exponentLength);
    *--at = 'e';
    const bool negative = mantissa < 0;
    unsigned __int128 magnitude =
        negative ? static_cast<unsigned __int128>(-(mantissa + 1)) + 1 : mantissa;
    do {
        *--at = static_cast<char>('0' + static_cast<int>(magnitude % 10));
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative) *--at = '-';
    double value = 0.0;
    std::from_chars(at, end, value);
    return value;
}

char* MarkJsonDouble(char* start, char* end, double value) {
    for (const char* c = start; c < end; ++c) {
        if (*c == '.' || *c == 'e' || *c == 'n') return end;
    }
    // An integral double: "2.0"; a large one in its shortest scientific form, which is
    // shorter than its digits in full.
    if (std::fabs(value) < 1e16) {
        *end++ = '.';
        *end++ = '0';
        return end;
    }
    return std::to_chars(start, start + 32, value, std::chars_format::scientific).ptr;
}

void MarkJsonDouble(std::string& out, size_t start, double value) {
    const size_t end = out.size();
    out.resize(std::max(end + 2, start + 32));
    char* marked = MarkJsonDouble(out.data() + start, out.data() + end, value);
    out.resize(static_cast<size_t>(marked - out.data()));
}

}  // namespace qm::codec
