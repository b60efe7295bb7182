#pragma once
// Number reading and writing of the LDF text form.
#include <cstdint>
#include <string>
#include <string_view>

namespace qm::ldf {

// Reads an unsigned number the way strtoul does with the given base (0: "0x" means base 16, a
// leading "0" octal, else decimal): leading blanks and a sign are accepted, the number ends at
// the first byte that is not a digit. False when no digit was read or the value overflows.
// used, when given, receives the number of bytes taken.
bool ParseUnsigned(std::string_view text, uint64_t& value, int base = 0, size_t* used = nullptr);

// Reads a floating value the way strtod does from the start of text; false when nothing was
// read or the value is out of range.
bool ParseReal(std::string_view text, double& value);

// "%f", then trailing zeros and a trailing point removed: 19.2, 50, 0.
std::string FormatReal(double value);
// "0x" and exactly width upper-case hex digits of the value's lowest digits.
std::string FormatHex(uint64_t value, int width);
void AppendDecimal(std::string& out, uint64_t value);
void AppendReal(std::string& out, double value);
void AppendHex(std::string& out, uint64_t value, int width);

}  // namespace qm::ldf
