// Every frame of every corpus DBC, LDF and ARXML file, decoded from seeded random payloads by
// the frame codec and by the tool ("decode --json --log", one JSON line a frame), against a
// reference written here bit by bit from the model's own fields: the start bit, length and byte
// order of each signal, two's complement, IEEE floats and factor/offset, and the signals the
// (extended) multiplexing of a DBC message selects (payloads whose multiplexer holds each value
// the message names too). What the codec decodes encodes back: the raw values to the same bits,
// the physical values to raw values of the same physical value. The codecs checked are copies
// through the byte form that other processes receive (frame_codec_bytes.h), so that a lossy
// copy shows here too.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <numeric>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "arxml_com/netconfig_arxml_file.h"
#include "codec/frame_codec_bytes.h"
#include "codec_models/model_codecs.h"
#include "corpus_files.h"
#include "dbc/dbc_frame_reference.h"
#include "dbc/netconfig_dbc_file.h"
#include "ldf/netconfig_ldf_file.h"
#include "tool/tool_support.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using dbctest::Payload;

// The reference bit walk of the DBC tests: bit k is bit k % 8 of byte k / 8; little-endian
// fields run upwards from their start bit; big-endian ones from their most significant bit
// down within a byte, then on at bit 7 of the next byte.
using dbctest::ReadField;

// The last payload bit a field touches, +1 in bytes: whether a payload holds it.
uint64_t ReferenceEndByte(uint32_t start, uint32_t length, bool bigEndian) {
    if (length == 0) return 0;
    if (!bigEndian) return (uint64_t{start} + length + 7) / 8;
    uint64_t position = start;
    for (uint32_t i = 1; i < length; ++i) position = dbctest::NextMotorolaBit(position);
    return position / 8 + 1;
}

enum class Kind { Unsigned, Signed, Float32, Float64 };

struct ReferenceSignal {
    std::string name;
    uint32_t start = 0;
    uint32_t length = 0;
    bool bigEndian = false;
    Kind kind = Kind::Unsigned;
    double factor = 1.0;
    double offset = 0.0;
    // DBC multiplexing: a multiplexed signal is carried when the message's switch holds its
    // value; a signal of extended multiplexing when its multiplexer is carried and holds a
    // value of its ranges; any other signal always.
    bool multiplexed = false;
    int64_t muxValue = -1;
    int selector = -1;
    std::vector<std::pair<uint64_t, uint64_t>> muxRanges;
    // LIN physical ranges: [minimum, maximum] scaled by their own factor and offset.
    struct Range {
        uint64_t minimum, maximum;
        double factor, offset;
    };
    std::vector<Range> ranges;

    double Physical(double value, uint64_t raw) const {
        for (const Range& range : ranges) {
            if (raw >= range.minimum && raw <= range.maximum) {
                return value * range.factor + range.offset;
            }
        }
        return value * factor + offset;
    }
};

double ReferenceValue(const ReferenceSignal& signal, uint64_t raw) {
    const int floatBits = signal.kind == Kind::Float32 ? 32 : signal.kind == Kind::Float64 ? 64 : 0;
    return dbctest::ValueOfField(raw, signal.length, signal.kind == Kind::Signed, floatBits);
}

bool Close(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    if (std::isinf(a) || std::isinf(b)) return a == b;
    return std::fabs(a - b) <= 1e-9 * std::max({1.0, std::fabs(a), std::fabs(b)});
}

struct ReferenceFrame {
    uint32_t key = 0;  // identifier, bit 31 for extended
    std::string name;
    size_t size = 0;
    std::vector<ReferenceSignal> signals;
    int multiplexer = -1;  // the message's first switch
};

uint64_t ReferenceRaw(const ReferenceFrame& frame, const Payload& payload, int index) {
    const ReferenceSignal& signal = frame.signals[static_cast<size_t>(index)];
    return ReadField(payload, signal.start, signal.length, signal.bigEndian);
}

