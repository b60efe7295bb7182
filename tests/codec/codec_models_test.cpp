// The ARXML builder's reading of packing, base types and compu methods, on PDUs built here.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "arxml_com/arxml_pdu.h"
#include "arxml_com/arxml_signal.h"
#include "codec_models/model_codecs.h"

namespace {

using qm::arxml::ArxmlPdu;
using qm::arxml::ArxmlSignal;
using qm::arxml::CompuScale;

constexpr double kInf = std::numeric_limits<double>::infinity();

CompuScale Rational(double low, double high, double factor, double offset) {
    CompuScale scale;
    scale.lowerLimit = low;
    scale.upperLimit = high;
    scale.rational = true;
    scale.factor = factor;
    scale.offset = offset;
    return scale;
}

CompuScale Named(double low, double high, const char* text) {
    CompuScale scale;
    scale.lowerLimit = low;
    scale.upperLimit = high;
    scale.text = text;
    return scale;
}

struct Case {
    const char* what;
    uint8_t byteOrder;  // '0' most significant byte first
    uint16_t start;
    uint16_t length;
    const char* encoding;
    std::vector<CompuScale> scales;
    std::vector<uint8_t> payload;
    uint64_t raw;
    double physical;  // NaN: not checked
    const char* text;
};

TEST(ArxmlCodec, PackingCodingAndCompuMethods) {
    const double kAny = std::nan("");
    // clang-format off
    const std::vector<Case> cases = {
        {"1 bit at bit 0 reads the least significant bit", '1', 0, 1, "", {}, {0x01}, 1, 1, ""},
        {"a byte is the byte", '1', 0, 8, "", {}, {0xBE}, 0xBE, 190, ""},
        {"big-endian from its most significant bit", '0', 7, 16, "", {}, {0x12, 0x34},
         0x1234, 0x1234, ""},
        {"2C is signed", '1', 0, 16, "2C", {}, {0xFE, 0xFF}, 0xFFFE, -2, ""},
        {"IEEE754 of 32 bits is a float", '1', 0, 32, "IEEE754", {}, {0, 0, 0xC0, 0x3F},
         0x3FC00000, 1.5, ""},
        {"linear", '1', 0, 8, "", {Rational(-kInf, kInf, 0.5, -10)}, {100}, 100, 40, ""},
        {"scale-linear picks the range", '1', 0, 8, "",
         {Rational(0, 99, 1, 0), Rational(100, 255, 2, -100)}, {150}, 150, 200, ""},
        {"text table names a range", '1', 0, 8, "",
         {Named(0, 0, "Off"), Named(1, 254, "On")}, {7}, 7, 7, "On"},
        {"scale-linear and text table", '1', 0, 8, "",
         {Rational(0, 250, 0.1, 0), Named(255, 255, "SNA")}, {255}, 255, kAny, "SNA"},
        {"signed text bounds", '1', 0, 8, "2C", {Named(-1, -1, "Invalid")}, {0xFF}, 0xFF, -1,
         "Invalid"},
    };
    // clang-format on
    for (const Case& c : cases) {
        ArxmlPdu pdu;
        pdu.SetName("P");
        pdu.SetLength(static_cast<uint16_t>(c.payload.size()));
        auto signal = std::make_unique<ArxmlSignal>();
        signal->SetName("S");
        signal->SetByteOrder(c.byteOrder);
        signal->SetStartPosition(c.start);
        signal->SetBitLength(c.length);
        signal->SetBaseType(c.encoding, 0);
        for (const CompuScale& scale : c.scales) signal->AddCompuScale(scale);
        pdu.AddSignal(std::move(signal));
        const auto frame = qm::codec::BuildArxmlFrame(pdu);
        bool seen = false;
        frame->Decode(c.payload.data(), c.payload.size(), [&](size_t index, uint64_t raw) {
            seen = true;
            const qm::codec::SignalCodec& codec = frame->signals[index];
            EXPECT_EQ(raw, c.raw) << c.what;
            if (!std::isnan(c.physical)) {
                EXPECT_DOUBLE_EQ(codec.PhysicalOf(raw).AsDouble(), c.physical) << c.what;
            }
            const std::string* text = codec.TextOf(raw);
            EXPECT_EQ(text ? *text : std::string(), c.text) << c.what;
        });
        EXPECT_TRUE(seen) << c.what;
    }
}

// A signal left out of an encode takes its initial value where the field holds it: the integer,
// a float's bits; one that does not fit is left at 0.
TEST(ArxmlCodec, InitialValuesAreTheDefaultsOfAnEncode) {
    ArxmlPdu pdu;
    pdu.SetName("P");
    pdu.SetLength(8);
    const auto add = [&](const char* name, uint16_t start, uint16_t length, const char* encoding,
                         double init) {
        auto signal = std::make_unique<ArxmlSignal>();
        signal->SetName(name);
        signal->SetStartPosition(start);
        signal->SetBitLength(length);
        signal->SetBaseType(encoding, 0);
        signal->SetInitValue(init);
        pdu.AddSignal(std::move(signal));
    };
    add("Small", 0, 8, "", 7);
    add("Negative", 8, 8, "2C", -2);
    add("Float", 16, 32, "IEEE754", 1.5);
    add("TooBig", 48, 4, "", 300);
    const auto frame = qm::codec::BuildArxmlFrame(pdu);
    EXPECT_EQ(frame->Encode({}, true),
              (std::vector<uint8_t>{0x07, 0xFE, 0x00, 0x00, 0xC0, 0x3F, 0x00, 0x00}));
}

}  // namespace
