#pragma once
// Signal encodings: the value family (logical, physical, bcd, ascii entries), the encoding
// types that own them and the representations that bind signals to them.
#include <memory>
#include <string>
#include <vector>

#include "ldf/ldf_collections.h"
#include "ldf/ldf_text.h"
#include "quillmere/ldf.h"

namespace qm::ldf {

class LdfStandardSignal;

class LdfValue : public ILdfValue {
  public:
    explicit LdfValue(uint8_t kind) : valueKind(kind) {}
    void Clear() override {}
    uint8_t GetValueKind() override { return valueKind; }

    uint8_t valueKind = 0xFF;
};

// Joins LdfValue with one kind's interface and forwards the shared operation to LdfValue.
template <class Interface>
class CLdfValueImpl : public LdfValue, public Interface {
  public:
    explicit CLdfValueImpl(uint8_t kind) : LdfValue(kind) {}
    uint8_t GetValueKind() override { return LdfValue::GetValueKind(); }
};

class LdfLogicalValue : public CLdfValueImpl<ILdfLogicalValue> {
  public:
    LdfLogicalValue() : CLdfValueImpl(kLdfValueLogical) {}
    void Clear() override;
    uint32_t GetSignalValue() override { return signalValue; }
    const char* GetTextInfo() override { return textInfo.c_str(); }

    uint32_t signalValue = 0;
    LdfText textInfo;
};

class LdfPhysicalValue : public CLdfValueImpl<ILdfPhysicalValue> {
  public:
    LdfPhysicalValue() : CLdfValueImpl(kLdfValuePhysical) {}
    void Clear() override;
    uint32_t GetMinimum() override { return minimum; }
    uint32_t GetMaximum() override { return maximum; }
    double GetScale() override { return scale; }
    const char* GetScaleText() override { return scaleText.c_str(); }
    double GetOffset() override { return offset; }
    const char* GetOffsetText() override { return offsetText.c_str(); }
    const char* GetTextInfo() override { return textInfo.c_str(); }

    uint32_t minimum = 0;
    uint32_t maximum = 0;
    double scale = 1.0;
    LdfText scaleText;
    double offset = 0.0;
    LdfText offsetText;
    LdfText textInfo;
};

class LdfSignalEncodingType : public ILdfSignalEncodingType {
  public:
    void Clear() override;
    const char* GetName() override { return name.c_str(); }
    uint64_t GetValueCount() override { return values.size(); }
    ILdfValue* GetValue(uint64_t index) override;
    uint64_t GetSignalCount() override { return signals.size(); }
    ILdfStandardSignal* GetSignal(uint64_t index) override;

    LdfText name;
    std::vector<std::unique_ptr<LdfValue>> values;
    std::vector<LdfStandardSignal*> signals;
};

class LdfSignalRepresentation : public ILdfSignalRepresentation {
  public:
    void Clear() override;
    ILdfSignalEncodingType* GetEncodingType() override { return encodingType; }
    uint64_t GetSignalCount() override { return signals.size(); }
    ILdfStandardSignal* GetSignal(uint64_t index) override;

    LdfSignalEncodingType* encodingType = nullptr;
    std::vector<LdfStandardSignal*> signals;
};

// Where a raw value lands in an encoding: the entry that covers it (a logical entry of that
// value or a physical range holding it), the physical value and the text to show.
struct DecodedValue {
    double physical = 0.0;
    std::string text;
    bool covered = false;
    bool logical = false;  // covered by a logical entry: text names the value, else it is a unit
};
DecodedValue DecodeWithEncoding(const LdfSignalEncodingType* encoding, uint64_t raw);

}  // namespace qm::ldf
