#pragma once
// Parameters of diagnostic messages and their value-table entries.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "diag/block_pool.h"
#include "diag/shared_text.h"
#include "quillmere/diag.h"

class CVTabValue : public IVTabValue {
  public:
    CVTabValue() = default;
    CVTabValue(qm::diag::SharedText text, uint32_t start, uint32_t end)
        : text(std::move(text)), rangeStart(start), rangeEnd(end) {}

    static void* operator new(size_t size) { return qm::diag::PooledNew<CVTabValue>(size); }
    static void operator delete(void* block, size_t size) noexcept {
        qm::diag::PooledDelete<CVTabValue>(block, size);
    }

    const char* GetText() override { return text.c_str(); }
    uint32_t GetRangeStart() override { return rangeStart; }
    uint32_t GetRangeEnd() override { return rangeEnd; }
    const char* GetXmlLocation() override { return xmlLocation.c_str(); }
    void SetText(const char* value) override { text = value ? value : ""; }
    NanoXML* ToXml() override;

    bool Contains(uint64_t value) const { return rangeStart <= value && value <= rangeEnd; }
    // The model's own look-ups (FindValueText, the choice of Encode) take an entry whose start
    // is at least the value and whose end is at most it: an entry of that one value (or one
    // written the wrong way round). Decoding as written looks values up with Contains.
    bool Names(uint64_t value) const { return rangeStart >= value && rangeEnd <= value; }

    // Entries of one data type repeat across its parameters: copies share the text.
    qm::diag::SharedText text;
    uint32_t rangeStart = 0;
    uint32_t rangeEnd = 0;
    qm::diag::SharedText xmlLocation;
};

// One piece of a computation that scales parts of the coded range differently (ODX
// SCALE-LINEAR and TAB-INTP read as written): a coded value within its limits (an absent limit
// leaves that side open) is base + (offset + factor x (coded - origin)) / divisor. A scale has
// origin and base 0; an interpolation between the points (x0, y0) and (x1, y1) is y0 +
// (y1 - y0) x (coded - x0) / (x1 - x0).
struct CLinearScale {
    double lower = 0.0;
    double upper = 0.0;
    bool hasLower = false;
    bool hasUpper = false;
    bool lowerExcluded = false;  // an OPEN interval
    bool upperExcluded = false;
    double factor = 1.0;
    double offset = 0.0;
    double divisor = 1.0;
    double origin = 0.0;
    double base = 0.0;

    double Physical(double coded) const {
        const double scaled = (offset + factor * (coded - origin)) / divisor;
        return base == 0.0 ? scaled : base + scaled;  // a scale keeps the sign of a zero result
    }
    // The coded value (not rounded) of a physical one; a constant piece (factor 0) has none.
    double Coded(double physical) const {
        return ((physical - base) * divisor - offset) / factor + origin;
    }
    bool Covers(double coded) const {
        return (!hasLower || (lowerExcluded ? coded > lower : coded >= lower)) &&
               (!hasUpper || (upperExcluded ? coded < upper : coded <= upper));
    }
};

// What a computation read as written adds to the one scaling and the value table of the
// interface (ODX): its pieces, the text of the values no entry names, and the coded values
// that texts encode as where they are not their entry's lower limit.
struct CComputation {
    // The first piece covering a value applies; empty: factor, offset and divisor for every value.
    std::vector<CLinearScale> pieces;
    // A text table's COMPU-DEFAULT-VALUE text, and the coded value it encodes as when it has one.
    qm::diag::SharedText otherValuesText;
    std::optional<uint32_t> otherValuesCoded;
    // COMPU-INVERSE-VALUEs: a text and the coded value it encodes as (the first of a text wins).
    std::vector<std::pair<qm::diag::SharedText, uint32_t>> inverses;
};

class CParam : public IParam {
  public:
    CParam() = default;
    // Deep copy of the parameter and everything below it; the copy has no owner.
    CParam(const CParam& other);
    CParam& operator=(const CParam&) = delete;

    static void* operator new(size_t size) { return qm::diag::PooledNew<CParam>(size); }
    static void operator delete(void* block, size_t size) noexcept {
        qm::diag::PooledDelete<CParam>(block, size);
    }

