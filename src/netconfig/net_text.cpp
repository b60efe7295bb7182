#include "netconfig/net_text.h"

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

}  // namespace qm::net