// The signals a payload carries, grown to a fixed point from the signals that are always carried.
std::vector<bool> ReferenceCarried(const ReferenceFrame& frame, const Payload& payload) {
    std::vector<bool> carried(frame.signals.size(), false);
    for (bool grew = true; grew;) {
        grew = false;
        for (size_t i = 0; i < frame.signals.size(); ++i) {
            const ReferenceSignal& signal = frame.signals[i];
            bool in = !signal.multiplexed;
            if (signal.selector >= 0) {
                in = false;
                const uint64_t value = ReferenceRaw(frame, payload, signal.selector);
                for (const auto& [minimum, maximum] : signal.muxRanges) {
                    in = in || (carried[static_cast<size_t>(signal.selector)] && value >= minimum &&
                                value <= maximum);
                }
            } else if (signal.multiplexed) {
                in = frame.multiplexer >= 0 && ReferenceRaw(frame, payload, frame.multiplexer) ==
                                                   static_cast<uint64_t>(signal.muxValue);
            }
            if (in && !carried[i]) carried[i] = grew = true;
        }
    }
    return carried;
}

// Payloads that random bits would rarely give: the switch holding each multiplex value the
// message names, and each range bound of extended multiplexing in its multiplexer (the switch
// holding 0), as (signal, raw value) writes into a random payload.
std::vector<std::vector<std::pair<int, uint64_t>>> SelectingWrites(const ReferenceFrame& frame) {
    std::vector<std::vector<std::pair<int, uint64_t>>> writes;
    std::set<int64_t> values;
    for (const ReferenceSignal& signal : frame.signals) {
        if (signal.multiplexed && signal.selector < 0) values.insert(signal.muxValue);
    }
    for (int64_t value : values) {
        if (frame.multiplexer >= 0)
            writes.push_back({{frame.multiplexer, static_cast<uint64_t>(value)}});
    }
    for (const ReferenceSignal& signal : frame.signals) {
        for (const auto& [minimum, maximum] : signal.muxRanges) {
            for (const uint64_t bound : {minimum, maximum}) {
                writes.push_back({{signal.selector, bound}});
                if (frame.multiplexer >= 0)
                    writes.back().insert(writes.back().begin(), {frame.multiplexer, 0});
            }
        }
    }
    return writes;
}

struct Tally {
    uint64_t frames = 0;
    uint64_t payloads = 0;
    uint64_t values = 0;
    uint64_t physical = 0;   // physical values encoded back
    uint64_t reencoded = 0;  // payloads encoded again from their raw values
    uint64_t decimal = 0;    // physical values a decode step gave as a decimal
};

// A decode step's decimal form of a value is the physical value exactly: the Integer itself,
// or the double nearest to the decimal (+0 for zero), whose shortest text the writers print.
void ExpectDecimalForm(const qm::codec::FrameCodec::Step& step, uint64_t raw,
                       const qm::codec::Physical& physical, Tally& tally,
                       const std::string& where) {
    int64_t mantissa = 0;
    if (!step.Decimal(raw, mantissa)) return;
    ++tally.decimal;
    if (step.Decimals() == 0) {
        EXPECT_TRUE(physical.type == qm::codec::Physical::Type::Integer &&
                    physical.integer == mantissa)
            << where << ": " << mantissa << " vs " << physical.AsDouble();
        return;
    }
    ASSERT_EQ(physical.type, qm::codec::Physical::Type::Double) << where;
    // Both exact in a double, so the quotient is the correctly rounded decimal.
    const double nearest = static_cast<double>(mantissa) / std::pow(10.0, step.Decimals());
    EXPECT_EQ(physical.real, nearest) << where << ": " << mantissa << "e-" << step.Decimals();
    EXPECT_EQ(std::signbit(physical.real), mantissa < 0) << where;
}

bool InRange(const qm::codec::SignalCodec& signal, double value) {
    if ((signal.minimum == 0.0 && signal.maximum == 0.0) || signal.minimum > signal.maximum) {
        return true;
    }
    return value >= signal.minimum && value <= signal.maximum;
}

bool SamePhysical(const qm::codec::Physical& a, const qm::codec::Physical& b) {
    using Type = qm::codec::Physical::Type;
    if (a.type == Type::Double || b.type == Type::Double) return a.AsDouble() == b.AsDouble();
    return a.type == b.type && a.integer == b.integer && a.natural == b.natural && a.wide == b.wide;
}

