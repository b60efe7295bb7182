// The pieces of the frame codec that the corpus cannot reach: log lines of every kind, streaming
// over chunk boundaries, exact number texts, encode errors and short payloads.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "codec/frame_codec.h"
#include "codec/log_reader.h"
#include "codec/number_text.h"

namespace {

using namespace qm::codec;

struct LineCase {
    const char* line;
    LogLineKind kind;
    uint32_t id;
    bool extended;
    const char* data;  // hex
    const char* timestamp;
};

TEST(LogLines, EveryKnownFormKindIdAndData) {
    using K = LogLineKind;
    // clang-format off
    const std::vector<LineCase> cases = {
        {"(1436509052.249713) can0 123#DEADBEEF", K::Frame, 0x123, false, "DEADBEEF",
         "1436509052.249713"},
        {"can0 1ABCDEF0#01", K::Frame, 0x1ABCDEF0, true, "01", ""},
        {"vcan1 00000123#", K::Frame, 0x123, true, "", ""},
        {"(0.5) can0 100#R", K::Remote, 0x100, false, "", "0.5"},
        {"(0.5) can0 20000080#0000000000000000", K::Error, 0, false, "", "0.5"},
        {"(0.5) can0 123##1DE.AD", K::Frame, 0x123, false, "DEAD", "0.5"},
        {"  can0  123   [2]  DE AD", K::Frame, 0x123, false, "DEAD", ""},
        {"", K::Skipped, 0, false, "", ""},
        {"# a comment", K::Skipped, 0, false, "", ""},
        {"(0.5) can0 12G#00", K::Unreadable, 0, false, "", "0.5"},
        {"(0.5) can0 123#ABC", K::Unreadable, 0x123, false, "", "0.5"},
        {"   0.010000 1  45             Rx   d 2 01 02  Length = 0", K::Frame, 0x45, false, "0102",
         "0.010000"},
        {"   0.010000 2  1ABx           Tx   d 1 FF", K::Frame, 0x1AB, true, "FF", "0.010000"},
        {"   0.020000 1  100            Rx   r", K::Remote, 0x100, false, "", "0.020000"},
        {"   0.030000 1  ErrorFrame", K::Error, 0, false, "", "0.030000"},
        {"   0.040000 CANFD   1 Rx        45  Name  1 0 2  2 0A 0B   0 0", K::Frame, 0x45, false,
         "0A0B", "0.040000"},
        {"   0.040000 CANFD   1 Rx        45  1 0 2  2 0A 0B   0 0", K::Frame, 0x45, false, "0A0B",
         "0.040000"},
        {"Begin Triggerblock Mon Jan 1 10:00:00.000 am 2024", K::Skipped, 0, false, "", ""},
        {"   0.000000 Start of measurement", K::Skipped, 0, false, "", "0.000000"},
    };
    // clang-format on
    for (const LineCase& c : cases) {
        LogLineParser parser;
        LogFrame frame;
        EXPECT_EQ(parser.Parse(c.line, frame), c.kind) << c.line;
        if (c.kind != LogLineKind::Frame) continue;
        EXPECT_EQ(frame.id, c.id) << c.line;
        EXPECT_EQ(frame.extended, c.extended) << c.line;
        std::string hex;
        for (size_t i = 0; i < frame.size; ++i) {
            hex += "0123456789ABCDEF"[frame.data[i] >> 4];
            hex += "0123456789ABCDEF"[frame.data[i] & 15];
        }
        EXPECT_EQ(hex, c.data) << c.line;
        EXPECT_EQ(frame.timestamp, c.timestamp) << c.line;
    }
}

TEST(LogLines, AsciiLogsCanCountIdentifiersInDecimal) {
    LogLineParser parser;
    LogFrame frame;
    EXPECT_EQ(parser.Parse("base dec  timestamps absolute", frame), LogLineKind::Skipped);
    EXPECT_EQ(parser.Parse(" 0.1 1 291 Rx d 1 01", frame), LogLineKind::Frame);
    EXPECT_EQ(frame.id, 291u);
}

// Lines are whole whatever the chunk size; a line longer than the chunk comes in pieces.
TEST(LineReaderTest, LinesCrossChunksAndPipesStream) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const std::string text = "first line\r\nsecond\n\nthe last line has no end";
    ASSERT_EQ(::write(fds[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
    ::close(fds[1]);
    LineReader reader(fds[0], 64);
    std::vector<std::string> lines;
    std::string_view line;
    while (reader.NextLine(line)) lines.emplace_back(line);
    ::close(fds[0]);
    EXPECT_EQ(lines,
              (std::vector<std::string>{"first line", "second", "", "the last line has no end"}));
}

TEST(NumberText, ShortestExactForms) {
    EXPECT_EQ(DoubleText(61.3), "61.3");
    EXPECT_EQ(DoubleText(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(DoubleText(1e300), "1e+300");
    EXPECT_EQ(DoubleText(1.0 / 0.0), "null");
    EXPECT_EQ(DecimalPlaces(0.1), 1);
    EXPECT_EQ(DecimalPlaces(0.0025), 4);
    EXPECT_EQ(DecimalPlaces(250.0), 0);
}

FrameCodec TwoSignalFrame() {
    FrameCodec frame;
    frame.name = "F";
    frame.size = 4;
    SignalCodec speed;
    speed.name = "Speed";
    speed.layout = BitLayout::Little(0, 16);
    speed.factor = 0.1;
    speed.minimum = 0;
    speed.maximum = 250;
    SignalCodec wide;
    wide.name = "Wide";
    wide.layout = BitLayout::BigFromMsb(23, 16);  // bytes 2 and 3, most significant first
    wide.kind = ValueKind::Signed;
    wide.offset = -5;
    const auto minusOne = static_cast<uint64_t>(int64_t{-1});  // texts name raw values
    wide.texts.push_back({minusOne, minusOne, "SNA"});
    frame.signals = {speed, wide};
    frame.Prepare();
    return frame;
}

TEST(FrameCodecTest, DecodesExactlyAndMarksShortPayloads) {
    const FrameCodec frame = TwoSignalFrame();
    const uint8_t payload[4] = {0x65, 0x02, 0xFF, 0xFF};
    std::vector<std::pair<size_t, uint64_t>> seen;
    EXPECT_TRUE(
        frame.Decode(payload, 4, [&](size_t i, uint64_t raw) { seen.emplace_back(i, raw); }));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(frame.signals[0].PhysicalOf(seen[0].second).real, 61.3);
    const Physical wide = frame.signals[1].PhysicalOf(seen[1].second);
    EXPECT_EQ(wide.type, Physical::Type::Integer);
    EXPECT_EQ(wide.integer, -6);
    EXPECT_EQ(*frame.signals[1].TextOf(seen[1].second), "SNA");
    seen.clear();
    EXPECT_FALSE(
        frame.Decode(payload, 3, [&](size_t i, uint64_t raw) { seen.emplace_back(i, raw); }));
    EXPECT_EQ(seen.size(), 1u);
}

TEST(FrameCodecTest, EncodeChecksRangesAndNamesTheSignal) {
    const FrameCodec frame = TwoSignalFrame();
    try {
        (void)frame.signals[0].RawForPhysical(300.0);
        FAIL() << "no error";
    } catch (const CodecError& error) {
        EXPECT_STREQ(error.what(), "signal 'Speed': 300 is outside its range [0, 250]");
    }
    EXPECT_THROW((void)frame.signals[1].RawForInteger(40000), CodecError);
    const std::vector<uint8_t> payload = frame.Encode(
        {frame.signals[0].RawForPhysical(61.3), frame.signals[1].RawForText("SNA")}, true);
    EXPECT_EQ(payload, (std::vector<uint8_t>{0x65, 0x02, 0xFF, 0xFF}));
}

}  // namespace
