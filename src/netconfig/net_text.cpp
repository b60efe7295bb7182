#include "netconfig/net_text.h"

#include <cmath>
#include <cstdio>

namespace qm::net {

std::string FixedText(double value) {
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%f", value);
    return buffer;
}

std::string DecimalText(uint64_t value) {
    return std::to_string(value);
}
std::string DecimalText(int64_t value) {
    return std::to_string(value);
}
const char* BoolText(bool value) {
    return value ? "true" : "false";
}

std::string Text(const char* text) {
    return text ? text : "";
}

int64_t Truncated(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 9.2233720368547758e18) return INT64_MAX;
    if (value <= -9.2233720368547758e18) return INT64_MIN;
    return static_cast<int64_t>(value);
}

}  // namespace qm::net
