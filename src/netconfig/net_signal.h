#pragma once
// A signal of the network model: its place in the frame, its scaling and value table, and the
// raw words that a message's payload distribution fills.
#include <memory>
#include <string>
#include <vector>

#include "netconfig/net_attribute.h"
#include "netconfig/net_vtab_value.h"
#include "quillmere/netconfig.h"

class NetEcu;
class NetMessage;

namespace qm::net {

// Value types, byte orders and signedness: codes and their fixed display names. An unknown
// code has the empty name.
enum ValueType : uint32_t {
    kValueOther = 0,
    kValueUint8 = 1,
    kValueUint16 = 2,
    kValueUint32 = 3,
    kValueUint64 = 4,
    kValueInt8 = 5,
    kValueInt16 = 6,
    kValueInt32 = 7,
    kValueInt64 = 8,
    kValueFloat32 = 9,
    kValueFloat64 = 10,
    kValueArray = 11
};
enum ByteOrder : uint32_t { kByteOrderDefault = 0, kByteOrderBig = 1, kByteOrderLittle = 2 };
enum Signedness : uint32_t { kSignednessUndefined = 0, kUnsigned = 1, kSigned = 2 };

const char* ValueTypeName(uint32_t code);
const char* ByteOrderName(uint32_t code);
const char* SignednessName(uint32_t code);

// The smallest integer value type of the given signedness that holds bitSize bits, or
// kValueArray beyond 64 bits.
uint32_t IntegerValueType(uint16_t bitSize, bool isSigned);

}  // namespace qm::net

class NetSignal : public INetSignal, public INetSignalMultiplexing {
  public:
    NetSignal();

    void Clear() override;
    const char* GetName() override { return name_.c_str(); }
    uint16_t GetStartBit() override { return startBit_; }
    uint16_t GetBitSize() override { return bitSize_; }
    int64_t GetMinimumInt() override { return minimumInt_; }
    int64_t GetMaximumInt() override { return maximumInt_; }
    double GetMinimum() override { return minimum_; }
    double GetMaximum() override { return maximum_; }
    const char* GetUnit() override { return unit_.c_str(); }
    double GetFactor() override { return factor_; }
    double GetOffset() override { return offset_; }
    const char* GetComment() override { return comment_.c_str(); }
    uint64_t GetVTabValueCount() override { return valueTable_.size(); }
    INetVTabValue* GetVTabValue(uint64_t index) override;
    uint32_t GetValueType() override { return valueType_; }
    uint32_t GetByteOrder() override { return byteOrder_; }
    const char* GetValueTypeName() override { return valueTypeName_; }
    const char* GetByteOrderName() override { return byteOrderName_; }
    uint32_t GetSignedness() override { return signedness_; }
    const char* GetSignednessName() override { return signednessName_; }
    INetMessage* GetMessage() override;
    uint64_t GetRawValue(const uint8_t* data, size_t length) override;
    uint64_t GetPropertyCount() override { return properties_.Count(); }
    INetAttribute* FindProperty(const char* name) override { return properties_.Find(name); }
    INetAttribute* GetProperty(uint64_t index) override { return properties_.At(index); }
    uint64_t GetFileAttributeCount() override { return fileAttributes_.Count(); }
    INetAttribute* FindFileAttribute(const char* name) override;
    INetAttribute* GetFileAttribute(uint64_t index) override;
    uint64_t GetReceiverCount() override { return receivers_.size(); }
    INetEcu* FindReceiver(const char* name) override;
    INetEcu* GetReceiver(uint64_t index) override;
    const char* GetQualifiedName() override { return qualifiedName_.c_str(); }

    // Multiplexing (INetSignalMultiplexing).
    struct MultiplexRange {
        uint64_t minimum = 0;
        uint64_t maximum = 0;
    };
    uint32_t GetMultiplexingKind() override { return multiplexingKind_; }
    int64_t GetMultiplexValue() override { return multiplexValue_; }
    INetSignal* GetExtendedMultiplexer() override;
    uint64_t GetMultiplexRangeCount() override { return multiplexRanges_.size(); }
    uint64_t GetMultiplexRangeMinimum(uint64_t index) override {
        return index < multiplexRanges_.size() ? multiplexRanges_[index].minimum : 0;
    }
    uint64_t GetMultiplexRangeMaximum(uint64_t index) override {
        return index < multiplexRanges_.size() ? multiplexRanges_[index].maximum : 0;
    }
    bool IsCarried(const uint8_t* data, size_t length) override;

