// Raw values of signals taken from hand-built frames, in both DBC byte orders.
#include <gtest/gtest.h>

#include <random>

#include "dbc/dbc_signal.h"
#include "dbc_frame_reference.h"

namespace {

using qm::dbc::ExtractBits;

// Every length (low 64 bits kept) from every third start bit agrees with the bit-by-bit walk.
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
