// The LDF builder's reading of signal encodings: which entry names or scales a raw value when
// several cover it, for decoding and for encoding, also after the codec went through bytes and
// when the frame comes from the network model the LDF file converts into.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../temp_files.h"
#include "codec/frame_codec_bytes.h"
#include "codec_models/model_codecs.h"
#include "ldf/netconfig_ldf_file.h"
#include "netconfig/net_config.h"

namespace {

using qm::codec::FrameCodec;
using qm::codec::SignalCodec;

// A LIN 2.1 file with one frame of one 8-bit signal "Level" of the encoding `entries`.
std::string LdfWithEncoding(const std::string& entries) {
    return "LIN_description_file;\nLIN_protocol_version = \"2.1\";\n"
           "LIN_language_version = \"2.1\";\nLIN_speed = 19.2 kbps;\n"
           "Nodes {\n  Master: M, 5 ms, 0.1 ms;\n  Slaves: S;\n}\n"
           "Signals {\n  Level: 8, 0, S, M;\n}\n"
           "Frames {\n  Status: 0x11, S, 1 {\n    Level, 0;\n  }\n}\n"
           "Node_attributes {\n  S {\n    LIN_protocol = \"2.1\";\n    configured_NAD = 0x2;\n"
           "  }\n}\n"
           "Signal_encoding_types {\n  LevelEncoding {\n" +
           entries +
           "  }\n}\n"
           "Signal_representation {\n  LevelEncoding: Level;\n}\n";
}

// The frame "Status" of an LDF text as the file gives it and as its network model does.
std::vector<std::unique_ptr<FrameCodec>> BuildStatusOf(const std::string& text) {
    qmtest::TempFile file("encoding.ldf", text);
    std::vector<std::unique_ptr<FrameCodec>> frames;
    qm::ldf::NetConfigLdfFile ldf;
    EXPECT_TRUE(ldf.Load(file.CPath())) << ldf.GetMessages();
    EXPECT_EQ(ldf.GetUnconditionalFrameCount(), 1u);
    frames.push_back(qm::codec::BuildLdfFrame(*ldf.GetUnconditionalFrame(0)));
    NetConfig config;
    config.LoadLdf(file.CPath());
    INetDataBase* database = config.GetDataBase(0);
    EXPECT_NE(database, nullptr);
    if (database != nullptr) {
        for (uint64_t m = 0; m < database->GetMessageCount(); ++m) {
            if (std::string(database->GetMessage(m)->GetName()) == "Status")
                frames.push_back(qm::codec::BuildNetFrame(*database->GetMessage(m)));
        }
    }
    EXPECT_EQ(frames.size(), 2u);
    return frames;
}

std::vector<std::unique_ptr<FrameCodec>> BuildStatus(const std::string& entries) {
    return BuildStatusOf(LdfWithEncoding(entries));
}

std::unique_ptr<FrameCodec> ReadBackFromBytes(const FrameCodec& frame) {
    auto frames = qm::codec::FramesFromBytes(qm::codec::FramesToBytes({&frame}));
    EXPECT_EQ(frames.size(), 1u);
    return std::move(frames.front());
}

// What a decode gives for a raw value: its text, else its physical value as text.
std::string DecodedText(const SignalCodec& signal, uint64_t raw) {
    if (const std::string* text = signal.TextOf(raw)) return '"' + *text + '"';
    std::string number;
    signal.PhysicalOf(raw).AppendTo(number);
    return number;
}

struct EncodingCase {
    const char* what;
    const char* entries;
    // Raw values that an entry covers, and what they decode to.
    std::vector<std::pair<uint64_t, const char*>> decoded;
    std::vector<std::pair<const char*, uint64_t>> encoded;  // text, raw value it encodes to
};

class LdfEncoding : public testing::TestWithParam<EncodingCase> {};

TEST_P(LdfEncoding, TheEntryWrittenFirstDecidesAndEveryTextEncodes) {
    const EncodingCase& c = GetParam();
    const auto built = BuildStatus(c.entries);
    const auto readBack = ReadBackFromBytes(*built.front());
    std::vector<const FrameCodec*> frames{readBack.get()};
    for (const auto& frame : built) frames.push_back(frame.get());
    for (const FrameCodec* frame : frames) {
        const SignalCodec& level = frame->signals.at(0);
        for (const auto& [raw, expected] : c.decoded) {
            EXPECT_EQ(DecodedText(level, raw), expected) << c.what << ", raw " << raw;
        }
        for (const auto& [text, raw] : c.encoded) {
            EXPECT_EQ(level.RawForText(text), raw) << c.what << ", '" << text << "'";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Entries, LdfEncoding,
    testing::Values(
        EncodingCase{"a physical range before logical values it covers scales them",
                     "    physical_value, 0, 80, 0.5, -20, \"deg\";\n"
                     "    logical_value, 0, \"Initial\";\n    logical_value, 81, \"Invalid\";\n",
                     {{0, "-20"}, {3, "-18.5"}, {81, "\"Invalid\""}},
                     {{"Initial", 0}, {"Invalid", 81}}},
        EncodingCase{
            "a logical value before a range that covers it names its value",
            "    logical_value, 0, \"Off\";\n    physical_value, 0, 254, 1, 100, \"lux\";\n"
            "    logical_value, 255, \"error\";\n",
            {{0, "\"Off\""}, {1, "101"}, {255, "\"error\""}},
            {{"Off", 0}, {"error", 255}}},
        EncodingCase{
            "the first of overlapping ranges scales",
            "    physical_value, 0, 10, 2, 0, \"\";\n    physical_value, 5, 20, 3, 0, \"\";\n",
            {{5, "10"}, {11, "33"}},
            {}}),
    [](const testing::TestParamInfo<EncodingCase>& info) {
        return "Case" + std::to_string(info.index);
    });

// A byte array read by its encoding's bcd_value or ascii_value entry: the digits of a byte
// each, the first the most significant, or the bytes as text (zeros kept); a byte that is no
// digit leaves the bytes' own value. Both survive the codec's bytes.
TEST(LdfByteArrays, ReadAsDecimalsOrTextAndEncodeBack) {
    // The file's frame, its codec through bytes and its network model's frame.
    const auto framesOf = [](const char* entry) {
        std::string text = LdfWithEncoding(entry);
        const auto replace = [&text](const std::string& from, const std::string& to) {
            text.replace(text.find(from), from.size(), to);
        };
        replace("Level: 8, 0, S, M;", "Level: 16, {0, 0}, S, M;");
        replace("Status: 0x11, S, 1", "Status: 0x11, S, 2");
        auto frames = BuildStatusOf(text);
        if (!frames.empty()) frames.push_back(ReadBackFromBytes(*frames.front()));
        return frames;
    };
    for (const auto& frame : framesOf("    bcd_value;\n")) {
        const SignalCodec& digits = frame->signals.at(0);
        EXPECT_EQ(DecodedText(digits, 0x0201), "12");
        EXPECT_EQ(DecodedText(digits, 0x0900), "9");
        EXPECT_EQ(DecodedText(digits, 0x0A01), "2561");  // 0x0A is no digit
        EXPECT_EQ(DecodedText(digits, 0), "0");          // the entry names no value
        EXPECT_EQ(digits.PhysicalDouble(0x0201), 12.0);
        EXPECT_EQ(digits.RawForInteger(12), 0x0201u);
        EXPECT_EQ(digits.RawForPhysical(7.0), 0x0700u);
        EXPECT_THROW(digits.RawForInteger(100), qm::codec::CodecError);
        EXPECT_THROW(digits.RawForPhysical(1.5), qm::codec::CodecError);
        int64_t factor = 0, offset = 0;
        int decimals = 0;
        EXPECT_FALSE(digits.ExactScaling(factor, offset, decimals));  // no raw x 1 + 0 shortcut
    }
    for (const auto& frame : framesOf("    ascii_value;\n")) {
        const SignalCodec& text = frame->signals.at(0);
        ASSERT_TRUE(text.ReadsAsText());
        EXPECT_EQ(text.ArrayText(0x4241), "AB");
        EXPECT_EQ(text.ArrayText(0x0041), std::string("A\0", 2));
        EXPECT_EQ(text.ArrayText(0x41FF),
                  "\xEF\xBF\xBD"
                  "A");
        EXPECT_EQ(text.RawForText("AB"), 0x4241u);
        EXPECT_EQ(text.RawForText("A"), 0x0041u);
        EXPECT_THROW(text.RawForText("ABC"), qm::codec::CodecError);
    }
    // A scalar signal keeps its raw value whatever the encoding says.
    for (const auto& frame : BuildStatus("    bcd_value;\n"))
        EXPECT_EQ(DecodedText(frame->signals.at(0), 0x12), "18");
}

}  // namespace
