#include "codec/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

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

}  // namespace qm::codec
