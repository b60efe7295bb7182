// Decoding checked against the field's rules, written here from first principles and not from
// the decoder's helpers: for every message of every corpus DBC, seeded random payloads (and
// payloads whose multiplexer holds each value the message names) decode to the values that
// bit-by-bit extraction, two's complement, IEEE floats and factor/offset give.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <random>
#include <set>

#include "corpus_files.h"
#include "dbc/dbc_decode.h"
#include "dbc/dbc_enums.h"
#include "dbc/dbc_message.h"
#include "dbc/dbc_signal.h"
#include "dbc/netconfig_dbc_file.h"
#include "dbc_frame_reference.h"

namespace {

namespace fs = std::filesystem;
using namespace qm::dbc;
using dbctest::Payload;

using dbctest::ReadField;

uint64_t ReferenceRaw(const Payload& payload, const DbcSignal& signal) {
    return ReadField(payload, signal.StartBit(), signal.BitLength(),
                     signal.ByteOrder() == kBigEndian);
}

void WriteReferenceRaw(Payload& payload, const DbcSignal& signal, uint64_t raw) {
    dbctest::WriteField(payload, signal.StartBit(), signal.BitLength(),
                        signal.ByteOrder() == kBigEndian, raw);
}

double ReferenceValue(const DbcSignal& signal, uint64_t raw) {
    const int floatBits = !signal.ExtendedValueTypeGiven()  ? 0
                          : signal.ExtendedValueType() == 1 ? 32
                          : signal.ExtendedValueType() == 2 ? 64
                                                            : 0;
    return dbctest::ValueOfField(raw, signal.BitLength(), signal.ValueType() == kSignedType,
                                 floatBits);
}

struct Expected {
    const DbcSignal* signal;
    uint64_t raw;
    double physical;
};

// The signals a frame carries, grown to a fixed point: plain signals and switches without
// extended multiplexing always; a multiplexed signal when the message's first switch holds its
// multiplex value; a signal of extended multiplexing once its multiplexer is carried and holds
// a value of its ranges.
std::vector<Expected> Reference(const DbcMessage& message, const Payload& payload) {
    const DbcSignal* multiplexer = nullptr;
    for (const auto& signal : message.Signals()) {
        if (signal->MultiplexingKind() == kMultiplexerSwitch) {
            multiplexer = signal.get();
            break;
        }
    }
    std::set<const DbcSignal*> carried;
    for (bool grew = true; grew;) {
        grew = false;
        for (const auto& signal : message.Signals()) {
            if (carried.count(signal.get())) continue;
            bool in = false;
            if (const DbcSignal* selector = signal->ExtendedMultiplexer()) {
                if (carried.count(selector)) {
                    const uint64_t value = ReferenceRaw(payload, *selector);
                    for (const auto& range : signal->MultiplexRanges()) {
                        in = in || (value >= range.minimum && value <= range.maximum);
                    }
                }
            } else if (signal->MultiplexingKind() == kMultiplexedSignal) {
                in = multiplexer &&
                     ReferenceRaw(payload, *multiplexer) ==
                         static_cast<uint64_t>(static_cast<int64_t>(signal->MultiplexValue()));
            } else {
                in = true;
            }
            if (in) {
                carried.insert(signal.get());
                grew = true;
            }
        }
    }
    std::vector<Expected> expected;
    for (const auto& signal : message.Signals()) {
        if (!carried.count(signal.get())) continue;
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
    const std::vector<fs::path> files = qmtest::CorpusFiles("dbc", {".dbc"});
    std::mt19937_64 random(0x51A7E);
    uint64_t frames = 0;
    for (const fs::path& path : files) {
        for (const bool tolerant : {false, true}) {
            NetConfigDbcFile file;
            file.SetTolerantReading(tolerant);
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
                // Each range bound of extended multiplexing, written into its multiplexer.
                for (const auto& signal : message->Signals()) {
                    const DbcSignal* selector = signal->ExtendedMultiplexer();
                    if (!selector) continue;
                    for (const auto& range : signal->MultiplexRanges()) {
                        for (const uint64_t bound : {range.minimum, range.maximum}) {
                            Payload payload = RandomPayload(random, size);
                            if (multiplexer) WriteReferenceRaw(payload, *multiplexer, 0);
                            WriteReferenceRaw(payload, *selector, bound);
                            ExpectDecodedAsReference(*message, payload,
                                                     where + " " + signal->Name() + " range");
                            ++frames;
                        }
                    }
                }
            }
        }
    }
    EXPECT_GT(frames, 10000u);
}

}  // namespace
