// DBC messages as frame codecs.
#include <algorithm>
#include <unordered_map>

#include "codec_models/extended_multiplexing.h"
#include "codec_models/model_codecs.h"

namespace qm::codec {

namespace {

constexpr uint32_t kDbcBigEndian = 1;  // IDbcSignal::GetByteOrder: '0' in the file
constexpr uint32_t kDbcSigned = 2;     // IDbcSignal::GetValueType: '-' in the file

ValueKind KindOf(IDbcSignal& signal) {
    if (signal.HasExtendedValueType()) {
        if (signal.GetExtendedValueType() == 1) return ValueKind::Float32;
        if (signal.GetExtendedValueType() == 2) return ValueKind::Float64;
    }
    return signal.GetValueType() == kDbcSigned ? ValueKind::Signed : ValueKind::Unsigned;
}

// The value texts as written: any 64-bit value, negative ones in the signed domain of the raw
// value (signed signals' raw values are compared sign-extended).
void AddExactTexts(IDbcExactValueDescriptions& exact, SignalCodec& signal) {
    const uint64_t count = exact.GetExactValueCount();
    signal.texts.reserve(count);
    for (uint64_t i = 0; i < count; ++i) {
        const auto key = static_cast<uint64_t>(exact.GetExactValueAt(i));
        const char* text = exact.GetExactValueDescriptionAt(i);
        signal.texts.push_back({key, key, text ? text : ""});
    }
}

SignalCodec SignalOf(IDbcSignal& source) {
    SignalCodec signal;
    signal.name = source.GetName();
    signal.unit = source.GetUnit();
    signal.layout = BitLayout::FromDbc(
        source.GetStartBit(), source.GetBitLength(),
        source.GetByteOrder() == kDbcBigEndian ? ByteOrder::BigEndian : ByteOrder::LittleEndian);
    signal.kind = KindOf(source);
    signal.factor = source.GetFactor();
    signal.offset = source.GetOffset();
    signal.minimum = source.GetMinimum();
    signal.maximum = source.GetMaximum();
    if (source.IsMultiplexerSwitch()) signal.mux = MuxRole::Switch;
    if (source.IsMultiplexedSignal()) {
        signal.mux = MuxRole::Multiplexed;
        signal.muxValue = source.GetMultiplexValue();
    }
    signal.defaultRaw = static_cast<uint64_t>(static_cast<int64_t>(source.GetStartValue()));
    if (source.GetBitLength() < 64) signal.defaultRaw &= (uint64_t{1} << source.GetBitLength()) - 1;
    if (auto* exact = dynamic_cast<IDbcExactValueDescriptions*>(&source)) {
        AddExactTexts(*exact, signal);
        return signal;
    }
    const uint64_t count = source.GetValueDescriptionCount();
    signal.texts.reserve(count);
    for (uint64_t i = 0; i < count; ++i) {
        const uint32_t value = source.GetValueAt(i);
        const char* text = source.GetValueDescription(value);
        const uint64_t key = DescribedValue(value, signal);
        signal.texts.push_back({key, key, text ? text : ""});
    }
    return signal;
}

// Extended multiplexing ("SG_MUL_VAL_"): each signal's multiplexer by its index in the message.
void AddExtendedMultiplexing(IDbcMessage& message, FrameCodec& frame) {
    std::unordered_map<IDbcSignal*, int> indexOf;
    for (size_t i = 0; i < frame.signals.size(); ++i) {
        auto* extended = dynamic_cast<IDbcExtendedMultiplexing*>(message.GetSignal(i));
        IDbcSignal* multiplexer = extended ? extended->GetExtendedMultiplexer() : nullptr;
        if (multiplexer != nullptr)
            LinkExtendedMultiplexer(message, frame, i, multiplexer, *extended, indexOf);
    }
}

}  // namespace

uint64_t DescribedValue(uint64_t value, const SignalCodec& signal) {
    if (signal.kind != ValueKind::Signed || value > 0xFFFFFFFFull) return value;
    const uint32_t length = signal.layout.Length();
    if (length > 0 && length < 32 && value < (uint64_t{1} << length)) {
        return static_cast<uint64_t>(signal.SignedValue(value));
    }
    return static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(value)));
}

std::unique_ptr<FrameCodec> BuildDbcFrame(IDbcMessage& message) {
    auto frame = std::make_unique<FrameCodec>();
    frame->name = message.GetName();
    const uint32_t raw = message.GetRawId();
    frame->id = raw & ~kExtendedFlag;
    frame->extended = (raw & kExtendedFlag) != 0;
    frame->size = message.GetSize();
    const uint64_t count = message.GetSignalCount();
    frame->signals.reserve(count);
    for (uint64_t i = 0; i < count; ++i) frame->signals.push_back(SignalOf(*message.GetSignal(i)));
    AddExtendedMultiplexing(message, *frame);
    frame->Prepare();
    return frame;
}

namespace {

// The name an attribute holds, null when there is none (an empty value counts as none).
const char* LongNameIn(IDbcAttribute* attribute) {
    const char* value = attribute ? attribute->GetValue() : nullptr;
    return value && *value ? value : nullptr;
}

}  // namespace

const char* DbcLongName(IDbcMessage& message) {
    return LongNameIn(message.FindAttribute(kDbcMessageLongName));
}

const char* DbcLongName(IDbcSignal& signal) {
    return LongNameIn(signal.FindAttribute(kDbcSignalLongName));
}

void UseDbcLongNames(IDbcMessage& message, FrameCodec& frame) {
    if (const char* name = DbcLongName(message)) frame.name = name;
    const uint64_t count = std::min<uint64_t>(message.GetSignalCount(), frame.signals.size());
    for (uint64_t i = 0; i < count; ++i) {
        IDbcSignal* signal = message.GetSignal(i);
        if (signal == nullptr) continue;
        if (const char* name = DbcLongName(*signal)) frame.signals[i].name = name;
    }
}

FrameCatalog BuildDbcCatalog(INetConfigDbcFile& file) {
    FrameCatalog catalog;
    for (uint64_t i = 0; i < file.GetMessageCount(); ++i) {
        if (IDbcMessage* message = file.GetMessage(i)) catalog.Add(BuildDbcFrame(*message));
    }
    return catalog;
}

}  // namespace qm::codec