// The raw values decoded from a payload that holds every field encode (strictly) to a payload
// that decodes to the same raw values: overlapping fields were read from the same bits and
// write them alike. Each value the signal can carry as a physical value gives a raw value of
// that physical value back.
void ExpectEncodesBack(const qm::codec::FrameCodec& codec,
                       const std::vector<std::optional<uint64_t>>& raws, bool complete,
                       Tally& tally, const std::string& where) {
    using Type = qm::codec::Physical::Type;
    try {
        if (complete) {
            ++tally.reencoded;
            const std::vector<uint8_t> payload = codec.Encode(raws, true);
            size_t given = 0;
            codec.Decode(payload.data(), payload.size(), [&](size_t i, uint64_t raw) {
                if (!raws[i]) return;
                ++given;
                EXPECT_EQ(raw, *raws[i]) << where << " " << codec.signals[i].name << ": encoded";
            });
            EXPECT_EQ(given,
                      static_cast<size_t>(std::count_if(
                          raws.begin(), raws.end(), [](const auto& r) { return r.has_value(); })))
                << where;
        }
        for (size_t i = 0; i < raws.size(); ++i) {
            const qm::codec::SignalCodec& signal = codec.signals[i];
            if (!raws[i]) continue;
            const qm::codec::Physical physical = signal.PhysicalOf(*raws[i]);
            const double value = physical.AsDouble();
            if (signal.byteArray || !std::isfinite(value) || !InRange(signal, value) ||
                (!signal.ranges.empty() && signal.RangeIndex(*raws[i]) < 0)) {
                continue;
            }
            const uint64_t raw =
                physical.type == Type::Integer    ? signal.RawForInteger(physical.integer)
                : physical.type == Type::Unsigned ? signal.RawForInteger(physical.natural)
                : physical.type == Type::Wide     ? signal.RawForInteger(physical.wide)
                                                  : signal.RawForPhysical(physical.real);
            EXPECT_TRUE(SamePhysical(signal.PhysicalOf(raw), physical))
                << where << " " << signal.name << ": " << signal.PhysicalOf(raw).AsDouble()
                << " vs " << value;
            ++tally.physical;
        }
    } catch (const qm::codec::CodecError& error) {
        ADD_FAILURE() << where << ": " << error.what();
    }
}

std::unique_ptr<qm::codec::FrameCodec> ThroughBytes(std::unique_ptr<qm::codec::FrameCodec> codec) {
    auto copies = qm::codec::FramesFromBytes(qm::codec::FramesToBytes({codec.get()}));
    return std::move(copies.at(0));
}

// Checks one frame codec against the reference over random payloads (and short ones, and
// payloads that select each multiplexed signal).
void CheckCodec(const qm::codec::FrameCodec& codec, const ReferenceFrame& reference,
                std::mt19937_64& random, Tally& tally, const std::string& where) {
    ASSERT_EQ(codec.signals.size(), reference.signals.size()) << where;
    ++tally.frames;
    const auto selecting = SelectingWrites(reference);
    for (size_t round = 0; round < 8 + selecting.size(); ++round) {
        Payload payload(round == 7 ? reference.size / 2 : reference.size);
        for (auto& byte : payload) byte = static_cast<uint8_t>(random());
        for (const auto& [index, value] :
             round < 8 ? std::vector<std::pair<int, uint64_t>>{} : selecting[round - 8]) {
            const ReferenceSignal& signal = reference.signals[static_cast<size_t>(index)];
            dbctest::WriteField(payload, signal.start, signal.length, signal.bigEndian, value);
        }
        // A short payload may not hold the multiplexer the reference reads as zero bits.
        const std::vector<bool> carried = ReferenceCarried(reference, payload);
        const bool whole = payload.size() == reference.size;
        std::vector<bool> seen(codec.signals.size(), false);
        std::vector<std::optional<uint64_t>> raws(codec.signals.size());
        const bool complete = codec.Decode(
            payload.data(), payload.size(),
            [&](size_t i, uint64_t raw, const qm::codec::FrameCodec::Step& step) {
                const ReferenceSignal& signal = reference.signals[i];
                seen[i] = true;
                raws[i] = raw;
                ++tally.values;
                EXPECT_EQ(raw, ReadField(payload, signal.start, signal.length, signal.bigEndian))
                    << where << " " << signal.name;
                const double expected = signal.Physical(ReferenceValue(signal, raw), raw);
                const qm::codec::Physical physical = codec.signals[i].PhysicalOf(raw);
                EXPECT_TRUE(Close(physical.AsDouble(), expected))
                    << where << " " << signal.name << ": " << physical.AsDouble() << " vs "
                    << expected;
                ExpectDecimalForm(step, raw, physical, tally, where + " " + signal.name);
            });
        ++tally.payloads;
        bool allFit = true;
        for (size_t i = 0; i < reference.signals.size(); ++i) {
            const ReferenceSignal& signal = reference.signals[i];
            const bool fits =
                ReferenceEndByte(signal.start, signal.length, signal.bigEndian) <= payload.size();
            allFit = allFit && fits;
            if (whole || (!signal.multiplexed && signal.selector < 0)) {
                EXPECT_EQ(seen[i], fits && carried[i]) << where << " " << signal.name;
            }
        }
        EXPECT_EQ(complete, allFit) << where;
        if (round < 3) ExpectEncodesBack(codec, raws, complete, tally, where);
    }
}

