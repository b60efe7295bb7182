// Network-model messages as frame codecs. Byte order 1 ("Big Endian") is a big-endian field
// named by its most significant bit (DBC numbering), any other a little-endian one; signedness
// 2 is signed; value types 9 and 10 are IEEE floats. Value-table entries of one raw value are
// value texts; entries of a raw range scale it when their physical range differs from the raw
// one, and an entry written before them decides a raw value that several cover (LIN encodings).
// Signals converted from DBC keep their multiplexing (INetSignalMultiplexing).
#include <unordered_map>

#include "codec_models/extended_multiplexing.h"
#include "codec_models/model_codecs.h"

namespace qm::codec {

namespace {

constexpr uint32_t kNetBigEndian = 1;
constexpr uint32_t kNetSigned = 2;
constexpr uint32_t kNetFloat32 = 9;
constexpr uint32_t kNetFloat64 = 10;
constexpr uint32_t kNetArray = 11;

// The kind of an entry (a plain value-table entry when the model does not say).
uint8_t KindOf(INetVTabValue& value) {
    auto* kind = dynamic_cast<INetVTabValueKind*>(&value);
    return kind != nullptr ? kind->GetKind() : 255;
}

void AddValueTable(INetSignal& source, SignalCodec& signal) {
    WrittenOrderTexts texts(signal);
    const bool array = source.GetValueType() == kNetArray;
    for (uint64_t v = 0; v < source.GetVTabValueCount(); ++v) {
        INetVTabValue* value = source.GetVTabValue(v);
        if (value == nullptr || TakeArrayReading(KindOf(*value), array, signal)) continue;
        const uint64_t rawMin = value->GetRawMin();
        const uint64_t rawMax = value->GetRawMax();
        const char* text = value->GetText();
        if (rawMax < rawMin) continue;
        const double physicalMin = value->GetPhysicalMin();
        const double physicalMax = value->GetPhysicalMax();
        const bool rawIsPhysical = physicalMin == static_cast<double>(rawMin) &&
                                   physicalMax == static_cast<double>(rawMax);
        if (rawMin == rawMax || rawIsPhysical) {
            // A value-table entry, or a text naming a range of raw values.
            if (text == nullptr || text[0] == '\0') continue;
            const uint64_t low = rawMin == rawMax ? DescribedValue(rawMin, signal) : rawMin;
            const uint64_t high = rawMin == rawMax ? low : rawMax;
            texts.Add({low, high, text});
            continue;
        }
        const double factor = (physicalMax - physicalMin) / static_cast<double>(rawMax - rawMin);
        signal.ranges.push_back({rawMin, rawMax, factor,
                                 physicalMin - factor * static_cast<double>(rawMin),
                                 text ? text : ""});
    }
    texts.Finish();
}

SignalCodec SignalOf(INetSignal& source) {
    SignalCodec signal;
    signal.name = source.GetName();
    signal.unit = source.GetUnit();
    signal.layout = BitLayout::FromDbc(
        source.GetStartBit(), source.GetBitSize(),
        source.GetByteOrder() == kNetBigEndian ? ByteOrder::BigEndian : ByteOrder::LittleEndian);
    const uint32_t type = source.GetValueType();
    signal.kind = type == kNetFloat32 && source.GetBitSize() == 32   ? ValueKind::Float32
                  : type == kNetFloat64 && source.GetBitSize() == 64 ? ValueKind::Float64
                  : source.GetSignedness() == kNetSigned             ? ValueKind::Signed
                                                                     : ValueKind::Unsigned;
    signal.factor = source.GetFactor();
    signal.offset = source.GetOffset();
    signal.minimum = source.GetMinimum();
    signal.maximum = source.GetMaximum();
    AddValueTable(source, signal);
    return signal;
}

void AddMultiplexing(INetMessage& message, FrameCodec& frame) {
    std::unordered_map<INetSignal*, int> indexOf;
    for (size_t i = 0; i < frame.signals.size(); ++i) {
        auto* multiplexing = dynamic_cast<INetSignalMultiplexing*>(message.GetSignal(i));
        if (multiplexing == nullptr) continue;
        SignalCodec& signal = frame.signals[i];
        const uint32_t kind = multiplexing->GetMultiplexingKind();
        signal.mux = kind == 1   ? MuxRole::Switch
                     : kind == 2 ? MuxRole::Multiplexed
                                 : MuxRole::Plain;
        signal.muxValue = multiplexing->GetMultiplexValue();
        INetSignal* multiplexer = multiplexing->GetExtendedMultiplexer();
        if (multiplexer != nullptr)
            LinkExtendedMultiplexer(message, frame, i, multiplexer, *multiplexing, indexOf);
    }
}

}  // namespace

std::unique_ptr<FrameCodec> BuildNetFrame(INetMessage& message) {
    auto frame = std::make_unique<FrameCodec>();
    frame->name = message.GetName();
    const uint32_t id = message.GetId();
    frame->id = id & ~kExtendedFlag;
    // The model keeps the addressing beside the identifier; a message of another
    // implementation may carry it as bit 31.
    auto* addressing = dynamic_cast<INetMessageAddressing*>(&message);
    frame->extended = (id & kExtendedFlag) != 0 || (addressing && addressing->IsExtendedId());
    frame->size = message.GetSize();
    for (uint64_t i = 0; i < message.GetSignalCount(); ++i) {
        if (INetSignal* signal = message.GetSignal(i)) frame->signals.push_back(SignalOf(*signal));
    }
    AddMultiplexing(message, *frame);
    frame->Prepare();
    return frame;
}

FrameCatalog BuildNetCatalog(INetDataBase& database) {
    FrameCatalog catalog;
    for (uint64_t i = 0; i < database.GetMessageCount(); ++i) {
        if (INetMessage* message = database.GetMessage(i)) catalog.Add(BuildNetFrame(*message));
    }
    return catalog;
}

}  // namespace qm::codec
