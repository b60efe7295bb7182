// LIN unconditional frames as frame codecs: LIN sends a signal least significant bit first from
// its bit offset on.
#include "codec_models/model_codecs.h"

#include <algorithm>

namespace qm::codec {

namespace {

// Logical values name raw values; physical ranges scale them (their text is a unit), the entry
// written first deciding a raw value that several cover. A BCD or ASCII entry says how a byte
// array reads (the first such entry; a scalar signal keeps its raw value).
void AddEncoding(ILdfSignalEncodingType* encoding, SignalCodec& signal) {
    if (encoding == nullptr) return;
    WrittenOrderTexts texts(signal);
    for (uint64_t i = 0; i < encoding->GetValueCount(); ++i) {
        ILdfValue* value = encoding->GetValue(i);
        if (TakeArrayReading(value->GetValueKind(), signal.byteArray, signal)) continue;
        if (auto* logical = dynamic_cast<ILdfLogicalValue*>(value)) {
            const char* text = logical->GetTextInfo();
            const uint64_t raw = logical->GetSignalValue();
            texts.Add({raw, raw, text ? text : ""});
        } else if (auto* physical = dynamic_cast<ILdfPhysicalValue*>(value)) {
            const char* text = physical->GetTextInfo();
            signal.ranges.push_back({physical->GetMinimum(), physical->GetMaximum(),
                                     physical->GetScale(), physical->GetOffset(),
                                     text ? text : ""});
        }
    }
    texts.Finish();
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

bool TakeArrayReading(uint8_t kind, bool array, SignalCodec& signal) {
    if (kind != kLdfValueBcd && kind != kLdfValueAscii) return false;
    if (array && signal.arrayReading == ArrayReading::Bytes) {
        signal.byteArray = true;
        signal.arrayReading = kind == kLdfValueBcd ? ArrayReading::Bcd : ArrayReading::Ascii;
    }
    return true;
}

void WrittenOrderTexts::Add(ValueText text) {
    const auto covers = [&text](const ScaledRange& range) {
        return text.low >= range.low && text.low <= range.high;
    };
    if (std::any_of(signal_.ranges.begin(), signal_.ranges.end(), covers)) {
        encodeOnly_.push_back(std::move(text));
    } else {
        signal_.texts.push_back(std::move(text));
    }
}

void WrittenOrderTexts::Finish() {
    for (ValueText& text : encodeOnly_) signal_.texts.push_back(std::move(text));
    signal_.encodeOnlyTexts = static_cast<uint32_t>(encodeOnly_.size());
    encodeOnly_.clear();
}

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
