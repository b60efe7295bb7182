// Decode of frames whose fields are read in the order of the byte they end at: every payload
// length visits exactly the carried signals it holds, in signal order, with the raw values the
// bounded extraction gives, whether the payload is padded by the codec or read in its buffer.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "codec/frame_codec.h"

namespace {

using namespace qm::codec;

struct FieldCase {
    const char* name;
    uint32_t startBit;  // DBC numbering
    uint32_t length;
    ByteOrder order;
    MuxRole mux;
    int64_t muxValue;
};

constexpr auto kLe = ByteOrder::LittleEndian;
constexpr auto kBe = ByteOrder::BigEndian;
constexpr auto kPlain = MuxRole::Plain;
constexpr auto kMuxed = MuxRole::Multiplexed;

// Signals out of layout order (a late field first, a big-endian field that ends before the
// little-endian one declared ahead of it, one that needs more than one 64-bit load), some
// multiplexed by a switch that itself lies after the first byte.
const std::vector<FieldCase> kScrambled = {
    {"Late", 40, 12, kLe, kPlain, 0},  {"Switch", 8, 4, kLe, MuxRole::Switch, 0},
    {"First", 0, 8, kLe, kPlain, 0},   {"SelOne", 16, 8, kLe, kMuxed, 1},
    {"SelTwo", 16, 8, kLe, kMuxed, 2}, {"Big", 31, 16, kBe, kMuxed, 1},
    {"Long", 20, 64, kLe, kPlain, 0},  {"Tail", 56, 8, kLe, kPlain, 0},
    {"Nibble", 12, 4, kLe, kPlain, 0},
};
// The same signals in layout order (no sorting back).
const std::vector<FieldCase> kInOrder = {
    {"First", 0, 8, kLe, kPlain, 0},   {"Switch", 8, 4, kLe, MuxRole::Switch, 0},
    {"Nibble", 12, 4, kLe, kPlain, 0}, {"SelOne", 16, 8, kLe, kMuxed, 1},
    {"SelTwo", 16, 8, kLe, kMuxed, 2}, {"Big", 31, 16, kBe, kMuxed, 1},
    {"Late", 40, 12, kLe, kPlain, 0},  {"Tail", 56, 8, kLe, kPlain, 0},
};

FrameCodec FrameOf(const std::vector<FieldCase>& fields) {
    FrameCodec frame;
    frame.name = "F";
    frame.size = 8;
    for (const FieldCase& field : fields) {
        SignalCodec signal;
        signal.name = field.name;
        signal.layout = BitLayout::FromDbc(field.startBit, field.length, field.order);
        signal.mux = field.mux;
        signal.muxValue = field.mux == kMuxed ? field.muxValue : -1;
        frame.signals.push_back(signal);
    }
    frame.Prepare();
    return frame;
}

using Visits = std::vector<std::pair<size_t, uint64_t>>;

// What a decode must visit: the signals in order that fit, as the multiplexer selects them.
Visits Expected(const FrameCodec& frame, const uint8_t* payload, size_t size) {
    const int switchIndex = frame.SwitchIndex();
    int64_t selected = -1;
    if (switchIndex >= 0) {
        const BitLayout& field = frame.signals[static_cast<size_t>(switchIndex)].layout;
        if (field.FitsIn(size)) selected = static_cast<int64_t>(field.Extract(payload, size));
    }
    Visits visits;
    for (size_t i = 0; i < frame.signals.size(); ++i) {
        const SignalCodec& signal = frame.signals[i];
        if (!signal.layout.FitsIn(size)) continue;
        if (signal.mux == kMuxed && signal.muxValue != selected) continue;
        visits.emplace_back(i, signal.layout.Extract(payload, size));
    }
    return visits;
}

class FrameOrderTest : public testing::TestWithParam<const std::vector<FieldCase>*> {};

TEST_P(FrameOrderTest, EveryLengthVisitsTheFieldsItHoldsInSignalOrder) {
    const FrameCodec frame = FrameOf(*GetParam());
    for (const uint8_t selector : {0x01, 0x02, 0x0F}) {
        // Bytes past the payload in the line buffer are noise the decode must not see.
        uint8_t buffer[64];
        for (size_t i = 0; i < sizeof(buffer); ++i) buffer[i] = static_cast<uint8_t>(0x5A ^ i * 37);
        buffer[1] = static_cast<uint8_t>(0xA0 | selector);
        for (size_t size = 0; size <= 16; ++size) {
            SCOPED_TRACE("size " + std::to_string(size) + " selector " + std::to_string(selector));
            const Visits expected = Expected(frame, buffer, size);
            Visits padded;
            Visits inPlace;
            const bool complete = frame.Decode(
                buffer, size, [&](size_t i, uint64_t raw) { padded.emplace_back(i, raw); });
            EXPECT_EQ(complete, size >= frame.FieldEnd());
            EXPECT_EQ(padded, expected);
            EXPECT_EQ(frame.Decode(buffer, size, sizeof(buffer),
                                   [&](size_t i, uint64_t raw) { inPlace.emplace_back(i, raw); }),
                      complete);
            EXPECT_EQ(inPlace, expected);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, FrameOrderTest, testing::Values(&kScrambled, &kInOrder));

}  // namespace
