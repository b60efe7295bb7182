// Raw values of signals taken from hand-built frames, in both DBC byte orders.
#include <gtest/gtest.h>

#include <random>

#include "dbc/dbc_signal.h"
#include "dbc_frame_reference.h"

namespace {

using qm::dbc::ExtractBits;

// Against the reference walk, one bit at a time, straight from the DBC numbering: every length
// (beyond 64 bits the low bits are kept) from every third start bit, fields inside, across and
// beyond the payload.
TEST(DbcExtract, EveryLengthAndStartAgreesWithTheBitWalk) {
    std::mt19937 random(7);
    dbctest::Payload frame(64);
    for (auto& byte : frame) byte = static_cast<uint8_t>(random());
    for (uint32_t length = 1; length <= 72; ++length) {
        for (uint32_t start = 0; start < 64 * 8; start += 3) {
            for (const bool bigEndian : {false, true}) {
                ASSERT_EQ(ExtractBits(frame.data(), frame.size(), start, length, bigEndian),
                          dbctest::ReadField(frame, start, length, bigEndian))
                    << (bigEndian ? "big" : "little") << "-endian start " << start << " length "
                    << length;
            }
        }
    }
    EXPECT_EQ(ExtractBits(nullptr, 0, 0, 8, false), 0u);
    EXPECT_EQ(ExtractBits(frame.data(), frame.size(), 0, 0, false), 0u);
}

TEST(DbcExtract, SignalUsesItsOwnLayout) {
    qm::dbc::DbcSignal signal;
    signal.SetStartBit(7);
    signal.SetBitLength(12);
    signal.SetByteOrderChar('0');
    const uint8_t frame[2] = {0xAB, 0xCD};
    EXPECT_EQ(signal.ExtractRawValue(frame, 2), 0xABCu);
    signal.SetByteOrderChar('1');
    signal.SetStartBit(4);
    EXPECT_EQ(signal.ExtractRawValue(frame, 2), 0xCDAu);
}

}  // namespace

#include "dbc/dbc_decode.h"
#include "dbc_test_support.h"
#include "expect_fields.h"

namespace {

class DbcDecode : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dbctest::LoadText(file_, folder_,
                                      "BO_ 1 M: 8 Vector__XXX\n"
                                      " SG_ Mux M : 0|4@1+ (1,0) [0|15] \"\" Vector__XXX\n"
                                      " SG_ Plain : 4|4@1+ (1,0) [0|15] \"\" Vector__XXX\n"
                                      " SG_ A m0 : 8|12@1- (0.5,10) [0|0] \"V\" Vector__XXX\n"
                                      " SG_ B m1 : 15|8@0- (1,0) [0|0] \"\" Vector__XXX\n"
                                      "BO_ 2 F: 8 Vector__XXX\n"
                                      " SG_ Single : 0|32@1- (2,1) [0|0] \"\" Vector__XXX\n"
                                      " SG_ Half : 32|32@1+ (1,0) [0|0] \"\" Vector__XXX\n"
                                      "BO_ 3 D: 8 Vector__XXX\n"
                                      " SG_ Wide : 0|64@1- (1,0) [0|0] \"\" Vector__XXX\n"
                                      "VAL_ 1 Mux 0 \"zero\" 1 \"one\" ;\n"
                                      "SIG_VALTYPE_ 2 Single : 1;\nSIG_VALTYPE_ 3 Wide : 2;\n"));
    }
    std::vector<qm::dbc::DecodedSignal> Decode(uint32_t id, std::vector<uint8_t> payload) {
        return qm::dbc::DecodeFrame(*file_.MessageByRawId(id), payload.data(), payload.size());
    }

    dbctest::TempFolder folder_;
    NetConfigDbcFile file_;
};

TEST_F(DbcDecode, MultiplexerSelectsItsSignalsAndSignsAreExtended) {
    auto zero = Decode(1, {0x30, 0xFF, 0x0F});
    ASSERT_EQ(zero.size(), 3u);
    EXPECT_EQ(zero[0].signal->Name(), "Mux");
    EXPECT_STREQ(zero[0].description, "zero");
    EXPECT_EQ(zero[1].raw, 3u);
    EXPECT_EQ(zero[2].signal->Name(), "A");
    QM_EXPECT_FIELDS(zero[2], (raw, 0xFFFu), (value, -1.0), (physical, 9.5));

    auto one = Decode(1, {0x01, 0x80});
    ASSERT_EQ(one.size(), 3u);
    EXPECT_EQ(one[2].signal->Name(), "B");
    EXPECT_DOUBLE_EQ(one[2].value, -128.0);
    EXPECT_EQ(Decode(1, {0x05}).size(), 2u) << "no multiplexed signal has value 5";
}

TEST_F(DbcDecode, ExtendedValueTypesReadIeeeNumbers) {
    // -20.0f is 0xC1A00000, stored little-endian.
    auto floats = Decode(2, {0x00, 0x00, 0xA0, 0xC1, 0x00, 0x00, 0x80, 0x3F});
    ASSERT_EQ(floats.size(), 2u);
    QM_EXPECT_FIELDS(floats[0], (value, -20.0), (physical, -39.0));
    EXPECT_DOUBLE_EQ(floats[1].value, 1065353216.0) << "no extended type: plain unsigned";
    // 1.5 is 0x3FF8000000000000.
    auto wide = Decode(3, {0, 0, 0, 0, 0, 0, 0xF8, 0x3F});
    EXPECT_DOUBLE_EQ(wide[0].value, 1.5);
}

}  // namespace
