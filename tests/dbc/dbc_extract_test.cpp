// Raw values of signals taken from hand-built frames, in both DBC byte orders.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "dbc/dbc_signal.h"

namespace {

using qm::dbc::ExtractBits;

// A reference walk, one bit at a time, straight from the DBC numbering: little-endian fields
// count up from the start bit; big-endian fields count down the sawtooth (bit 7 of a byte is
// followed by bit 0 ... and bit 0 by bit 15 of the next byte) from the start bit, which is the
// most significant bit.
uint64_t ReferenceExtract(const uint8_t* data, size_t size, uint32_t start, uint32_t length,
                          bool bigEndian) {
    auto bitAt = [&](uint32_t position) -> uint64_t {
        return position / 8 < size ? (data[position / 8] >> (position % 8)) & 1 : 0;
    };
    uint64_t value = 0;
    if (!bigEndian) {
        for (uint32_t i = 0; i < length && i < 64; ++i) value |= bitAt(start + i) << i;
        return value;
    }
    uint32_t position = start;
    for (uint32_t i = 0; i < length; ++i) {
        value = (value << 1) | bitAt(position);
        position = position % 8 == 0 ? position + 15 : position - 1;
    }
    return value;
}

TEST(DbcExtract, LittleEndianFieldsInsideAndAcrossBytes) {
    const uint8_t frame[8] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
    EXPECT_EQ(ExtractBits(frame, 8, 0, 8, false), 0x11u);
    EXPECT_EQ(ExtractBits(frame, 8, 8, 16, false), 0x3322u);
    EXPECT_EQ(ExtractBits(frame, 8, 4, 8, false), 0x21u);
    EXPECT_EQ(ExtractBits(frame, 8, 0, 1, false), 1u);
    EXPECT_EQ(ExtractBits(frame, 8, 1, 1, false), 0u);
    EXPECT_EQ(ExtractBits(frame, 8, 60, 4, false), 0x8u);
    EXPECT_EQ(ExtractBits(frame, 8, 0, 64, false), 0x8877665544332211u);
    EXPECT_EQ(ExtractBits(frame, 8, 4, 32, false), 0x54433221u);
}

TEST(DbcExtract, BigEndianFieldsInsideAndAcrossBytes) {
    const uint8_t frame[8] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
    EXPECT_EQ(ExtractBits(frame, 8, 7, 8, true), 0x11u);
    EXPECT_EQ(ExtractBits(frame, 8, 7, 16, true), 0x1122u);
    EXPECT_EQ(ExtractBits(frame, 8, 3, 8, true), 0x12u);  // low nibble of byte 0, high of byte 1
    EXPECT_EQ(ExtractBits(frame, 8, 15, 4, true), 0x2u);
    EXPECT_EQ(ExtractBits(frame, 8, 7, 64, true), 0x1122334455667788u);
    EXPECT_EQ(ExtractBits(frame, 8, 0, 1, true), 1u);
    EXPECT_EQ(ExtractBits(frame, 8, 0, 9, true), (1u << 8) | 0x22u);
}

TEST(DbcExtract, FieldsBeyondThePayloadReadAsZero) {
    const uint8_t frame[2] = {0xFF, 0xFF};
    EXPECT_EQ(ExtractBits(frame, 2, 8, 16, false), 0xFFu);
    EXPECT_EQ(ExtractBits(frame, 2, 15, 16, true), 0xFF00u);
    EXPECT_EQ(ExtractBits(frame, 2, 40, 8, false), 0u);
    EXPECT_EQ(ExtractBits(nullptr, 0, 0, 8, false), 0u);
    EXPECT_EQ(ExtractBits(frame, 2, 0, 0, false), 0u);
}

TEST(DbcExtract, FieldsLongerThan64BitsKeepTheLowBits) {
    uint8_t frame[16];
    for (int i = 0; i < 16; ++i) frame[i] = static_cast<uint8_t>(i + 1);
    EXPECT_EQ(ExtractBits(frame, 16, 0, 72, false), ExtractBits(frame, 16, 0, 64, false));
    EXPECT_EQ(ExtractBits(frame, 16, 7, 72, true), ExtractBits(frame, 16, 15, 64, true));
}

TEST(DbcExtract, EveryLengthAndStartAgreesWithTheBitWalk) {
    std::mt19937 random(7);
    uint8_t frame[64];
    for (auto& byte : frame) byte = static_cast<uint8_t>(random());
    for (uint32_t length = 1; length <= 64; ++length) {
        for (uint32_t start = 0; start < 64 * 8; start += 3) {
            ASSERT_EQ(ExtractBits(frame, sizeof(frame), start, length, false),
                      ReferenceExtract(frame, sizeof(frame), start, length, false))
                << "little-endian start " << start << " length " << length;
            ASSERT_EQ(ExtractBits(frame, sizeof(frame), start, length, true),
                      ReferenceExtract(frame, sizeof(frame), start, length, true))
                << "big-endian start " << start << " length " << length;
        }
    }
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