    // Building, used by the conversions.
    void SetName(std::string name) { name_ = std::move(name); }
    void SetQualifiedName(std::string name) { qualifiedName_ = std::move(name); }
    void SetStartBit(uint16_t startBit) { startBit_ = startBit; }
    // Also sizes the raw words (see SizeRawWords).
    void SetBitSize(uint16_t bitSize);
    void SetMinimum(double minimum) { minimum_ = minimum; }
    void SetMaximum(double maximum) { maximum_ = maximum; }
    void SetMinimumInt(int64_t minimum) { minimumInt_ = minimum; }
    void SetMaximumInt(int64_t maximum) { maximumInt_ = maximum; }
    void SetUnit(std::string unit) { unit_ = std::move(unit); }
    void SetComment(std::string comment) { comment_ = std::move(comment); }
    void SetFactor(double factor) { factor_ = factor; }
    void SetOffset(double offset) { offset_ = offset; }
    void SetValueType(uint32_t code);
    void SetByteOrder(uint32_t code);
    void SetSignedness(uint32_t code);
    void SetMessage(NetMessage* message) { message_ = message; }
    NetMessage* Message() const { return message_; }
    NetVTabValue* AddVTabValue(std::unique_ptr<NetVTabValue> value);
    bool AddReceiver(NetEcu* ecu);
    NetAttributeList& Properties() { return properties_; }
    NetAttributeList& FileAttributes() { return fileAttributes_; }
    void SetMultiplexing(uint32_t kind, int64_t value) {
        multiplexingKind_ = kind;
        multiplexValue_ = value;
    }
    void SetExtendedMultiplexing(NetSignal* multiplexer, std::vector<MultiplexRange> ranges) {
        extendedMultiplexer_ = multiplexer;
        multiplexRanges_ = std::move(ranges);
    }
    NetSignal* ExtendedMultiplexer() const { return extendedMultiplexer_; }
    const std::vector<MultiplexRange>& MultiplexRanges() const { return multiplexRanges_; }
    bool IsMultiplexerSwitch() const { return multiplexingKind_ == 1; }
    bool IsMultiplexedSignal() const { return multiplexingKind_ == 2; }
    int64_t MultiplexValue() const { return multiplexValue_; }
    // The multiplexer's value as DBC numbers its bits.
    uint64_t MultiplexerRaw(const uint8_t* data, size_t length) const;

    // The payload distribution of SetData: copies the signal's bits from the payload into the
    // raw words. A signal without raw words (or with more than 255 bits, or with fewer bits than
    // words) is left alone.
    void Distribute(const uint8_t* payload);
    const std::vector<uint16_t>& RawWords() const { return rawWords_; }
    // Gives the signal as many 16-bit words as needed to hold its bits with the same number of
    // bits in each word: the smallest count of at least bitSize / 16 (rounded up) that divides
    // bitSize. Sizes of 0 or above 255 get no words.
    void SizeRawWords();

  private:
    uint16_t bitSize_ = 0;
    uint16_t startBit_ = 0;
    std::string name_;
    std::string qualifiedName_;
    int64_t minimumInt_ = 0;
    int64_t maximumInt_ = 0;
    std::string unit_;
    std::vector<std::unique_ptr<NetVTabValue>> valueTable_;
    std::vector<uint16_t> rawWords_;
    std::string comment_;
    double minimum_ = 0.0;
    double maximum_ = 0.0;
    double factor_ = 1.0;
    double offset_ = 0.0;
    uint32_t valueType_ = 0;
    const char* valueTypeName_ = "";
    uint32_t byteOrder_ = 0;
    const char* byteOrderName_ = "";
    uint32_t signedness_ = 0;
    const char* signednessName_ = "";
    NetMessage* message_ = nullptr;
    NetAttributeList properties_;
    NetAttributeList fileAttributes_;
    std::vector<NetEcu*> receivers_;
    uint32_t multiplexingKind_ = 0;
    int64_t multiplexValue_ = -1;
    NetSignal* extendedMultiplexer_ = nullptr;
    std::vector<MultiplexRange> multiplexRanges_;
};
