#pragma once
// Lines of a candump log: "(1436509052.249713) can0 123#DEADBEEF" as written by candump -l
// (also "123##1..." for CAN FD and without the timestamp), and the screen form
// "  can0  123   [4]  DE AD BE EF".
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qmpy {

struct LogFrame {
    double timestamp = 0.0;
    bool hasTimestamp = false;
    std::string channel;
    uint32_t id = 0;
    bool extended = false;  // written with eight hexadecimal digits, or above 0x7FF
    bool remote = false;
    std::vector<uint8_t> data;
};

// False for a line that is no frame (empty, a comment, another format).
bool ParseLogLine(std::string_view line, LogFrame& frame);

}  // namespace qmpy