std::string Hex(const Payload& payload) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (uint8_t byte : payload) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    return text;
}

// Writes a candump log of random payloads for every frame (first of each key), runs the tool on
// it and compares every JSON line with the reference.
void CheckTool(const fs::path& file, const std::vector<ReferenceFrame>& frames,
               std::mt19937_64& random, const std::string& extraOptions) {
    const fs::path log = fs::temp_directory_path() / ("qm_codec_" + std::to_string(::getpid()) +
                                                      "_" + file.filename().string() + ".log");
    std::map<uint32_t, const ReferenceFrame*> firstOfKey;
    for (const ReferenceFrame& frame : frames) firstOfKey.emplace(frame.key, &frame);
    std::vector<std::pair<const ReferenceFrame*, Payload>> sent;
    {
        std::ofstream out(log);
        for (const auto& [key, frame] : firstOfKey) {
            if (frame->size == 0 || frame->size > 64) continue;
            Payload payload(frame->size);
            for (auto& byte : payload) byte = static_cast<uint8_t>(random());
            char id[16];
            const bool extended = (key & 0x80000000u) != 0;
            std::snprintf(id, sizeof(id), extended ? "%08X" : "%03X", key & 0x1FFFFFFFu);
            out << "(1.5) can0 " << id << (frame->size > 8 ? "##0" : "#") << Hex(payload) << '\n';
            sent.emplace_back(frame, std::move(payload));
        }
    }
    const std::string output = tooltest::RunTool("decode --json " + extraOptions + " '" +
                                                 file.string() + "' --log '" + log.string() + "'")
                                   .out;
    fs::remove(log);
    std::vector<Json> lines;
    size_t at = 0;
    while (at < output.size()) {
        const size_t end = output.find('\n', at);
        lines.push_back(Json::parse(output.substr(at, end - at)));
        at = end == std::string::npos ? output.size() : end + 1;
    }
    ASSERT_EQ(lines.size(), sent.size()) << file;
    for (size_t f = 0; f < sent.size(); ++f) {
        const auto& [frame, payload] = sent[f];
        const Json& line = lines[f];
        const std::string where = file.filename().string() + " " + frame->name;
        EXPECT_EQ(line["id"].get<uint32_t>(), frame->key & 0x1FFFFFFFu) << where;
        // The signals come in frame order (those carried); names may repeat within a frame.
        size_t next = 0;
        for (const Json& decoded : line["signals"]) {
            const std::string name = decoded["name"].get<std::string>();
            while (next < frame->signals.size() && frame->signals[next].name != name) ++next;
            ASSERT_LT(next, frame->signals.size()) << where << " " << name;
            const ReferenceSignal& signal = frame->signals[next++];
            const uint64_t raw = ReadField(payload, signal.start, signal.length, signal.bigEndian);
            EXPECT_EQ(decoded["raw"].get<uint64_t>(), raw) << where << " " << signal.name;
            const Json& physical = decoded["physical"];
            if (physical.is_null()) continue;
            const double expected = signal.Physical(ReferenceValue(signal, raw), raw);
            const bool integerScaling = signal.kind != Kind::Float32 &&
                                        signal.kind != Kind::Float64 && signal.ranges.empty() &&
                                        signal.factor == std::floor(signal.factor) &&
                                        signal.offset == std::floor(signal.offset);
            if (integerScaling && std::fabs(expected) < 9e15) {
                // Integer scaling prints integers, exactly.
                EXPECT_TRUE(physical.is_number_integer()) << where << " " << signal.name;
                EXPECT_EQ(physical.get<double>(), expected) << where << " " << signal.name;
            } else {
                EXPECT_TRUE(Close(physical.get<double>(), expected))
                    << where << " " << signal.name << ": " << physical << " vs " << expected;
            }
        }
    }
}

