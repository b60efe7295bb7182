#include "dbc/dbc_number.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "dbc/dbc_tokens.h"

namespace qm::dbc {

namespace {

bool HasExponentLetter(std::string_view text) {
    return FindByte(text, 'E') != std::string_view::npos ||
           FindByte(text, 'e') != std::string_view::npos;
}

// The digits after the point of the scientific form that gives an exponent-form number back
// as read: its mantissa's digits from the first that is not zero (trailing zeros kept, as
// written) less the one before the point. "1.50E-2" keeps 2, "12E-3" (1.2E-2) needs 1,
// "1234E2" (1.234E+5) 3; the digits of the mantissa alone would turn "12E-3" into 1E-2.
uint8_t ExponentFormDecimals(std::string_view mantissa) {
    size_t digits = 0;
    for (char c : mantissa) {
        if (c < '0' || c > '9' || (digits == 0 && c == '0')) continue;
        ++digits;
    }
    return static_cast<uint8_t>(std::min<size_t>(digits > 0 ? digits - 1 : 0, 255));
}

}  // namespace

uint8_t DecimalsOfText(std::string_view text, bool exponent, bool isZero) {
    const size_t point = FindByte(text, '.');
    if (!exponent) {
        return point == std::string_view::npos ? 0 : static_cast<uint8_t>(text.size() - point - 1);
    }
    const size_t letter = text.find_first_of("Ee");
    if (!isZero) return ExponentFormDecimals(text.substr(0, letter));
    // A zero is written "0E-" and its decimals: those of its mantissa, else its negative
    // exponent.
    if (point != std::string_view::npos && point < letter) {
        return static_cast<uint8_t>(letter - point - 1);
    }
    const size_t minus = text.find('-');
    return minus == std::string_view::npos
               ? 0
               : static_cast<uint8_t>(ToUnsigned(text.substr(minus + 1)));
}

bool ParseDbcNumber(std::string_view text, DbcNumber& number) {
    number.text.assign(text);
    // Nearly every number of a file is a plain decimal: one pass finds its value and form.
    PlainDecimal plain;
    if (ReadPlainDecimal(text, plain)) {
        number.value = plain.value;
        number.exponent = plain.letter != std::string_view::npos;
        if (!number.exponent) {
            number.decimals = plain.point == std::string_view::npos
                                  ? 0
                                  : static_cast<uint8_t>(text.size() - plain.point - 1);
        } else {
            number.decimals = DecimalsOfText(text, true, plain.value == 0.0);
        }
        return true;
    }
    // Lower-case "e" is exponent form too: printing such a number in fixed notation with the
    // decimals of its mantissa would lose it.
    number.exponent = HasExponentLetter(text);
    double value = 0.0;
    if (!ToReal(text, value)) return false;
    number.value = value;
    number.decimals = DecimalsOfText(text, number.exponent, value == 0.0);
    return true;
}

bool ParseDbcNumberClamped(std::string_view text, DbcNumber& number, bool& clamped) {
    number.text.assign(text);
    number.exponent = HasExponentLetter(text);
    double value = 0.0;
    if (!ToRealClamped(text, value, clamped)) return false;
    number.value = value;
    number.decimals = DecimalsOfText(text, number.exponent, value == 0.0);
    return true;
}

void AppendDbcNumber(std::string& out, double value, uint8_t decimals, bool exponent) {
    // Wide enough for any double in fixed notation with up to 255 decimals.
    char buffer[700];
    if (!exponent) {
        auto result = std::to_chars(buffer, buffer + sizeof(buffer), value,
                                    std::chars_format::fixed, decimals);
        out.append(buffer, result.ptr);
        return;
    }
    if (value == 0.0) {
        out += "0E-";
        AppendInteger(out, decimals);
        return;
    }
    auto result = std::to_chars(buffer, buffer + sizeof(buffer), value,
                                std::chars_format::scientific, decimals);
    const char* end = result.ptr;
    const char* letter = buffer;
    while (letter < end && *letter != 'e') ++letter;
    out.append(static_cast<const char*>(buffer), letter);
    if (letter == end) return;  // inf or nan carry no exponent
    out += 'E';
    const char* p = letter + 1;
    if (p < end && (*p == '-' || *p == '+')) out += *p++;
    while (p + 1 < end && *p == '0') ++p;
    out.append(p, end);
}

void AppendFixed6(std::string& out, double value) {
    AppendDbcNumber(out, value, 6, false);
}

void AppendInteger(std::string& out, uint64_t value) {
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
    out.append(buffer, result.ptr);
}

void AppendSigned(std::string& out, int64_t value) {
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
    out.append(buffer, result.ptr);
}

}  // namespace qm::dbc
