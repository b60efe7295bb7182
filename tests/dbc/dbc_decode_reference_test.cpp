// Decoding checked against the field's rules, written here from first principles and not from
// the decoder's helpers: for every message of every corpus DBC, seeded random payloads (and
// payloads whose multiplexer holds each value the message names) decode to the values that
// bit-by-bit extraction, two's complement, IEEE floats and factor/offset give.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>
#include <set>

#include "dbc/dbc_decode.h"
#include "dbc/dbc_enums.h"
#include "dbc/dbc_message.h"
#include "dbc/dbc_signal.h"
#include "dbc/netconfig_dbc_file.h"

namespace {

namespace fs = std::filesystem;
using namespace qm::dbc;
using Payload = std::vector<uint8_t>;

// Bit k of a payload: byte k / 8, bit k % 8 counted from the least significant; bits beyond
// the payload read as 0.
unsigned BitAt(const Payload& payload, uint64_t k) {
    return k / 8 < payload.size() ? (payload[k / 8] >> (k % 8)) & 1u : 0u;
}

void SetBitAt(Payload& payload, uint64_t k, unsigned value) {
    if (k / 8 >= payload.size()) return;
    const auto mask = static_cast<uint8_t>(1u << (k % 8));
    payload[k / 8] = static_cast<uint8_t>(value ? payload[k / 8] | mask : payload[k / 8] & ~mask);
}

// The next bit of a big-endian field, walking from its most significant bit: down within a
// byte, then to the most significant bit of the next byte.
uint64_t NextMotorolaBit(uint64_t position) {
    return position % 8 == 0 ? position + 15 : position - 1;
}

uint64_t ReferenceRaw(const Payload& payload, const DbcSignal& signal) {
    const uint32_t length = signal.BitLength();
    uint64_t raw = 0;
    if (signal.ByteOrder() == kBigEndian) {
        uint64_t position = signal.StartBit();
        for (uint32_t i = 0; i < length; ++i) {
            raw = (raw << 1) | BitAt(payload, position);
            position = NextMotorolaBit(position);
        }
    } else {
        for (uint32_t i = 0; i < length; ++i) {
            raw |= uint64_t{BitAt(payload, signal.StartBit() + i)} << i;
        }
    }
    return raw;
}

void WriteReferenceRaw(Payload& payload, const DbcSignal& signal, uint64_t raw) {
    const uint32_t length = signal.BitLength();
    if (signal.ByteOrder() == kBigEndian) {
        uint64_t position = signal.StartBit();
        for (uint32_t i = 0; i < length; ++i) {
            SetBitAt(payload, position, (raw >> (length - 1 - i)) & 1u);
            position = NextMotorolaBit(position);
        }
    } else {
        for (uint32_t i = 0; i < length; ++i) {
            SetBitAt(payload, signal.StartBit() + i, (raw >> i) & 1u);
        }
    }
}

double ReferenceValue(const DbcSignal& signal, uint64_t raw) {
    const uint32_t length = signal.BitLength();
    if (signal.ExtendedValueTypeGiven() && signal.ExtendedValueType() == 1) {
        const auto bits = static_cast<uint32_t>(raw);
        float value;
        std::memcpy(&value, &bits, sizeof(value));
        return value;
    }
    if (signal.ExtendedValueTypeGiven() && signal.ExtendedValueType() == 2) {
        double value;
        std::memcpy(&value, &raw, sizeof(value));
        return value;
    }
    const bool negative =
        signal.ValueType() == kSignedType && length > 0 && ((raw >> (length - 1)) & 1u) != 0;
    if (!negative) return static_cast<double>(raw);
    if (length == 64) return static_cast<double>(static_cast<int64_t>(raw));
    // Two's complement: the field's value less 2^length.
    return -static_cast<double>((uint64_t{1} << length) - raw);
}

struct Expected {
    const DbcSignal* signal;
    uint64_t raw;
    double physical;
};

// The signals a frame carries: every plain signal and the switch, and the multiplexed signals
// whose multiplex value the switch holds.
std::vector<Expected> Reference(const DbcMessage& message, const Payload& payload) {
    const DbcSignal* multiplexer = nullptr;
    for (const auto& signal : message.Signals()) {
        if (signal->MultiplexingKind() == kMultiplexerSwitch) {
            multiplexer = signal.get();
            break;
        }
    }
    std::vector<Expected> expected;
    for (const auto& signal : message.Signals()) {
        if (signal->MultiplexingKind() == kMultiplexedSignal &&
            (!multiplexer ||
             ReferenceRaw(payload, *multiplexer) !=
                 static_cast<uint64_t>(static_cast<int64_t>(signal->MultiplexValue())))) {
            continue;
        }
        const uint64_t raw = ReferenceRaw(payload, *signal);
        expected.push_back(
            {signal.get(), raw,
             ReferenceValue(*signal, raw) * signal->Factor().value + signal->Offset().value});
    }
    return expected;
}

bool SameNumber(double a, double b) {
    return (std::isnan(a) && std::isnan(b)) || a == b;
}

void ExpectDecodedAsReference(const DbcMessage& message, const Payload& payload,
                              const std::string& where) {
    const std::vector<DecodedSignal> decoded = DecodeFrame(message, payload.data(), payload.size());
    const std::vector<Expected> expected = Reference(message, payload);
    ASSERT_EQ(decoded.size(), expected.size()) << where;
    for (size_t i = 0; i < decoded.size(); ++i) {
        const DbcSignal& signal = *expected[i].signal;
        ASSERT_EQ(decoded[i].signal, &signal) << where;
        if (signal.BitLength() > 64) continue;  // wider than any value; only its presence counts
        EXPECT_EQ(decoded[i].raw, expected[i].raw) << where << " " << signal.Name();
        EXPECT_TRUE(SameNumber(decoded[i].physical, expected[i].physical))
            << where << " " << signal.Name() << ": " << decoded[i].physical << " vs "
            << expected[i].physical;
    }
}

Payload RandomPayload(std::mt19937_64& random, size_t size) {
    Payload payload(size);
    for (auto& byte : payload) byte = static_cast<uint8_t>(random());
    return payload;
}

TEST(DbcDecodeReference, EveryCorpusMessageDecodesAsTheBitsSay) {
    const fs::path folder = fs::path(QM_SHARED_DIR) / "corpus" / "dbc";
    if (!fs::is_directory(folder)) GTEST_SKIP() << "no corpus at " << folder;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() == ".dbc") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    std::mt19937_64 random(0x51A7E);
    uint64_t frames = 0;
    for (const fs::path& path : files) {
        NetConfigDbcFile file;
        file.Load(path.string().c_str());
        for (const auto& message : file.Messages()) {
            const size_t size = std::clamp<size_t>(message->Size(), 1, 64);
            const std::string where = path.filename().string() + " " + message->Name();
            for (int round = 0; round < 4; ++round) {
                ExpectDecodedAsReference(*message, RandomPayload(random, size), where);
                ++frames;
            }
            // Random bits rarely hit a multiplex value: each value named is written in.
            const DbcSignal* multiplexer = nullptr;
            std::set<int32_t> values;
            for (const auto& signal : message->Signals()) {
                if (signal->MultiplexingKind() == kMultiplexerSwitch && !multiplexer) {
                    multiplexer = signal.get();
                }
                if (signal->MultiplexingKind() == kMultiplexedSignal) {
                    values.insert(signal->MultiplexValue());
                }
            }
            if (!multiplexer) continue;
            for (int32_t value : values) {
                Payload payload = RandomPayload(random, size);
                WriteReferenceRaw(payload, *multiplexer, static_cast<uint64_t>(value));
                ExpectDecodedAsReference(*message, payload,
                                         where + " multiplex " + std::to_string(value));
                ++frames;
            }
        }
    }
    EXPECT_GT(frames, 10000u);
}

}  // namespace
