#include "dbc/dbc_decode.h"

#include "codec/multiplex_selection.h"
#include "codec/signal_codec.h"
#include "dbc/dbc_enums.h"
#include "dbc/dbc_message.h"
#include "dbc/dbc_signal.h"

namespace qm::dbc {

namespace {

uint64_t RawOf(const DbcSignal& signal, const uint8_t* payload, uint64_t size) {
    return ExtractBits(payload, size, signal.StartBit(), signal.BitLength(),
                       signal.ByteOrder() == kBigEndian);
}

// The signals of a DBC message as the multiplexing rule walks them.
struct DbcSignalAccess {
    const uint8_t* payload;
    uint64_t size;

    const DbcSignal* Multiplexer(const DbcSignal* signal) const {
        return signal->ExtendedMultiplexer();
    }
    bool IsNull(const DbcSignal* signal) const { return signal == nullptr; }
    bool IsMultiplexed(const DbcSignal* signal) const {
        return signal->MultiplexingKind() == kMultiplexedSignal;
    }
    int64_t MultiplexValue(const DbcSignal* signal) const { return signal->MultiplexValue(); }
    bool InRanges(const DbcSignal* signal, uint64_t raw) const {
        return codec::InMultiplexRanges(signal->MultiplexRanges(), raw);
    }
    uint64_t Raw(const DbcSignal* signal) const { return RawOf(*signal, payload, size); }
};

// The signal's value kind as the frame codec reads it (the extended value type before the sign).
codec::ValueKind KindOf(const DbcSignal& signal) {
    if (signal.ExtendedValueTypeGiven() && signal.ExtendedValueType() == kExtendedFloat) {
        return codec::ValueKind::Float32;
    }
    if (signal.ExtendedValueTypeGiven() && signal.ExtendedValueType() == kExtendedDouble) {
        return codec::ValueKind::Float64;
    }
    return signal.ValueType() == kSignedType ? codec::ValueKind::Signed
                                             : codec::ValueKind::Unsigned;
}

}  // namespace

double RawToValue(const DbcSignal& signal, uint64_t raw) {
    return codec::ValueOfKind(KindOf(signal), raw, signal.BitLength());
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
    const DbcSignalAccess access{payload, size};
    std::vector<DecodedSignal> decoded;
    decoded.reserve(message.Signals().size());
    for (const auto& signal : message.Signals()) {
        if (!codec::IsCarried(access, static_cast<const DbcSignal*>(signal.get()), selected))
            continue;
        decoded.push_back(DecodeSignal(*signal, payload, size));
    }
    return decoded;
}

}  // namespace qm::dbc
