#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dbc/dbc_attribute.h"
#include "dbc/dbc_number.h"
#include "dbc/dbc_text.h"
#include "dbc/dbc_value_descriptions.h"
#include "quillmere/dbc.h"

namespace qm::dbc {

class DbcMessage;
class DbcNode;
class DbcSignal;
class DbcSignalPool;

// Destroys a signal: one made by a file's pool leaves its storage to the pool, any other is
// deleted.
struct DbcSignalDeleter {
    void operator()(DbcSignal* signal) const noexcept;
};
using DbcSignalPtr = std::unique_ptr<DbcSignal, DbcSignalDeleter>;

// One signal of a message: its position in the payload, scaling, limits, unit, receivers,
// value descriptions and attributes. A large file holds hundreds of thousands of signals, so the
// object stays small: the enumerated fields are single bytes whose display texts are looked up,
// and the parts most signals lack (value descriptions, extended multiplexing, an extended value
// type) sit in one block allocated only for a signal that has one of them.
class DbcSignal : public IDbcSignal,
                  public IDbcExtendedMultiplexing,
                  public IDbcExactValueDescriptions {
  public:
    // Multiplexer values [minimum, maximum] that select a signal of extended multiplexing.
    struct MultiplexRange {
        uint64_t minimum = 0;
        uint64_t maximum = 0;
    };

    DbcSignal() = default;
    DbcSignal(const DbcSignal&) = delete;
    DbcSignal& operator=(const DbcSignal&) = delete;
    ~DbcSignal() override;

    void Clear() override;
    const char* GetName() override { return name_.c_str(); }
    bool IsNotMultiplexed() override { return multiplexingKind_ == 0; }
    bool IsMultiplexerSwitch() override { return multiplexingKind_ == 1; }
    bool IsMultiplexedSignal() override { return multiplexingKind_ == 2; }
    uint32_t GetMultiplexingKind() override { return multiplexingKind_; }
    const char* GetMultiplexingKindText() override;
    const char* GetMultiplexIndicator() override { return multiplexIndicator_.c_str(); }
    int32_t GetMultiplexValue() override { return multiplexValue_; }
    IDbcSignal* GetMultiplexer() override;
    int32_t GetStartValue() override;
    uint16_t GetStartBit() override { return startBit_; }
    uint16_t GetBitLength() override { return bitLength_; }
    uint8_t GetByteOrderChar() override { return byteOrderChar_; }
    uint32_t GetByteOrder() override { return byteOrder_; }
    const char* GetByteOrderText() override;
    uint8_t GetValueTypeChar() override { return valueTypeChar_; }
    uint32_t GetValueType() override { return valueType_; }
    const char* GetValueTypeText() override;
    double GetFactor() override { return factor_.value; }
    const char* GetFactorText() override { return factor_.text.c_str(); }
    uint8_t GetFactorDecimals() override { return factor_.decimals; }
    bool IsFactorExponent() override { return factor_.exponent; }
    double GetOffset() override { return offset_.value; }
    const char* GetOffsetText() override { return offset_.text.c_str(); }
    uint8_t GetOffsetDecimals() override { return offset_.decimals; }
    bool IsOffsetExponent() override { return offset_.exponent; }
    double GetMinimum() override { return minimum_.value; }
    const char* GetMinimumText() override { return minimum_.text.c_str(); }
    uint8_t GetMinimumDecimals() override { return minimum_.decimals; }
    bool IsMinimumExponent() override { return minimum_.exponent; }
    double GetMaximum() override { return maximum_.value; }
    const char* GetMaximumText() override { return maximum_.text.c_str(); }
    uint8_t GetMaximumDecimals() override { return maximum_.decimals; }
    bool IsMaximumExponent() override { return maximum_.exponent; }
    const char* GetUnit() override { return unit_.c_str(); }
    uint64_t GetReceiverCount() override { return ReceiverList().size(); }
    IDbcNode* GetReceiver(uint64_t index) override;
    IDbcNode* FindReceiver(const char* name) override;
    uint32_t IndexOfReceiver(IDbcNode* node) override;
    bool HasReceiver(const char* name) override { return FindReceiver(name) != nullptr; }
    void ClearReceivers() override;
    const char* GetComment() override { return comment_.c_str(); }
    bool HasNoValueDescriptions() override { return ValueDescriptions().Empty(); }
    uint64_t GetValueDescriptionCount() override { return ValueDescriptions().Count(); }
    uint32_t GetValueAt(uint64_t index) override { return ValueDescriptions().ValueAt(index); }
    const char* GetValueDescription(uint32_t value) override {
        return ValueDescriptions().Find(value);
    }

    // Value descriptions as written
    uint64_t GetExactValueCount() override { return ValueDescriptions().ExactCount(); }
    int64_t GetExactValueAt(uint64_t index) override {
        return ValueDescriptions().ExactValueAt(index).value;
    }
    bool IsExactValueUnsigned(uint64_t index) override {
        return ValueDescriptions().ExactValueAt(index).aboveSignedRange;
    }
    const char* GetExactValueDescriptionAt(uint64_t index) override {
        return ValueDescriptions().ExactDescriptionAt(index);
    }
    const char* FindExactValueDescription(int64_t value) override {
        return ValueDescriptions().FindExact(value);
    }
    uint64_t GetAttributeCount() override { return attributes_.Count(); }
    IDbcAttribute* GetAttribute(uint64_t index) override { return attributes_.At(index); }
    IDbcAttribute* FindAttribute(const char* name) override { return attributes_.Find(name); }
    IDbcMessage* GetMessage() override;
    int32_t GetExtendedValueType() override { return ExtendedValueType(); }
    bool HasExtendedValueType() override { return ExtendedValueTypeGiven(); }
    const char* GetExtendedValueTypeText() override;
    uint64_t ExtractRawValue(const uint8_t* payload, uint64_t byteCount) override;
    void SetDescribed(bool described) override { described_ = described; }
    bool IsDescribed() override { return described_; }

    // Model access for the reader, the writer and the edit operations.
    const DbcText& Name() const { return name_; }
    void SetName(std::string_view name) { name_ = name; }
    void SetMultiplexing(uint32_t kind, int32_t value);
    uint32_t MultiplexingKind() const { return multiplexingKind_; }
    int32_t MultiplexValue() const { return multiplexValue_; }
    const DbcText& MultiplexIndicator() const { return multiplexIndicator_; }
    void SetMultiplexIndicator(std::string_view text) { multiplexIndicator_ = text; }
    uint16_t StartBit() const { return startBit_; }
    void SetStartBit(uint16_t bit) { startBit_ = bit; }
    uint16_t BitLength() const { return bitLength_; }
    void SetBitLength(uint16_t length) { bitLength_ = length; }
    char ByteOrderChar() const { return static_cast<char>(byteOrderChar_); }
    uint32_t ByteOrder() const { return byteOrder_; }
    // "undefined" until a byte-order character is set; empty for an unknown character.
    const char* ByteOrderShownText() const;
    void SetByteOrderChar(char c);
    char ValueTypeChar() const { return static_cast<char>(valueTypeChar_); }
    uint32_t ValueType() const { return valueType_; }
    void SetValueTypeChar(char c);
    DbcNumber& Factor() { return factor_; }
    DbcNumber& Offset() { return offset_; }
    DbcNumber& Minimum() { return minimum_; }
    DbcNumber& Maximum() { return maximum_; }
    const DbcNumber& Factor() const { return factor_; }
    const DbcNumber& Offset() const { return offset_; }
    const DbcNumber& Minimum() const { return minimum_; }
    const DbcNumber& Maximum() const { return maximum_; }
    const DbcText& Unit() const { return unit_; }
    void SetUnit(std::string_view unit) { unit_ = unit; }
    // The receivers. Signals read from a file share equal lists (the file keeps each once);
    // the changing accessor first gives the signal a list of its own.
    const std::vector<DbcNode*>& Receivers() const;
    std::vector<DbcNode*>& Receivers();
    // Shows a list the file keeps, unchanged, for as long as this signal exists.
    void ShareReceivers(std::vector<DbcNode*>* list);
    const DbcText& Comment() const { return comment_; }
    void SetComment(std::string_view comment) { comment_ = comment; }
    // Reading never allocates the block of rare parts; the Mutable accessors do.
    const DbcValueDescriptions& ValueDescriptions() const;
    DbcValueDescriptions& MutableValueDescriptions() { return Rare().valueDescriptions; }
    DbcAttributeList& Attributes() { return attributes_; }
    const DbcAttributeList& Attributes() const { return attributes_; }
    DbcMessage* Message() const { return message_; }
    void SetMessage(DbcMessage* message) { message_ = message; }
    void SetExtendedValueType(int32_t type);
    int32_t ExtendedValueType() const {
        return rare_ ? rare_->extendedValueType : kNoExtendedValueType;
    }
    bool ExtendedValueTypeGiven() const { return rare_ && rare_->extendedValueTypeGiven; }
    bool Described() const { return described_; }

    // Extended multiplexing
    IDbcSignal* GetExtendedMultiplexer() override { return ExtendedMultiplexer(); }
    uint64_t GetMultiplexRangeCount() override { return MultiplexRanges().size(); }
    uint64_t GetMultiplexRangeMinimum(uint64_t index) override {
        const auto& ranges = MultiplexRanges();
        return index < ranges.size() ? ranges[index].minimum : 0;
    }
    uint64_t GetMultiplexRangeMaximum(uint64_t index) override {
        const auto& ranges = MultiplexRanges();
        return index < ranges.size() ? ranges[index].maximum : 0;
    }
    DbcSignal* ExtendedMultiplexer() const { return rare_ ? rare_->extendedMultiplexer : nullptr; }
    void SetExtendedMultiplexer(DbcSignal* multiplexer);
    const std::vector<MultiplexRange>& MultiplexRanges() const;
    std::vector<MultiplexRange>& MutableMultiplexRanges() { return Rare().multiplexRanges; }

  private:
    friend class DbcSignalPool;
    friend struct DbcSignalDeleter;
    static constexpr int32_t kNoExtendedValueType = -1;

    // What few signals have: value descriptions, the ranges of extended multiplexing, an
    // extended value type.
    struct RareParts {
        DbcValueDescriptions valueDescriptions;
        std::vector<MultiplexRange> multiplexRanges;
        DbcSignal* extendedMultiplexer = nullptr;
        int32_t extendedValueType = kNoExtendedValueType;
        bool extendedValueTypeGiven = false;
    };
    RareParts& Rare();

    void ReleaseReceivers();
    // The receivers for reading, from any member: never unshares.
    const std::vector<DbcNode*>& ReceiverList() const;

    // The small fields sit in the tail padding of the numbers (a DbcNumber uses 18 of its 24
    // bytes): the object is 32 bytes smaller than with a block of its own for them. The payload
    // layout still lies in the first cache line, which extraction reads.
    [[no_unique_address]] DbcNumber factor_{1.0, {}, 0, false};
    uint16_t startBit_ = 0;
    uint16_t bitLength_ = 0;
    uint8_t byteOrder_ = 0;
    uint8_t byteOrderChar_ = 0;
    [[no_unique_address]] DbcNumber offset_;
    uint8_t valueType_ = 0;
    uint8_t valueTypeChar_ = '+';
    int32_t multiplexValue_ = -1;
    [[no_unique_address]] DbcNumber minimum_;
    uint8_t multiplexingKind_ = 0;
    bool described_ = false;
    bool byteOrderSet_ = false;  // until a layout is read the byte order text is "undefined"
    bool receiversShared_ = false;
    [[no_unique_address]] DbcNumber maximum_;
    bool pooled_ = false;  // the storage belongs to a DbcSignalPool
    DbcText name_;
    DbcText multiplexIndicator_;
    DbcText unit_;
    DbcText comment_;
    std::vector<DbcNode*>* receivers_ = nullptr;  // null: none; shared or owned as flagged
    DbcAttributeList attributes_;
    DbcMessage* message_ = nullptr;
    std::unique_ptr<RareParts> rare_;
};

// Storage for the signals a file reads: a large file has hundreds of thousands, and one heap
// block each made most of the cost of reading them. Signals are placed one after the other in
// a few large blocks; destroying one leaves its room unused until Reset, which releases every
// block at once and may only run when no signal of the pool is left (the file's model is
// cleared). An edit that replaces a signal's texts or lists still gives those their own
// storage, as for any signal.
class DbcSignalPool {
  public:
    DbcSignalPool() = default;
    DbcSignalPool(const DbcSignalPool&) = delete;
    DbcSignalPool& operator=(const DbcSignalPool&) = delete;
    ~DbcSignalPool() { Reset(); }

    // A new default signal in the pool.
    DbcSignalPtr Make();
    void Reset();

  private:
    // The first block holds a few signals (a small file has a few dozen); each next one twice
    // as many, up to blocks that stay below the size the C library maps on its own.
    static constexpr size_t kFirstBlockSignals = 16;
    static constexpr size_t kLargestBlockBytes = 96 * 1024;

    std::vector<void*> blocks_;
    std::byte* next_ = nullptr;
    std::byte* end_ = nullptr;
    size_t blockSignals_ = kFirstBlockSignals;
};

// The raw value of a field of the payload in DBC bit numbering: little-endian ('1') counts the
// start bit as the least significant bit; big-endian ('0') as the most significant bit in the
// sawtooth numbering (bit 7 of byte 0 is followed by bit 6 ... bit 0, then bit 15 of byte 1).
// Bits beyond the payload read as 0; of a field longer than 64 bits the low 64 bits are kept.
uint64_t ExtractBits(const uint8_t* payload, uint64_t byteCount, uint32_t startBit,
                     uint32_t bitLength, bool bigEndian);

}  // namespace qm::dbc