TEST(CodecCorpus, DbcFramesDecodeAsTheReference) {
    const auto files = qmtest::CorpusFiles("dbc", {".dbc"});
    if (files.empty()) GTEST_SKIP() << "no corpus";
    std::mt19937_64 random(20261206);
    Tally tally;
    for (const fs::path& path : files) {
        qm::dbc::NetConfigDbcFile file;
        file.SetTolerantReading(true);
        file.Load(path.string().c_str());
        std::vector<ReferenceFrame> frames;
        for (uint64_t m = 0; m < file.GetMessageCount(); ++m) {
            IDbcMessage* message = file.GetMessage(m);
            ReferenceFrame frame{message->GetRawId(), message->GetName(), message->GetSize(), {}};
            for (uint64_t s = 0; s < message->GetSignalCount(); ++s) {
                IDbcSignal* source = message->GetSignal(s);
                ReferenceSignal signal;
                signal.name = source->GetName();
                signal.start = source->GetStartBit();
                signal.length = source->GetBitLength();
                signal.bigEndian = source->GetByteOrderChar() == '0';
                signal.kind = source->GetValueTypeChar() == '-' ? Kind::Signed : Kind::Unsigned;
                if (source->HasExtendedValueType() && source->GetExtendedValueType() == 1)
                    signal.kind = Kind::Float32;
                if (source->HasExtendedValueType() && source->GetExtendedValueType() == 2)
                    signal.kind = Kind::Float64;
                signal.factor = source->GetFactor();
                signal.offset = source->GetOffset();
                signal.multiplexed = source->IsMultiplexedSignal();
                signal.muxValue = source->GetMultiplexValue();
                if (source->IsMultiplexerSwitch() && frame.multiplexer < 0)
                    frame.multiplexer = static_cast<int>(s);
                auto* extended = dynamic_cast<IDbcExtendedMultiplexing*>(source);
                if (extended != nullptr && extended->GetExtendedMultiplexer() != nullptr) {
                    for (uint64_t k = 0; k < message->GetSignalCount(); ++k) {
                        if (message->GetSignal(k) == extended->GetExtendedMultiplexer())
                            signal.selector = static_cast<int>(k);
                    }
                    for (uint64_t r = 0; r < extended->GetMultiplexRangeCount(); ++r) {
                        signal.muxRanges.emplace_back(extended->GetMultiplexRangeMinimum(r),
                                                      extended->GetMultiplexRangeMaximum(r));
                    }
                }
                frame.signals.push_back(signal);
            }
            CheckCodec(*ThroughBytes(qm::codec::BuildDbcFrame(*message)), frame, random, tally,
                       path.filename().string() + " " + frame.name);
            frames.push_back(std::move(frame));
        }
        CheckTool(path, frames, random, "--short-names");
    }
    EXPECT_EQ(tally.frames, 3198u);
    EXPECT_GT(tally.values, 100000u);
    EXPECT_GT(tally.physical, 50000u);
    EXPECT_GT(tally.decimal, 50000u);
    EXPECT_EQ(tally.reencoded, 3 * 3182u);  // 16 frames hold fields beyond their payload
}

