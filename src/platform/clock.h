#pragma once
#include <cstdint>
#include <string>

namespace qm::platform {

// Milliseconds of a monotonic clock, wrapping at 32 bits.
uint32_t TickCount();

// The local time as "%Y-%m-%d %H:%M:%S".
std::string LocalTimeText();

}  // namespace qm::platform
