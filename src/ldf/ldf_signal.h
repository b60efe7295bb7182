#pragma once
// The signal family: standard signals and diagnostic signals.
#include <string>
#include <vector>

#include "ldf/ldf_collections.h"
#include "ldf/ldf_text.h"
#include "quillmere/ldf.h"

namespace qm::ldf {

class LdfNode;
class LdfUnconditionalFrame;
class LdfDiagnosticFrame;
class LdfSignalEncodingType;

// A standard signal's initial values: one for a scalar, up to eight for a byte array.
using InitialValues = SmallList<uint16_t, 4>;

// The texts a signal's type and byte order start from.
inline constexpr LdfTextConstant<sizeof("unsignedType")> kUnsignedTypeText("unsignedType");
inline constexpr LdfTextConstant<sizeof("littleEndian")> kLittleEndianText("littleEndian");

class LdfSignal : public ILdfSignal {
  public:
    explicit LdfSignal(uint8_t kind) : signalKind(kind) {}
    void Clear() override { name.clear(); }
    const char* GetName() override { return name.c_str(); }
    uint8_t GetSignalKind() override { return signalKind; }

    LdfText name;
    uint8_t signalKind = 0xFF;
};

// Joins LdfSignal with one kind's interface and forwards the shared operations to LdfSignal.
template <class Interface>
class CLdfSignalImpl : public LdfSignal, public Interface {
  public:
    explicit CLdfSignalImpl(uint8_t kind) : LdfSignal(kind) {}
    const char* GetName() override { return LdfSignal::GetName(); }
    uint8_t GetSignalKind() override { return LdfSignal::GetSignalKind(); }
};

class LdfStandardSignal : public CLdfSignalImpl<ILdfStandardSignal> {
  public:
    LdfStandardSignal() : CLdfSignalImpl(kLdfSignalStandard) {}
    void Clear() override;
    uint8_t GetSize() override { return size; }
    uint64_t GetInitialValueCount() override { return initialValues.size(); }
    uint16_t GetInitialValue(uint64_t index) override;
    void ClearInitialValues() override { initialValues.clear(); }
    uint8_t IsByteArray() override { return byteArray; }
    const char* GetType() override { return type.c_str(); }
    uint8_t GetBitOrder() override { return bitOrder; }
    const char* GetByteOrder() override { return byteOrder.c_str(); }
    uint16_t GetBitOffset() override { return bitOffset; }
    uint16_t GetGroupOffset() override { return groupOffset; }
    ILdfNode* GetPublisher() override;
    uint64_t GetSubscriberCount() override { return subscribers.size(); }
    ILdfNode* GetSubscriber(uint64_t index) override;
    void ClearSubscribers() override { subscribers.clear(); }
    ILdfSignalEncodingType* GetEncodingType() override;
    ILdfUnconditionalFrame* GetFrame() override;
    uint64_t GetReference() override { return reference; }
    uint64_t GetRawValue(const uint8_t* data, uint64_t byteCount) override;

    // The one-byte and two-byte fields side by side: a big file has hundreds of thousands of
    // signals.
    uint8_t size = 0;
    uint8_t byteArray = 0;
    uint8_t bitOrder = 1;
    uint16_t bitOffset = 0;
    uint16_t groupOffset = 0;
    InitialValues initialValues;
    LdfText type{kUnsignedTypeText};
    LdfText byteOrder{kLittleEndianText};
    LdfNode* publisher = nullptr;
    LdfText publisherName;  // as written, also when no node of that name exists
    SmallList<LdfNode*, 1> subscribers;
    LdfSignalEncodingType* encodingType = nullptr;
    LdfUnconditionalFrame* frame = nullptr;
    uint64_t reference = 0;
};

// The bits [bitOffset, bitOffset + size) of data, numbered byte by byte and within each byte
// from bit 7 down when msbFirst is set, else from bit 0 up; collected from the least significant
// bit of the result upwards.
uint64_t ExtractRawValue(const uint8_t* data, uint64_t byteCount, uint32_t bitOffset, uint32_t size,
                         bool msbFirst);

class LdfDiagnosticSignal : public CLdfSignalImpl<ILdfDiagnosticSignal> {
  public:
    LdfDiagnosticSignal() : CLdfSignalImpl(kLdfSignalDiagnostic) {}
    void Clear() override;
    uint8_t GetSize() override { return size; }
    uint64_t GetInitialValueCount() override { return initialValues.size(); }
    uint16_t GetInitialValue(uint64_t index) override;
    void ClearInitialValues() override { initialValues.clear(); }
    const char* GetText() override { return text.c_str(); }
    ILdfDiagnosticFrame* GetFrame() override;

    uint8_t size = 0;
    std::vector<uint16_t> initialValues;
    LdfText text;
    LdfDiagnosticFrame* frame = nullptr;
};

}  // namespace qm::ldf
