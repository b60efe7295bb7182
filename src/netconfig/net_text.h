#pragma once
// Number texts of the readable properties that the conversions fill.
#include <cstdint>
#include <string>

namespace qm::net {

// printf "%f".
std::string FixedText(double value);
std::string DecimalText(uint64_t value);
std::string DecimalText(int64_t value);
const char* BoolText(bool value);
// The text of a model's string property; a null pointer gives "".
std::string Text(const char* text);
// A double as an integer, clamped to the int64 range; NaN gives 0.
int64_t Truncated(double value);

}  // namespace qm::net
