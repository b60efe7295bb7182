// The pieces of the frame codec that the corpus cannot reach: the ASCII log header that changes
// how identifiers read (every line form: log_line_block_test.cpp), streaming over chunk
// boundaries, exact number texts, encode errors and short payloads, a catalog moved apart, the
// signal codec's lists.
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "codec/codec_compaction.h"
#include "codec/compact_vector.h"
#include "codec/frame_codec.h"
#include "codec/log_reader.h"
#include "codec/number_text.h"

namespace {

using namespace qm::codec;

TEST(LogLines, AsciiLogsCanCountIdentifiersInDecimal) {
    LogLineParser parser;
    LogFrame frame;
    EXPECT_EQ(parser.Parse("base dec  timestamps absolute", frame), LogLineKind::Skipped);
    EXPECT_EQ(parser.Parse(" 0.1 1 291 Rx d 1 01", frame), LogLineKind::Frame);
    EXPECT_EQ(frame.id, 291u);
}

// Lines are whole whatever the chunk size; of a line longer than the chunk only its first chunk
// comes, once, and blocks keep their offsets in the input.
TEST(LineReaderTest, LinesCrossChunksAndPipesStream) {
    const std::string longLine(200, 'x');
    const std::string text =
        "first line\r\nsecond\n\n" + longLine + "\nafter\nthe last line has no end";
    const auto readerOf = [&](int fds[2]) {
        EXPECT_EQ(::write(fds[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
        ::close(fds[1]);
        return std::make_unique<LineReader>(fds[0], 64);
    };
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    auto reader = readerOf(fds);
    std::vector<std::string> lines;
    std::string_view line;
    while (reader->NextLine(line)) lines.emplace_back(line);
    ::close(fds[0]);
    EXPECT_EQ(lines, (std::vector<std::string>{"first line", "second", "", longLine.substr(0, 64),
                                               "after", "the last line has no end"}));

    ASSERT_EQ(::pipe(fds), 0);
    reader = readerOf(fds);
    std::string_view block;
    size_t blocks = 0;
    while (reader->NextBlock(block)) {
        ++blocks;
        EXPECT_EQ(block, std::string_view(text).substr(reader->BlockOffset(), block.size()));
    }
    ::close(fds[0]);
    EXPECT_GE(blocks, 4u);
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

// Moved apart (more frames than one batch), the catalog's codecs keep their places and what
// they decode, and every look-up (other names too) finds the moved codec, not the freed original.
TEST(FrameCodecTest, CatalogMovedApartFindsTheMovedCodecs) {
    FrameCatalog catalog;
    std::vector<const FrameCodec*> originals;
    for (uint32_t i = 0; i < 600; ++i) {
        auto frame = std::make_unique<FrameCodec>(TwoSignalFrame());
        frame->name = "F" + std::to_string(i);
        frame->id = i % 2 == 0 ? i : 0x18FE0000u + i;
        frame->extended = i % 2 != 0;
        originals.push_back(frame.get());
        catalog.Add(std::move(frame));
    }
    // Another name of a frame: a frame's own name wins over it.
    catalog.AddAlias("Frame7", 7);
    catalog.AddAlias("F1", 3);
    MoveApart(catalog);
    EXPECT_EQ(catalog.ByName("Frame7"), &catalog.At(7));
    EXPECT_EQ(catalog.ByName("F1"), &catalog.At(1));
    ASSERT_EQ(catalog.Count(), 600u);
    const uint8_t payload[4] = {0x65, 0x02, 0xFF, 0xFF};
    for (uint32_t i = 0; i < 600; ++i) {
        const FrameCodec& frame = catalog.At(i);
        EXPECT_NE(&frame, originals[i]);
        EXPECT_EQ(frame.CatalogIndex(), i);
        EXPECT_EQ(catalog.ByName("F" + std::to_string(i)), &frame);
        EXPECT_EQ(catalog.ForId(frame.id, frame.extended), &frame);
        std::vector<uint64_t> raws;
        EXPECT_TRUE(frame.Decode(payload, 4, [&](size_t, uint64_t raw) { raws.push_back(raw); }));
        EXPECT_EQ(raws, (std::vector<uint64_t>{0x265, 0xFFFF})) << i;
    }
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

// A container of two PDUs sent behind headers: A (id 0x10, 2 bytes: one 16-bit signal) and
// B (id 0x20, 1 byte: two nibbles), laid one after the other as the reader lays them.
FrameCodec ContainerFrame(uint32_t headerSize, bool bigEndian) {
    FrameCodec frame;
    frame.name = "Box";
    frame.size = 16;
    const uint32_t a = headerSize;
    const uint32_t b = a + 2 + headerSize;
    SignalCodec word;
    word.name = "Word";
    word.layout = BitLayout::Little(a * 8, 16);
    SignalCodec low;
    low.name = "Low";
    low.layout = BitLayout::Little(b * 8, 4);
    SignalCodec high = low;
    high.name = "High";
    high.layout = BitLayout::Little(b * 8 + 4, 4);
    frame.signals = {word, low, high};
    auto layout = std::make_shared<ContainerLayout>();
    layout->headerSize = headerSize;
    layout->headerBigEndian = bigEndian;
    layout->parts = {{"A", 0x10, a, 2, 0, 1}, {"B", 0x20, b, 1, 1, 2}};
    layout->Prepare(frame.signals.size());
    frame.container = std::move(layout);
    frame.Prepare();
    return frame;
}

std::vector<std::pair<size_t, uint64_t>> DecodedOf(const FrameCodec& frame,
                                                   const std::vector<uint8_t>& payload,
                                                   bool* complete = nullptr) {
    std::vector<std::pair<size_t, uint64_t>> seen;
    const bool whole = frame.Decode(payload.data(), payload.size(),
                                    [&](size_t i, uint64_t raw) { seen.emplace_back(i, raw); });
    if (complete) *complete = whole;
    return seen;
}

using Decoded = std::vector<std::pair<size_t, uint64_t>>;

// A payload names its PDUs by their headers: any order, unknown ones skipped, the last of a
// PDU sent twice counts, a PDU cut short gives the signals it holds and marks the frame, and
// padding ends it.
TEST(FrameCodecTest, ContainersAreReadByTheirHeaders) {
    const FrameCodec frame = ContainerFrame(4, true);
    bool complete = false;
    EXPECT_EQ(DecodedOf(frame, {0x00, 0x00, 0x20, 0x01, 0xA5, 0x00, 0x00, 0x10, 0x02, 0x34, 0x12},
                        &complete),
              (Decoded{{0, 0x1234}, {1, 0x5}, {2, 0xA}}));
    EXPECT_TRUE(complete);
    EXPECT_EQ(DecodedOf(frame, {0x00, 0x00, 0x99, 0x02, 0xFF, 0xFF, 0x00, 0x00, 0x20, 0x01, 0x0F,
                                0x00, 0x00, 0x20, 0x01, 0xF0}),
              (Decoded{{1, 0x0}, {2, 0xF}}));
    EXPECT_EQ(DecodedOf(frame, {0x00, 0x00, 0x10, 0x02, 0x34}, &complete), Decoded{});
    EXPECT_FALSE(complete);
    // Padding after the last PDU, whatever its bytes.
    EXPECT_EQ(DecodedOf(frame, {0x00, 0x00, 0x20, 0x01, 0x21, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
                        &complete),
              (Decoded{{1, 0x1}, {2, 0x2}}));
    EXPECT_TRUE(complete);
    EXPECT_EQ(DecodedOf(frame, {}, &complete), Decoded{});
    EXPECT_TRUE(complete);
    // Long headers, least significant byte first.
    const FrameCodec little = ContainerFrame(8, false);
    EXPECT_EQ(DecodedOf(little, {0x20, 0, 0, 0, 0x01, 0, 0, 0, 0x21}),
              (Decoded{{1, 0x1}, {2, 0x2}}));
}

// An encode sends the PDUs a value is given for, each behind its header, and those that fit the
// frame when none is; what it sends decodes back.
TEST(FrameCodecTest, ContainersEncodeThePdusGivenBehindHeaders) {
    const FrameCodec frame = ContainerFrame(4, true);
    EXPECT_EQ(frame.Encode({std::nullopt, std::nullopt, 0x3}, true),
              (std::vector<uint8_t>{0x00, 0x00, 0x20, 0x01, 0x30}));
    const std::vector<uint8_t> all = frame.Encode({}, true);
    EXPECT_EQ(all, (std::vector<uint8_t>{0x00, 0x00, 0x10, 0x02, 0x00, 0x00, 0x00, 0x00, 0x20, 0x01,
                                         0x00}));
    // Long headers: without values only A fits the 16 bytes; given values send both.
    const FrameCodec little = ContainerFrame(8, false);
    EXPECT_EQ(little.Encode({}, true).size(), 8u + 2);
    const std::vector<uint8_t> sent = little.Encode({0xBEEF, 0x1, 0x2}, true);
    EXPECT_EQ(sent.size(), 8u + 2 + 8 + 1);
    EXPECT_EQ(DecodedOf(little, sent), (Decoded{{0, 0xBEEF}, {1, 0x1}, {2, 0x2}}));
}

// The signal codecs' lists: items that own memory survive growth, an item of the list itself
// appended while the list grows, inserts at the front, copies that stay apart and shrinking.
TEST(CompactVectorTest, KeepsItemsThroughGrowthCopiesAndInserts) {
    CompactVector<std::string> list;
    EXPECT_TRUE(list.empty());
    for (int i = 0; list.size() < 40 || list.size() < list.capacity(); ++i)
        list.push_back("a text longer than inline storage " + std::to_string(i));
    const size_t full = list.size();
    list.push_back(list.front());  // read from the block that growing replaces
    list.insert(list.begin(), "first");
    ASSERT_EQ(list.size(), full + 2);
    EXPECT_EQ(list[0], "first");
    EXPECT_EQ(list[1], list.back());
    EXPECT_EQ(list[1], "a text longer than inline storage 0");
    EXPECT_EQ(list[full], "a text longer than inline storage " + std::to_string(full - 1));

    CompactVector<std::string> copy = list;
    copy[0] = "changed";
    EXPECT_EQ(list[0], "first");
    copy.resize(2);
    EXPECT_EQ(copy.size(), 2u);
    copy = std::vector<std::string>{"x", "y", "z"};
    EXPECT_EQ(std::vector<std::string>(copy.begin(), copy.end()),
              (std::vector<std::string>{"x", "y", "z"}));
    CompactVector<std::string> moved = std::move(copy);
    EXPECT_EQ(moved.size(), 3u);
    EXPECT_TRUE(copy.empty());  // NOLINT(bugprone-use-after-move): a moved-from list is empty
}

}  // namespace