TEST(CodecCorpus, LdfFramesDecodeAsTheReference) {
    const auto files = qmtest::CorpusFiles("ldf", {".ldf"});
    if (files.empty()) GTEST_SKIP() << "no corpus";
    std::mt19937_64 random(20261207);
    Tally tally;
    for (const fs::path& path : files) {
        qm::ldf::NetConfigLdfFile file;
        file.Load(path.string().c_str());
        std::vector<ReferenceFrame> frames;
        for (uint64_t f = 0; f < file.GetUnconditionalFrameCount(); ++f) {
            ILdfUnconditionalFrame* source = file.GetUnconditionalFrame(f);
            ReferenceFrame frame{source->GetFrameId(), source->GetName(), source->GetLength(), {}};
            for (uint64_t s = 0; s < source->GetSignalCount(); ++s) {
                ILdfStandardSignal* source_signal = source->GetSignal(s);
                ReferenceSignal signal;
                signal.name = source_signal->GetName();
                signal.start = source_signal->GetBitOffset();
                signal.length = source_signal->GetSize();
                if (ILdfSignalEncodingType* encoding = source_signal->GetEncodingType()) {
                    for (uint64_t v = 0; v < encoding->GetValueCount(); ++v) {
                        if (auto* physical =
                                dynamic_cast<ILdfPhysicalValue*>(encoding->GetValue(v))) {
                            signal.ranges.push_back({physical->GetMinimum(), physical->GetMaximum(),
                                                     physical->GetScale(), physical->GetOffset()});
                        }
                    }
                }
                frame.signals.push_back(signal);
            }
            CheckCodec(*ThroughBytes(qm::codec::BuildLdfFrame(*source)), frame, random, tally,
                       path.filename().string() + " " + frame.name);
            frames.push_back(std::move(frame));
        }
        CheckTool(path, frames, random, "");
    }
    EXPECT_EQ(tally.frames, 134u);
    EXPECT_GT(tally.physical, 500u);
    EXPECT_EQ(tally.reencoded, 3 * 134u);
}

// A container that sends PDUs behind headers, against its laid-out reference: random bytes in
// the laid-out places, a random choice of its PDUs sent in a random order behind headers made
// here; each signal of a PDU sent reads what its laid-out place holds, the others none.
void CheckContainer(const qm::codec::FrameCodec& codec, IArxmlContainerPdu& container,
                    const ReferenceFrame& reference, std::mt19937_64& random, Tally& tally,
                    const std::string& where) {
    ++tally.frames;
    const size_t headerSize = container.GetHeaderSize();
    const size_t idBytes = headerSize == 4 ? 3 : 4;
    const auto headerField = [&](Payload& out, uint64_t value, size_t bytes) {
        for (size_t i = 0; i < bytes; ++i) {
            const size_t shift = 8 * (container.IsHeaderBigEndian() ? bytes - 1 - i : i);
            out.push_back(static_cast<uint8_t>(value >> shift));
        }
    };
    for (int round = 0; round < 8; ++round) {
        Payload laid(codec.FieldEnd() + 8);
        for (auto& byte : laid) byte = static_cast<uint8_t>(random());
        std::vector<uint64_t> order(container.GetContainedPduCount());
        std::iota(order.begin(), order.end(), 0);
        std::shuffle(order.begin(), order.end(), random);
        order.resize(random() % (order.size() + 1));
        const std::vector<bool> carried = ReferenceCarried(reference, laid);
        Payload sent;
        std::vector<bool> expected(codec.signals.size(), false);
        for (const uint64_t part : order) {
            const uint32_t offset = container.GetContainedOffset(part);
            const uint32_t length = container.GetContainedLength(part);
            headerField(sent, container.GetContainedHeaderId(part), idBytes);
            headerField(sent, length, headerSize - idBytes);
            for (uint32_t at = offset; at < offset + length; ++at)
                sent.push_back(at < laid.size() ? laid[at] : 0);
            const uint64_t first = container.GetContainedFirstSignal(part);
            for (uint64_t i = first; i < first + container.GetContainedSignalCount(part); ++i) {
                const ReferenceSignal& signal = reference.signals[i];
                expected[i] = ReferenceEndByte(signal.start, signal.length, signal.bigEndian) <=
                                  offset + length &&
                              carried[i];
            }
        }
        std::vector<bool> seen(codec.signals.size(), false);
        EXPECT_TRUE(codec.Decode(sent.data(), sent.size(), [&](size_t i, uint64_t raw) {
            const ReferenceSignal& signal = reference.signals[i];
            seen[i] = true;
            ++tally.values;
            EXPECT_EQ(raw, ReadField(laid, signal.start, signal.length, signal.bigEndian))
                << where << " " << signal.name;
        })) << where;
        EXPECT_EQ(seen, expected) << where;
        ++tally.payloads;
    }
}

