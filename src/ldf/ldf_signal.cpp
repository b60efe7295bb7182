#include "ldf/ldf_signal.h"

#include "ldf/ldf_encoding.h"
#include "ldf/ldf_frame.h"
#include "ldf/ldf_node.h"

namespace qm::ldf {

void LdfStandardSignal::Clear() {
    LdfSignal::Clear();
    size = 0;
    initialValues.clear();
    byteArray = 0;
    type = kUnsignedTypeText;
    bitOrder = 1;
    byteOrder = kLittleEndianText;
    bitOffset = 0;
    groupOffset = 0;
    publisher = nullptr;
    publisherName.clear();
    subscribers.clear();
    encodingType = nullptr;
    frame = nullptr;
    reference = 0;
}

uint16_t LdfStandardSignal::GetInitialValue(uint64_t index) {
    return index < initialValues.size() ? initialValues[index] : 0;
}

ILdfNode* LdfStandardSignal::GetPublisher() {
    return publisher;
}

ILdfNode* LdfStandardSignal::GetSubscriber(uint64_t index) {
    return AtOrNull(subscribers, index);
}

ILdfSignalEncodingType* LdfStandardSignal::GetEncodingType() {
    return encodingType;
}

ILdfUnconditionalFrame* LdfStandardSignal::GetFrame() {
    return frame;
}

uint64_t LdfStandardSignal::GetRawValue(const uint8_t* data, uint64_t byteCount) {
    return ExtractRawValue(data, byteCount, bitOffset, size, bitOrder > 0);
}

uint64_t ExtractRawValue(const uint8_t* data, uint64_t byteCount, uint32_t bitOffset, uint32_t size,
                         bool msbFirst) {
    if (!data || byteCount == 0) return 0;
    const uint64_t totalBits = byteCount * 8;
    uint64_t result = 0;
    unsigned collected = 0;
    for (uint64_t bit = bitOffset; bit < uint64_t(bitOffset) + size && bit < totalBits; ++bit) {
        const unsigned within = static_cast<unsigned>(bit % 8);
        const unsigned shift = msbFirst ? 7 - within : within;
        const uint64_t value = (data[bit / 8] >> shift) & 1u;
        if (collected < 64) result |= value << collected;
        ++collected;
    }
    return result;
}

void LdfDiagnosticSignal::Clear() {
    LdfSignal::Clear();
    size = 0;
    initialValues.clear();
    text.clear();
    frame = nullptr;
}

uint16_t LdfDiagnosticSignal::GetInitialValue(uint64_t index) {
    return index < initialValues.size() ? initialValues[index] : 0;
}

ILdfDiagnosticFrame* LdfDiagnosticSignal::GetFrame() {
    return frame;
}

}  // namespace qm::ldf
