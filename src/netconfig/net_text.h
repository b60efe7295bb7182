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

}  // namespace qm::net