TEST(CodecCorpus, ArxmlFramesDecodeAsTheReference) {
    const auto files = qmtest::CorpusFiles("arxml", {".arxml"});
    if (files.empty()) GTEST_SKIP() << "no corpus";
    std::mt19937_64 random(20261208);
    Tally tally;
    for (const fs::path& path : files) {
        NetConfigArxmlFile file;
        file.SetReadingMode(kArxmlReadWholeDocument);
        if (!file.Load(path.string().c_str())) continue;
        std::vector<ReferenceFrame> frames;
        for (uint64_t p = 0; p < file.GetPduCount(); ++p) {
            IArxmlPdu* pdu = file.GetPdu(p);
            if (pdu->GetIdentifier() < 0) continue;
            ReferenceFrame frame{static_cast<uint32_t>(pdu->GetIdentifier()) |
                                     (pdu->IsExtendedAddressing() ? 0x80000000u : 0u),
                                 pdu->GetName(),
                                 pdu->GetLength(),
                                 {}};
            const auto codec = ThroughBytes(qm::codec::BuildArxmlFrame(*pdu));
            for (uint64_t s = 0; s < pdu->GetSignalCount(); ++s) {
                IArxmlSignal* source = pdu->GetSignal(s);
                ReferenceSignal signal;
                signal.name = source->GetName();
                signal.start = source->GetStartPosition();
                signal.length = source->GetBitLength();
                signal.bigEndian = source->GetByteOrder() == '0';
                const std::string encoding =
                    dynamic_cast<IArxmlSignalEncoding*>(source)->GetBaseTypeEncoding();
                // Ones' complement and sign-magnitude base types are read as two's complement,
                // as the common tools read them.
                if (encoding == "2C" || encoding == "1C" || encoding == "SM") {
                    signal.kind = Kind::Signed;
                }
                if (encoding == "IEEE754" && signal.length == 32) signal.kind = Kind::Float32;
                if (encoding == "IEEE754" && signal.length == 64) signal.kind = Kind::Float64;
                // The scaling is the compu method's, as the codec reads it.
                signal.factor = codec->signals[s].factor;
                signal.offset = codec->signals[s].offset;
                // A signal of a multiplexed PDU's dynamic part: sent while the selector field
                // holds its code.
                auto* multiplexing = dynamic_cast<IArxmlSignalMultiplexing*>(source);
                for (uint64_t k = 0; k < pdu->GetSignalCount(); ++k) {
                    if (multiplexing->GetSelector() == pdu->GetSignal(k)) {
                        const auto code = static_cast<uint64_t>(multiplexing->GetSelectorCode());
                        signal.selector = static_cast<int>(k);
                        signal.muxRanges = {{code, code}};
                    }
                }
                frame.signals.push_back(signal);
            }
            const std::string where = path.filename().string() + " " + frame.name;
            auto* container = dynamic_cast<IArxmlContainerPdu*>(pdu);
            if (container->GetContainedPduCount() > 0) {
                CheckContainer(*codec, *container, frame, random, tally, where);
                continue;
            }
            CheckCodec(*codec, frame, random, tally, where);
            frames.push_back(std::move(frame));
        }
        if (!frames.empty()) CheckTool(path, frames, random, "");
    }
    EXPECT_EQ(tally.frames, 50u);
    EXPECT_GT(tally.physical, 100u);
    EXPECT_EQ(tally.reencoded, 3 * 42u);  // the six containers are checked apart
}

}  // namespace
