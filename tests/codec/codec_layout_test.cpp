// The frame codec's compact decode tables against the plain rules they stand for: Decode visits
// exactly the signals that fit the payload and that the multiplexing selects, in signal order
// whatever the order of their fields, with the raw value BitLayout::Extract reads, also when it
// decodes the payload in place in a longer buffer; value texts and scaled ranges are found as a
// first-match scan of the builder's lists finds them, whatever table the codec keeps for them,
// also in copies and after the lists change and the codec is prepared again.
#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "codec/frame_codec.h"

namespace {

using namespace qm::codec;

using Visits = std::vector<std::pair<size_t, uint64_t>>;

// What Decode must visit, worked out signal by signal with the unpadded extraction.
Visits Expected(const FrameCodec& frame, const std::vector<uint8_t>& payload) {
    const auto rawOf = [&](size_t i) {
        return frame.signals[i].layout.Extract(payload.data(), payload.size());
    };
    int64_t selected = -1;
    if (frame.SwitchIndex() >= 0) {
        const BitLayout& field = frame.signals[static_cast<size_t>(frame.SwitchIndex())].layout;
        if (field.FitsIn(payload.size()))
            selected = static_cast<int64_t>(rawOf(static_cast<size_t>(frame.SwitchIndex())));
    }
    Visits visits;
    for (size_t i = 0; i < frame.signals.size(); ++i) {
        const SignalCodec& signal = frame.signals[i];
        if (!signal.layout.FitsIn(payload.size())) continue;
        bool carried = signal.mux != MuxRole::Multiplexed || signal.muxValue == selected;
        if (signal.extendedMux >= 0) carried = frame.Carries(i, selected, rawOf);
        if (carried) visits.emplace_back(i, rawOf(i));
    }
    return visits;
}

enum class Shape { Plain, Multiplexed, ExtendedMultiplexing, ExtremeMuxValue };

struct FrameCase {
    const char* name;
    Shape shape;
    size_t size;
};

// A frame of random fields of both byte orders, up to 64 bits long, multiplexed as asked.
FrameCodec RandomFrame(const FrameCase& kind, std::mt19937_64& random) {
    FrameCodec frame;
    frame.size = kind.size;
    const uint32_t bits = static_cast<uint32_t>(kind.size * 8);
    for (int i = 0; i < 24; ++i) {
        SignalCodec signal;
        signal.name = "S" + std::to_string(i);
        const uint32_t length = 1 + static_cast<uint32_t>(random() % 64);
        const uint32_t start = static_cast<uint32_t>(random() % bits);
        signal.layout =
            random() % 2 ? BitLayout::Little(start, length) : BitLayout::BigFromMsb(start, length);
        if (i == 0 && kind.shape != Shape::Plain) {
            // A switch in any byte: payloads may hold signals it selects but not itself.
            signal.layout = BitLayout::Little(8 * static_cast<uint32_t>(random() % kind.size), 2);
            signal.mux = MuxRole::Switch;
        } else if (kind.shape != Shape::Plain && i % 2 == 1) {
            signal.mux = MuxRole::Multiplexed;
            signal.muxValue = static_cast<int64_t>(random() % 4);
            if (kind.shape == Shape::ExtremeMuxValue && i == 1) signal.muxValue = INT64_MIN;
            if (kind.shape == Shape::ExtendedMultiplexing && i > 2) {
                signal.extendedMux = i - 2;
                signal.muxRanges = {{0, random() % 1000}};
            }
        }
        frame.signals.push_back(signal);
    }
    frame.Prepare();
    return frame;
}

class FrameDecodeTest : public ::testing::TestWithParam<FrameCase> {};

TEST_P(FrameDecodeTest, VisitsWhatTheRulesSelect) {
    std::mt19937_64 random(7);
    for (int round = 0; round < 50; ++round) {
        const FrameCodec frame = RandomFrame(GetParam(), random);
        // Every payload length from empty to the whole frame, and one past it.
        for (size_t size = 0; size <= frame.size + 1; ++size) {
            // The payload lies at the start of a longer buffer, as in a log line: the bytes
            // past it are noise that neither decode may see.
            std::vector<uint8_t> buffer(frame.size + 9);
            for (uint8_t& byte : buffer) byte = static_cast<uint8_t>(random());
            // The switch (signal 0) holds 0 now and then.
            buffer[frame.signals[0].layout.StartBit() / 8] &= random() % 2 ? 0xFC : 0xFF;
            const std::vector<uint8_t> payload(buffer.begin(), buffer.begin() + size);
            const Visits expected = Expected(frame, payload);
            Visits visits, inPlace;
            const bool complete =
                frame.Decode(payload.data(), payload.size(),
                             [&](size_t i, uint64_t raw) { visits.emplace_back(i, raw); });
            ASSERT_EQ(visits, expected) << "round " << round << " size " << size;
            EXPECT_EQ(frame.Decode(buffer.data(), size, buffer.size(),
                                   [&](size_t i, uint64_t raw) { inPlace.emplace_back(i, raw); }),
                      complete);
            ASSERT_EQ(inPlace, expected) << "in place, round " << round << " size " << size;
            bool allFit = true;
            for (const SignalCodec& signal : frame.signals) allFit &= signal.layout.FitsIn(size);
            EXPECT_EQ(complete, allFit);
            EXPECT_EQ(complete, size >= frame.FieldEnd());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, FrameDecodeTest,
                         ::testing::Values(FrameCase{"Plain8", Shape::Plain, 8},
                                           FrameCase{"Plain64", Shape::Plain, 64},
                                           FrameCase{"Multiplexed", Shape::Multiplexed, 16},
                                           FrameCase{"Extended", Shape::ExtendedMultiplexing, 16},
                                           FrameCase{"ExtremeValue", Shape::ExtremeMuxValue, 8}),
                         [](const auto& info) { return std::string(info.param.name); });

// Frames of more signals than an 8-byte payload's steps or all steps can chain in signal order
// (fields in reverse order, several on each bit) are visited in it all the same.
TEST(FrameDecodeLimits, ManySignalsAreVisitedInSignalOrder) {
    for (const size_t count : {300, 65534, 65535, 65536}) {
        FrameCodec frame;
        frame.size = 16;
        frame.signals.resize(count);
        for (size_t i = 0; i < count; ++i) {
            frame.signals[i].layout = BitLayout::Little(static_cast<uint32_t>(127 - i % 128), 1);
        }
        frame.Prepare();
        std::vector<uint8_t> payload(16);
        for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i * 37 + 5);
        for (const size_t size : {8, 16}) {
            const std::vector<uint8_t> part(payload.begin(), payload.begin() + size);
            Visits visits;
            frame.Decode(part.data(), size,
                         [&](size_t i, uint64_t raw) { visits.emplace_back(i, raw); });
            ASSERT_EQ(visits, Expected(frame, part)) << count << " signals, " << size << " bytes";
        }
    }
}

// The first text and range whose bounds hold the key, as the builder listed them.
int FirstText(const SignalCodec& signal, uint64_t raw) {
    const auto key = [&](uint64_t value) {
        return signal.kind == ValueKind::Signed ? value ^ (uint64_t{1} << 63) : value;
    };
    const uint64_t value =
        signal.kind == ValueKind::Signed ? static_cast<uint64_t>(signal.SignedValue(raw)) : raw;
    for (size_t i = 0; i < signal.texts.size(); ++i) {
        if (key(value) >= key(signal.texts[i].low) && key(value) <= key(signal.texts[i].high))
            return static_cast<int>(i);
    }
    return -1;
}

int FirstRange(const SignalCodec& signal, uint64_t raw) {
    for (size_t i = 0; i < signal.ranges.size(); ++i) {
        if (raw >= signal.ranges[i].low && raw <= signal.ranges[i].high) return static_cast<int>(i);
    }
    return -1;
}

struct TextCase {
    const char* name;
    ValueKind kind;
    std::vector<ValueText> texts;
};

class ValueTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(ValueTextTest, FindsTheFirstListedMatch) {
    SignalCodec signal;
    signal.layout = BitLayout::Little(0, 16);
    signal.kind = GetParam().kind;
    signal.texts = GetParam().texts;
    signal.Prepare();
    const SignalCodec copy = signal;
    for (uint64_t raw = 0; raw < 0x10000; raw += raw < 300 ? 1 : 97) {
        ASSERT_EQ(signal.TextIndex(raw), FirstText(signal, raw)) << raw;
        ASSERT_EQ(copy.TextIndex(raw), FirstText(signal, raw)) << raw;
    }
    // The lists change: the codec prepared again follows them, the copy keeps its own.
    signal.texts.insert(signal.texts.begin(), ValueText{2, 2, "first"});
    signal.Prepare();
    EXPECT_EQ(signal.TextIndex(2), 0);
    EXPECT_EQ(copy.TextIndex(2), FirstText(copy, 2));
}

const uint64_t kMinusTwo = static_cast<uint64_t>(int64_t{-2});

INSTANTIATE_TEST_SUITE_P(
    Tables, ValueTextTest,
    ::testing::Values(
        TextCase{
            "Dense", ValueKind::Unsigned, {{0, 0, "a"}, {3, 3, "b"}, {3, 3, "dup"}, {9, 9, "c"}}},
        TextCase{"Sparse", ValueKind::Unsigned, {{70, 70, "a"}, {60000, 60000, "b"}, {5, 5, "c"}}},
        TextCase{"Ranges", ValueKind::Unsigned, {{10, 20, "a"}, {15, 300, "b"}, {7, 7, "c"}}},
        TextCase{"Signed", ValueKind::Signed, {{kMinusTwo, kMinusTwo, "m2"}, {1, 1, "one"}}},
        TextCase{"SignedRange", ValueKind::Signed, {{kMinusTwo, 3, "around zero"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ScaledRangeTest, EachRangeScalesItsOwnValues) {
    SignalCodec signal;
    signal.layout = BitLayout::Little(0, 12);
    signal.factor = 0.5;
    signal.ranges = {{0, 99, 1.0, 0.0, ""},
                     {100, 199, 0.1, 5.0, "V"},
                     {150, 400, 1e-3, 0.25, "mV"},
                     {401, 401, 3.0, -1.0, ""}};
    signal.Prepare();
    const SignalCodec copy = signal;
    for (uint64_t raw = 0; raw < 0x1000; ++raw) {
        const int range = FirstRange(signal, raw);
        ASSERT_EQ(signal.RangeIndex(raw), range) << raw;
        ASSERT_EQ(copy.RangeIndex(raw), range) << raw;
        const double factor = range < 0 ? 0.5 : signal.ranges[static_cast<size_t>(range)].factor;
        const double offset = range < 0 ? 0.0 : signal.ranges[static_cast<size_t>(range)].offset;
        // Within 1e-12 of the plain product; the codec rounds to the written decimals.
        EXPECT_NEAR(signal.PhysicalDouble(raw), static_cast<double>(raw) * factor + offset, 1e-9);
    }
    EXPECT_EQ(signal.PhysicalOf(120).real, 17.0);
    EXPECT_EQ(signal.PhysicalOf(399).real, 0.649);
    EXPECT_EQ(signal.PhysicalOf(401).integer, 1202);
    EXPECT_FALSE(signal.IntegerPhysical());
}

}  // namespace
