// LogLineParser reads candump -L lines in one pass (Parse, and ParseFirst from a block of lines)
// and falls back to reading word by word for every other form (other candump forms, Vector
// ASCII). Each line must read as the word
// by word reader read it (the expected texts below were taken from it), and ParseFirst must read
// a block as Parse reads its lines after ForEachLine split them, whatever their endings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codec/log_reader.h"

namespace {

using qm::codec::ForEachLine;
using qm::codec::LogFrame;
using qm::codec::LogLineKind;
using qm::codec::LogLineParser;

// What a line read as, in one comparable text: the kind's number, then for a frame its
// timestamp, channel, identifier ("x" extended, "fd" CAN FD) and payload in hex.
std::string Describe(LogLineKind kind, const LogFrame& frame) {
    std::string text = std::to_string(static_cast<int>(kind));
    if (kind != LogLineKind::Frame && kind != LogLineKind::Remote) return text;
    text += "|" + std::string(frame.timestamp) + "|" + std::string(frame.channel) + "|" +
            std::to_string(frame.id) + (frame.extended ? "x" : "") + (frame.fd ? "fd" : "") + "|";
    static const char kHex[] = "0123456789ABCDEF";
    for (size_t i = 0; i < frame.size; ++i) {
        text += kHex[frame.data[i] >> 4];
        text += kHex[frame.data[i] & 15];
    }
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

struct CandumpLineCase {
    std::string line;
    std::string reads;  // Describe() of the word by word reading
};

TEST(LogLineBlock, ReadsEveryLineAsTheWordByWordReader) {
    const std::string data64(128, 'a');
    const std::string fd64 = "0|.5|can0|2047fd|" + std::string(128, 'A');
    std::vector<CandumpLineCase> cases = {
        {"(1436509052.249713) can0 123#DEADBEEF", "0|1436509052.249713|can0|291|DEADBEEF"},
        {"(1436509052.249713) can0 123#", "0|1436509052.249713|can0|291|"},  // no data
        {"(1.5) vcan10 1FFFFFFF#00", "0|1.5|vcan10|536870911x|00"},  // largest extended identifier
        {"(7) can1 12345678#00", "0|7|can1|305419896x|00"},          // eight digits: extended
        {"(0.5) can0 00000123#11", "0|0.5|can0|291x|11"},            // extended by its length
        {"(0.5) can0 800#11", "0|0.5|can0|2048x|11"},                // extended by its value
        {"(1.0) can0 20000080#0000000000000000", "2"},               // error frame
        {"(.5) can0 7FF##1" + data64, fd64},                         // CAN FD, 64 bytes
        {"(0.5) can0 7ff##0abcd", "0|0.5|can0|2047fd|ABCD"},         // lower case digits
        {"(0.5) can0 7FF##1" + data64 + "00", "4"},                  // 65 bytes
        {"(0.5) can0 123##", "4"},                                   // no flags nibble
        {"(0.5) can0 123#ABC", "4"},                                 // odd digits
        {"(0.5) can0 123#DE.AD", "0|0.5|can0|291|DEAD"},             // dotted payload
        {"(0.5) can0 123#R", "1|0.5|can0|291|"},                     // remote
        {"(0.5) can0 123#DEAD trailing", "0|0.5|can0|291|DEAD"},     // text after the data
        {"(0.5) can0 123#DEAD ", "0|0.5|can0|291|DEAD"},             // a blank after the data
        {"(0.5)  can0 123#11", "0|0.5|can0|291|11"},                 // two blanks
        {"(0.5)\tcan0 123#11", "0|0.5|can0|291|11"},                 // a tab
        {"(1.2.3) can0 123#11", "4"},                                // no decimal number
        {"(.) can0 123#11", "4"},                                    // no digit
        {"() can0 123#11", "4"},                                     // empty timestamp
        {"(0.5) 123#11", "0|0.5||291|11"},                           // no channel
        {"(0.5) ca#n0 123#11", "4"},                                 // "#" in the first word
        {"(0.5) can0 123456789#11", "4"},                            // nine digits
        {"(0.5) can0 12G#11", "4"},                                  // no hex identifier
        {"(1436509052.249713) can0  123   [4]  DE AD BE EF",         // screen form
         "0|1436509052.249713|can0|291|DEADBEEF"},
        {"(0.5", "4"},  // cut short
        {"(", "4"},
        {"123#11", "0|||291|11"},
        {"can0 1ABCDEF0#01", "0||can0|448585456x|01"},  // no timestamp
        {"vcan1 00000123#", "0||vcan1|291x|"},
        {"(0.5) can0 123##1DE.AD", "0|0.5|can0|291fd|DEAD"},  // CAN FD, dotted
        {"  can0  123   [2]  DE AD", "0||can0|291|DEAD"},     // screen form, no timestamp
        // Every digit in both cases; a character next to the digits and letters, anywhere in a
        // group of eight.
        {"(0.5) can0 123#0123456789abcdefABCDEF01", "0|0.5|can0|291|0123456789ABCDEFABCDEF01"},
        {"(0.5) can0 123#DEADBEG0", "4"},
        {"(0.5) can0 123#DEAD:EEF", "4"},
        {"(0.5) can0 123#/EADBEEF", "4"},
        {"(0.5) can0 123#DEADBE`F", "4"},
        {"(0.5) can0 123#DE@DBEEF", "4"},
        {"(0.5) can0 123#DEADBEE\xC6", "4"},
        {"(1436509052.24971:) can0 123#11", "4"},
        {"(143650905/.249713) can0 123#11", "4"},
        // Vector ASCII: frames (hex identifiers, "x" extended), remote, error and CAN FD lines.
        {"   0.010000 1  45             Rx   d 2 01 02  Length = 0", "0|0.010000|1|69|0102"},
        {"   0.010000 2  1ABx           Tx   d 1 FF", "0|0.010000|2|427x|FF"},
        {"   0.020000 1  100            Rx   r", "1|0.020000|1|256|"},
        {"   0.030000 1  ErrorFrame", "2"},
        {"   0.040000 CANFD   1 Rx        45  Name  1 0 2  2 0A 0B   0 0",
         "0|0.040000|1|69fd|0A0B"},
        {"   0.040000 CANFD   1 Rx        45  1 0 2  2 0A 0B   0 0", "0|0.040000|1|69fd|0A0B"},
        {"Begin Triggerblock Mon Jan 1 10:00:00.000 am 2024", "3"},
        {"   0.000000 Start of measurement", "3"},
        {"", "3"},
        {"   ", "3"},
        {"# comment", "3"},
    };
    // Payloads long enough to be read sixteen digits at a time: every digit in both cases over
    // such groups, and a character next to the digits and letters anywhere in and after them.
    const std::string digits = "0123456789abcdefABCDEF0123456789ABCDEFab";
    cases.push_back({"(0.5) can0 123##1" + digits,
                     "0|0.5|can0|291fd|0123456789ABCDEFABCDEF0123456789ABCDEFAB"});
    for (size_t at = 0; at < digits.size(); at += 3) {
        for (const char other : {'G', '/', ':', '`', '@', '\xC6'}) {
            std::string line = "(0.5) can0 123##1" + digits;
            line[line.size() - digits.size() + at] = other;
            cases.push_back({line, "4"});
        }
    }
    for (const CandumpLineCase& c : cases) {
        for (const char* end : {"", "\n", "\r\n", "\r"}) {
            const std::string block = c.line + end;
            SCOPED_TRACE('"' + block + '"');
            // An empty block holds no line at all.
            const std::vector<std::string> reads =
                block.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.reads};
            EXPECT_EQ(ByLines(block), reads);
            EXPECT_EQ(ByBlock(block), reads);
        }
    }
    // All of them in one block with each line end, with and without an end after the last line.
    for (const char* end : {"\n", "\r\n"}) {
        std::string block;
        std::vector<std::string> reads;
        for (const CandumpLineCase& c : cases) {
            block += c.line + end;
            reads.push_back(c.reads);
        }
        EXPECT_EQ(ByBlock(block), reads) << end;
        block.resize(block.size() - std::string(end).size());
        EXPECT_EQ(ByBlock(block), reads) << end;
    }
}

}  // namespace