    uint64_t GetOwner() override { return owner; }
    uint64_t GetSubParamCount() override { return subParams.size(); }
    IParam* GetSubParam(uint64_t index) override;
    uint8_t IsKey() override { return isKey; }
    uint8_t IsConditional() override { return isConditional; }
    uint64_t GetChoiceCount() override;
    IParam* SelectChoice(uint64_t index) override;
    const char* GetName() override { return name.c_str(); }
    const char* GetSemantic() override { return semantic.c_str(); }
    int32_t GetBytePosition() override { return bytePosition; }
    int32_t GetBitPosition() override { return bitPosition; }
    int64_t GetAbsoluteBitOffset() override { return absoluteBitOffset; }
    int32_t GetBitLength() override { return bitLength; }
    uint32_t GetByteOrder() override { return byteOrder; }
    uint32_t GetBaseTypeCode() override { return baseTypeCode; }
    uint32_t GetDisplayFormat() override { return displayFormat; }
    const char* GetBaseDataType() override { return baseDataType.c_str(); }
    const char* GetDataType() override { return dataType.c_str(); }
    const char* GetType() override { return type.c_str(); }
    const char* GetUnit() override { return unit.c_str(); }
    const char* GetValueText() override;
    bool EncodeInto(uint8_t* buffer, uint64_t* cursor, uint64_t size) override;
    uint64_t GetValue() override;
    const char* GetDefaultText() override { return defaultText.c_str(); }
    uint64_t GetDefaultValue() override;
    uint32_t GetBitMask() override;
    uint32_t GetArraySizeMin() override { return arraySizeMin; }
    uint32_t GetArraySizeMax() override { return arraySizeMax; }
    const char* GetQual() override { return qual.c_str(); }
    uint8_t IsVisible() override { return isVisible; }
    uint8_t IsArray() override { return arraySizeMin != arraySizeMax ? 1 : 0; }
    uint8_t IsOptional() override { return isOptional; }
    uint8_t GetScaling(double* factor, double* divisor, double* offset) override;
    bool GetRange(uint32_t* first, uint32_t* second) override;
    void SetBitMask(uint32_t mask) override { bitMask = mask; }
    void SetBitLength(int32_t bits) override { bitLength = bits; }
    uint64_t GetValueCount() override { return valueTable.size(); }
    IVTabValue* GetValue(uint64_t index) override;
    const char* FindValueText(uint64_t value, bool* found) override;
    const char* GetXmlLocation() override { return xmlLocation.c_str(); }
    NanoXML* ToXml() override;
    bool FromXml(NanoXML* node) override;
    void SetName(const char* text) override { name = text ? text : ""; }
    void SetValueText(const char* text) override { valueStr = text ? text : ""; }

    // Fills bitLength, baseDataType, the base type code and dataType from what is known.
    void CompleteType();
    // Marks proxies and structures once the model is built (recursive).
    void FinishPresentationType();
    // The sum of the sub-parameters' bitLengths, each one without a length counting with the
    // sum of its own sub-parameters.
    int64_t SubParamBits() const;
    // bitLength = sum over the sub-parameters of their BitsInAll(), then CompleteType().
    void CompleteStructType();
    // The bits the parameter takes with its repetitions: bitLength x arraySizeMin when both
    // array sizes are given, else bitLength.
    int64_t BitsInAll() const {
        return int64_t{bitLength} * (arraySizeMin != 0 && arraySizeMax != 0 ? arraySizeMin : 1);
    }
    // Sorts sub-parameters and conditional parameters by position, recursively.
    void SortByPosition();
    // Gives this parameter and everything below it the byte order.
    void SetByteOrderDeep(uint32_t order);
    // Assigns absolute bit offsets below this parameter, which starts at `start`.
    void LayOutChildren(int64_t start);
    // Number of times the parameter repeats in a message: max(1, arraySizeMin).
    uint32_t RepeatCount() const { return arraySizeMin > 1 ? arraySizeMin : 1; }
    int64_t SortKey() const { return int64_t{bytePosition} * 8 + bitPosition; }
    // The encode step for one occurrence: the value when there is one, else the parts.
    void EncodeOccurrence(uint8_t* buffer, uint64_t& cursor, uint64_t limit);

