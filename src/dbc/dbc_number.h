#pragma once
// A real number of a signal line kept with the text it was read from, so that the writer can
// print it again in the same form: fixed with the same decimals, or in exponent form.
#include <cstdint>
#include <string>
#include <string_view>

#include "dbc/dbc_text.h"

namespace qm::dbc {

struct DbcNumber {
    double value = 0.0;
    DbcText text;
    uint8_t decimals = 0;
    bool exponent = false;
};

// Stores the text, the exponent flag and the decimals, and converts the value. Returns false
// (and leaves the value as it was) when the text is no readable real.
bool ParseDbcNumber(std::string_view text, DbcNumber& number);
// As ParseDbcNumber, but a number beyond the double range is clamped (see ToRealClamped) and
// clamped is set.
bool ParseDbcNumberClamped(std::string_view text, DbcNumber& number, bool& clamped);

// The decimals a number text carries: the characters after the first "." for fixed notation;
// in exponent form the mantissa's digits after the point, or for a zero written without a point
// the exponent after "-" (the writer prints such a zero as "0E-" decimals).
uint8_t DecimalsOfText(std::string_view text, bool exponent, bool isZero);

// Appends the number as the writer prints it: fixed with exactly the decimals, or in exponent
// form with the letter "E" and no leading zeros in the exponent.
void AppendDbcNumber(std::string& out, double value, uint8_t decimals, bool exponent);

// Appends a real with six decimals, as "%f" prints it.
void AppendFixed6(std::string& out, double value);

// Appends an unsigned or signed integer in decimal.
void AppendInteger(std::string& out, uint64_t value);
void AppendSigned(std::string& out, int64_t value);

}  // namespace qm::dbc
