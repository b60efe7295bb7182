#include "ldf/ldf_encoding.h"

#include "ldf/ldf_signal.h"

namespace qm::ldf {

void LdfLogicalValue::Clear() {
    signalValue = 0;
    textInfo.clear();
}

void LdfPhysicalValue::Clear() {
    minimum = 0;
    maximum = 0;
    scale = 1.0;
    scaleText.clear();
    offset = 0.0;
    offsetText.clear();
    textInfo.clear();
}

void LdfSignalEncodingType::Clear() {
    name.clear();
    values.clear();
    signals.clear();
}

ILdfValue* LdfSignalEncodingType::GetValue(uint64_t index) {
    return index < values.size() ? values[index].get() : nullptr;
}

ILdfStandardSignal* LdfSignalEncodingType::GetSignal(uint64_t index) {
    return AtOrNull(signals, index);
}

void LdfSignalRepresentation::Clear() {
    encodingType = nullptr;
    signals.clear();
}

ILdfStandardSignal* LdfSignalRepresentation::GetSignal(uint64_t index) {
    return AtOrNull(signals, index);
}

DecodedValue DecodeWithEncoding(const LdfSignalEncodingType* encoding, uint64_t raw) {
    DecodedValue result;
    result.physical = static_cast<double>(raw);
    if (!encoding) return result;
    for (const auto& value : encoding->values) {
        if (value->valueKind == kLdfValueLogical) {
            const auto& logical = static_cast<const LdfLogicalValue&>(*value);
            if (logical.signalValue == raw) {
                result.text = logical.textInfo;
                result.covered = true;
                result.logical = true;
                return result;
            }
        } else if (value->valueKind == kLdfValuePhysical) {
            const auto& physical = static_cast<const LdfPhysicalValue&>(*value);
            if (raw >= physical.minimum && raw <= physical.maximum) {
                result.physical = static_cast<double>(raw) * physical.scale + physical.offset;
                result.text = physical.textInfo;
                result.covered = true;
                return result;
            }
        }
    }
    return result;
}

}  // namespace qm::ldf