    uint64_t owner = 0;
    // Texts mostly unique to the parameter.
    std::string name, valueStr, qual, xmlLocation;
    // Texts that many parameters hold alike share one buffer.
    qm::diag::SharedText semantic, dataType, baseDataType, type, defaultText, dtrefId, unit;
    double factor = 1.0;
    double divisor = 1.0;
    double offset = 1.0;
    int64_t absoluteBitOffset = 0;
    int32_t bitLength = 0;
    int32_t bitPosition = 0;
    int32_t bytePosition = 0;
    uint32_t bitMask = 0;
    uint32_t arraySizeMin = 0;
    uint32_t arraySizeMax = 0;
    uint32_t rangeFirst = 0;
    uint32_t rangeSecond = 0;
    uint32_t baseTypeCode = 0;
    uint32_t displayFormat = 0;
    uint32_t byteOrder = 0;
    uint8_t isVisible = 1;
    uint8_t typeSigned = 0;
    uint8_t isKey = 0;
    uint8_t isConditional = 0;
    uint8_t isVariableLength = 0;
    uint8_t isOptional = 0;
    uint8_t hasScaling = 0;
    // How an ODX parameter read as written is coded (the message codec reads these; the
    // described build leaves them 0): its length rule, the termination of a min-max length
    // field, whether it stated its BYTE-POSITION, where a matching-request parameter reads
    // the request, and the ID of the LENGTH-KEY a param-length-info field takes its length from.
    enum LengthKind : uint8_t {
        kLengthFixed = 0,
        kLengthMinMax = 1,
        kLengthParamInfo = 2,
        kLengthLeading = 3,
        kLengthMatchingRequest = 4,
        // Fields read as written: a static field (arraySizeMin items of bitLength / 8 bytes
        // each), a dynamic length field (subParams: the item count, then the items at their
        // offset) and environment data (conditionalParams: one per ENV-DATA, selected by the
        // value of the DTC parameter that lengthKeyId names; type "ENV-DATA-ALL" for all DTCs),
        // and an end-marker field (subParams: the item, then the termination constant).
        kLengthStaticField = 5,
        kLengthDynamicField = 6,
        kLengthEnvData = 7,
        kLengthEndMarker = 8,
    };
    enum Termination : uint8_t { kEndOfPdu = 0, kZero = 1, kHexFF = 2 };
    uint8_t lengthKind = kLengthFixed;
    uint8_t termination = kEndOfPdu;
    uint8_t positionStated = 0;
    // A union (CDD read as written): the sub-parameters are views of the same bytes.
    uint8_t overlaid = 0;
    // How the bits of a whole number hold its value, and which characters a text's bytes are
    // (ODX read as written: the coded type's BASE-TYPE-ENCODING, else its base type). Everywhere
    // else a number is kept as plain or two's complement bits and a text as UTF-8; the codec
    // converts where it reads and writes the message (ReadValue, WriteValue, TextOfField,
    // FieldBytesOfText).
    enum CodedForm : uint8_t {
        kCodedPlain = 0,
        kCodedBcdPacked = 1,       // a decimal digit a nibble, the most significant first
        kCodedBcdUnpacked = 2,     // a decimal digit a byte (its low nibble)
        kCodedOnesComplement = 3,  // a negative number is its magnitude with every bit inverted
        kCodedSignMagnitude = 4,   // the top bit is the sign, the others the magnitude
        kTextLatin1 = 5,           // ISO-8859-1: a byte a character
        kTextWindows1252 = 6,
        kTextUtf8 = 7,
        kTextUtf16 = 8,  // in the field's byte order
    };
    uint8_t codedForm = kCodedPlain;
    // The value table lists trouble codes (an ODX DTC-DOP read as written): a code it does not
    // list is still a trouble code, where a text table names every value it accepts.
    uint8_t troubleCodes = 0;
    // The physical value is a whole number (an ODX integer PHYSICAL-TYPE read as written): a
    // computation's result is rounded to the nearest, ties to even.
    uint8_t wholePhysical = 0;
    // What the computation adds read as written; null for most parameters. Copies share it.
    std::shared_ptr<const CComputation> computation;
    int32_t requestBytePosition = 0;
    qm::diag::SharedText lengthKeyId;
    std::vector<std::unique_ptr<CParam>> subParams;
    std::vector<std::unique_ptr<CParam>> conditionalParams;
    std::vector<std::unique_ptr<CVTabValue>> valueTable;
};

namespace qm::diag {
// A number in text: decimal when every character is a digit, hex when it is a hex number
// (with or without "0x"), else 0.
uint64_t NumberOfText(std::string_view text);
// The mask of `bits` one-bits (all 32 for 32 bits and more, 0 for none).
uint32_t MaskOfLength(int32_t bits);
// Sorts parameters by byte and bit position, keeping equal keys in their order.
void SortParamsByPosition(std::vector<std::unique_ptr<CParam>>& params);
// Assigns absolute offsets to a list of parameters in their (sorted) order from `start`.
void LayOutParams(std::vector<std::unique_ptr<CParam>>& params, int64_t start);
}  // namespace qm::diag
