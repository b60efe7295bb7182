// LogLineParser::ParseFirst reads candump -L lines in one pass from a block of lines; every
// line must read as Parse reads it after ForEachLine split it off, whatever its ending.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codec/log_reader.h"

namespace {

using qm::codec::ForEachLine;
using qm::codec::LogFrame;
using qm::codec::LogLineKind;
using qm::codec::LogLineParser;

// What a line read as, in one comparable text.
std::string Describe(LogLineKind kind, const LogFrame& frame) {
    std::string text = std::to_string(static_cast<int>(kind));
    if (kind != LogLineKind::Frame && kind != LogLineKind::Remote) return text;
    text += "|" + std::string(frame.timestamp) + "|" + std::string(frame.channel) + "|" +
            std::to_string(frame.id) + (frame.extended ? "x" : "") + (frame.fd ? "fd" : "") + "|";
    for (size_t i = 0; i < frame.size; ++i) text += std::to_string(frame.data[i]) + ".";
    return text;
}

std::vector<std::string> ByLines(const std::string& block) {
    std::vector<std::string> out;
    LogLineParser parser;
    ForEachLine(block, [&](std::string_view line) {
        LogFrame frame;
        const LogLineKind kind = parser.Parse(line, frame);
        out.push_back(Describe(kind, frame));
    });
    return out;
}

std::vector<std::string> ByBlock(std::string_view block) {
    std::vector<std::string> out;
    LogLineParser parser;
    while (!block.empty()) {
        LogFrame frame;
        const LogLineKind kind = parser.ParseFirst(block, frame);
        out.push_back(Describe(kind, frame));
    }
    return out;
}

TEST(LogLineBlock, ReadsEveryLineAsTheLineByLineParse) {
    const std::string data64(128, 'a');
    const std::vector<std::string> lines = {
        "(1436509052.249713) can0 123#DEADBEEF",
        "(1436509052.249713) can0 123#",                     // no data
        "(1.5) vcan10 1FFFFFFF#00",                          // largest extended identifier
        "(7) can1 12345678#00",                              // above 29 bits: unreadable
        "(1.0) can0 20000080#0000000000000000",              // error frame
        "(.5) can0 7FF##1" + data64,                         // CAN FD, 64 bytes
        "(0.5) can0 7FF##1" + data64 + "00",                 // 65 bytes: unreadable
        "(0.5) can0 123##",                                  // no flags nibble
        "(0.5) can0 123#ABC",                                // odd digits
        "(0.5) can0 123#DE.AD",                              // dotted payload, word by word
        "(0.5) can0 123#R",                                  // remote
        "(0.5) can0 123#DEAD trailing",                      // text after the data
        "(0.5) can0 123#DEAD ",                              // a blank after the data
        "(0.5)  can0 123#11",                                // two blanks
        "(0.5)\tcan0 123#11",                                // a tab
        "(1.2.3) can0 123#11",                               // no decimal number
        "(.) can0 123#11",                                   // no digit
        "() can0 123#11",                                    // empty timestamp
        "(0.5) 123#11",                                      // no channel
        "(0.5) ca#n0 123#11",                                // "#" in the first word
        "(0.5) can0 123456789#11",                           // nine digits
        "(0.5) can0 12G#11",                                 // no hex identifier
        "(1436509052.249713) can0  123   [4]  DE AD BE EF",  // screen form after a timestamp
        "(0.5",                                              // cut short
        "(",
        "123#11",
        "",
        "   ",
        "# comment",
    };
    // Each line alone, then all of them in one block with each line end, with and without an
    // end after the last line (a "\r" alone ends the last line too).
    for (const std::string& line : lines) {
        for (const char* end : {"", "\n", "\r\n", "\r"}) {
            const std::string block = line + end;
            EXPECT_EQ(ByBlock(block), ByLines(block)) << '"' << block << '"';
        }
    }
    for (const char* end : {"\n", "\r\n"}) {
        std::string block;
        for (const std::string& line : lines) block += line + end;
        EXPECT_EQ(ByBlock(block), ByLines(block)) << end;
        block.resize(block.size() - std::string(end).size());
        EXPECT_EQ(ByBlock(block), ByLines(block)) << end;
    }
}

}  // namespace
