#include "dbc/dbc_decode.h"

#include <cstring>

#include "dbc/dbc_enums.h"
#include "dbc/dbc_message.h"
#include "dbc/dbc_signal.h"

namespace qm::dbc {

namespace {

int64_t SignExtend(uint64_t raw, uint32_t length) {
    if (length == 0 || length >= 64) return static_cast<int64_t>(raw);
    const uint64_t sign = uint64_t{1} << (length - 1);
    return static_cast<int64_t>((raw ^ sign) - sign);
}

// Extended multiplexing can chain multiplexers; the reader refuses loops and deep chains, and
// this bound keeps decoding finite whatever a host builds by hand.
constexpr int kMaxChainDepth = 64;

uint64_t RawOf(const DbcSignal& signal, const uint8_t* payload, uint64_t size) {
    return ExtractBits(payload, size, signal.StartBit(), signal.BitLength(),
                       signal.ByteOrder() == kBigEndian);
}

bool InRanges(const DbcSignal& signal, uint64_t raw) {
    for (const DbcSignal::MultiplexRange& range : signal.MultiplexRanges()) {
        if (raw >= range.minimum && raw <= range.maximum) return true;
    }
    return false;
}

// Whether the payload carries the signal: a signal of extended multiplexing when its
// multiplexer is carried and holds a value of its ranges; a multiplexed signal otherwise when
// the message's switch holds its multiplex value; every other signal always.
bool Carried(const DbcSignal& signal, int64_t selected, const uint8_t* payload, uint64_t size,
             int depth) {
    if (const DbcSignal* multiplexer = signal.ExtendedMultiplexer()) {
        return depth < kMaxChainDepth &&
               Carried(*multiplexer, selected, payload, size, depth + 1) &&
               InRanges(signal, RawOf(*multiplexer, payload, size));
    }
    return signal.MultiplexingKind() != kMultiplexedSignal || signal.MultiplexValue() == selected;
}

}  // namespace

double RawToValue(const DbcSignal& signal, uint64_t raw) {
    if (signal.ExtendedValueTypeGiven() && signal.ExtendedValueType() == kExtendedFloat) {
        const uint32_t bits = static_cast<uint32_t>(raw);
        float value;
        std::memcpy(&value, &bits, sizeof(value));
        return value;
    }
    if (signal.ExtendedValueTypeGiven() && signal.ExtendedValueType() == kExtendedDouble) {
        double value;
        std::memcpy(&value, &raw, sizeof(value));
        return value;
    }
    if (signal.ValueType() == kSignedType) {
        return static_cast<double>(SignExtend(raw, signal.BitLength()));
    }
    return static_cast<double>(raw);
}

DecodedSignal DecodeSignal(const DbcSignal& signal, const uint8_t* payload, uint64_t size) {
    DecodedSignal decoded;
    decoded.signal = &signal;
    decoded.raw = ExtractBits(payload, size, signal.StartBit(), signal.BitLength(),
                              signal.ByteOrder() == kBigEndian);
    decoded.value = RawToValue(signal, decoded.raw);
    decoded.physical = decoded.value * signal.Factor().value + signal.Offset().value;
    decoded.description = signal.ValueDescriptions().Find(static_cast<uint32_t>(decoded.raw));
    return decoded;
}

std::vector<DecodedSignal> DecodeFrame(const DbcMessage& message, const uint8_t* payload,
                                       uint64_t size) {
    const DbcSignal* multiplexer = nullptr;
    for (const auto& signal : message.Signals()) {
        if (signal->MultiplexingKind() == kMultiplexerSwitch) {
            multiplexer = signal.get();
            break;
        }
    }
    int64_t selected = -1;
    if (multiplexer) {
        selected = static_cast<int64_t>(ExtractBits(payload, size, multiplexer->StartBit(),
                                                    multiplexer->BitLength(),
                                                    multiplexer->ByteOrder() == kBigEndian));
    }
    std::vector<DecodedSignal> decoded;
    decoded.reserve(message.Signals().size());
    for (const auto& signal : message.Signals()) {
        if (!Carried(*signal, selected, payload, size, 0)) continue;
        decoded.push_back(DecodeSignal(*signal, payload, size));
    }
    return decoded;
}

}  // namespace qm::dbc
