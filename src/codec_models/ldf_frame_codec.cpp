// LIN unconditional frames as frame codecs: LIN sends a signal least significant bit first from
// its bit offset on.
#include "codec_models/model_codecs.h"

#include <algorithm>
#include <vector>

namespace qm::codec {

namespace {

// Whether a physical range of the signal covers a raw value.
bool Covered(const SignalCodec& signal, uint64_t raw) {
    return std::any_of(signal.ranges.begin(), signal.ranges.end(), [raw](const ScaledRange& range) {
        return raw >= range.low && raw <= range.high;
    });
}

// Logical values name raw values; physical ranges scale them (their text is a unit). The entry
// written first decides a raw value that several cover, as the LDF tools read an encoding: a
// logical value after a physical range that covers it names its value only for encoding. BCD
// and ASCII encodings leave the raw value as it is.
void AddEncoding(ILdfSignalEncodingType* encoding, SignalCodec& signal) {
    if (encoding == nullptr) return;
    std::vector<ValueText> shadowed;
    for (uint64_t i = 0; i < encoding->GetValueCount(); ++i) {
        ILdfValue* value = encoding->GetValue(i);
        if (auto* logical = dynamic_cast<ILdfLogicalValue*>(value)) {
            const char* text = logical->GetTextInfo();
            const uint64_t raw = logical->GetSignalValue();
            ValueText entry{raw, raw, text ? text : ""};
            if (Covered(signal, raw)) {
                shadowed.push_back(std::move(entry));
            } else {
                signal.texts.push_back(std::move(entry));
            }
        } else if (auto* physical = dynamic_cast<ILdfPhysicalValue*>(value)) {
            const char* text = physical->GetTextInfo();
            signal.ranges.push_back({physical->GetMinimum(), physical->GetMaximum(),
                                     physical->GetScale(), physical->GetOffset(),
                                     text ? text : ""});
        }
    }
    for (ValueText& entry : shadowed) signal.texts.push_back(std::move(entry));
    signal.encodeOnlyTexts = static_cast<uint32_t>(shadowed.size());
}

SignalCodec SignalOf(ILdfStandardSignal& source) {
    SignalCodec signal;
    signal.name = source.GetName();
    signal.layout = BitLayout::Little(source.GetBitOffset(), source.GetSize());
    signal.byteArray = source.IsByteArray() != 0;
    const uint64_t initial = source.GetInitialValueCount();
    if (signal.byteArray) {
        for (uint64_t b = 0; b < initial && b < 8; ++b) {
            signal.defaultRaw |= uint64_t{static_cast<uint8_t>(source.GetInitialValue(b))}
                                 << (8 * b);
        }
    } else if (initial > 0) {
        signal.defaultRaw = source.GetInitialValue(0);
    }
    AddEncoding(source.GetEncodingType(), signal);
    return signal;
}

}  // namespace

std::unique_ptr<FrameCodec> BuildLdfFrame(ILdfUnconditionalFrame& source) {
    auto frame = std::make_unique<FrameCodec>();
    frame->name = source.GetName();
    frame->id = source.GetFrameId();
    frame->size = source.GetLength();
    for (uint64_t i = 0; i < source.GetSignalCount(); ++i) {
        if (ILdfStandardSignal* signal = source.GetSignal(i))
            frame->signals.push_back(SignalOf(*signal));
    }
    frame->Prepare();
    return frame;
}

FrameCatalog BuildLdfCatalog(INetConfigLdfFile& file) {
    FrameCatalog catalog;
    for (uint64_t i = 0; i < file.GetUnconditionalFrameCount(); ++i) {
        if (ILdfUnconditionalFrame* frame = file.GetUnconditionalFrame(i))
            catalog.Add(BuildLdfFrame(*frame));
    }
    return catalog;
}

}  // namespace qm::codec
