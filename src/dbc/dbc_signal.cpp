#include "dbc/dbc_signal.h"
#include "dbc/dbc_tokens.h"

#include <endian.h>

#include <cstdlib>
#include <cstring>

#include "dbc/dbc_enums.h"
#include "dbc/dbc_lists.h"
#include "dbc/dbc_message.h"
#include "dbc/dbc_node.h"

namespace qm::dbc {

namespace {

const DbcValueDescriptions kNoValueDescriptions;
const std::vector<DbcSignal::MultiplexRange> kNoMultiplexRanges;
const std::vector<DbcNode*> kNoReceivers;

}  // namespace

DbcSignal::~DbcSignal() {
    attributes_.DeleteAll(false);
    ReleaseReceivers();
}

void DbcSignal::ReleaseReceivers() {
    if (!receiversShared_) delete receivers_;
    receivers_ = nullptr;
    receiversShared_ = false;
}

const std::vector<DbcNode*>& DbcSignal::ReceiverList() const {
    return receivers_ ? *receivers_ : kNoReceivers;
}

const std::vector<DbcNode*>& DbcSignal::Receivers() const {
    return ReceiverList();
}

std::vector<DbcNode*>& DbcSignal::Receivers() {
    if (!receivers_) {
        receivers_ = new std::vector<DbcNode*>();
    } else if (receiversShared_) {
        receivers_ = new std::vector<DbcNode*>(*receivers_);
        receiversShared_ = false;
    }
    return *receivers_;
}

void DbcSignal::ShareReceivers(std::vector<DbcNode*>* list) {
    ReleaseReceivers();
    // Never changed through this signal: Receivers() copies a shared list before a change.
    receivers_ = list;
    receiversShared_ = list != nullptr;
}

void DbcSignal::ClearReceivers() {
    ReleaseReceivers();
}

void DbcSignal::Clear() {
    name_.clear();
    described_ = false;
    SetMultiplexing(kNotMultiplexed, -1);
    multiplexIndicator_.clear();
    startBit_ = 0;
    bitLength_ = 0;
    byteOrderChar_ = 0;
    byteOrder_ = kByteOrderUndefined;
    byteOrderSet_ = false;
    valueTypeChar_ = '+';
    valueType_ = kUndefinedType;
    factor_ = DbcNumber{1.0, {}, 0, false};
    offset_ = minimum_ = maximum_ = DbcNumber{};
    unit_.clear();
    ReleaseReceivers();
    comment_.clear();
    attributes_.DeleteAll(false);
    message_ = nullptr;
    rare_.reset();
}

DbcSignal::RareParts& DbcSignal::Rare() {
    if (!rare_) rare_ = std::make_unique<RareParts>();
    return *rare_;
}

const char* DbcSignal::GetMultiplexingKindText() {
    return MultiplexingKindText(multiplexingKind_);
}

const char* DbcSignal::GetByteOrderText() {
    return byteOrderSet_ ? ByteOrderText(byteOrder_) : "undefined";
}

const char* DbcSignal::GetValueTypeText() {
    return ValueTypeText(valueType_);
}

const char* DbcSignal::GetExtendedValueTypeText() {
    return ExtendedValueTypeGiven() ? ExtendedValueTypeText(rare_->extendedValueType) : "";
}

const DbcValueDescriptions& DbcSignal::ValueDescriptions() const {
    return rare_ ? rare_->valueDescriptions : kNoValueDescriptions;
}

const std::vector<DbcSignal::MultiplexRange>& DbcSignal::MultiplexRanges() const {
    return rare_ ? rare_->multiplexRanges : kNoMultiplexRanges;
}

void DbcSignal::SetExtendedMultiplexer(DbcSignal* multiplexer) {
    if (multiplexer || rare_) Rare().extendedMultiplexer = multiplexer;
}

IDbcSignal* DbcSignal::GetMultiplexer() {
    if (!IsMultiplexedSignal() || !message_) return nullptr;
    for (const auto& signal : message_->Signals()) {
        if (signal->IsMultiplexerSwitch()) return signal.get();
    }
    return nullptr;
}

int32_t DbcSignal::GetStartValue() {
    const DbcAttribute* attribute = attributes_.Find("GenSigStartValue");
    if (!attribute) return 0;
    return StrToI32(attribute->Value().c_str());
}

IDbcNode* DbcSignal::GetReceiver(uint64_t index) {
    return ItemAt(ReceiverList(), index);
}

IDbcNode* DbcSignal::FindReceiver(const char* name) {
    return FindByName(ReceiverList(), name);
}

uint32_t DbcSignal::IndexOfReceiver(IDbcNode* node) {
    return PositionOf(ReceiverList(), dynamic_cast<DbcNode*>(node));
}

IDbcMessage* DbcSignal::GetMessage() {
    return message_;
}

void DbcSignal::SetMultiplexing(uint32_t kind, int32_t value) {
    // The kinds are 0 to 2 (MultiplexingKind); a byte holds them.
    multiplexingKind_ = static_cast<uint8_t>(kind);
    multiplexValue_ = value;
}

void DbcSignal::SetByteOrderChar(char c) {
    byteOrderChar_ = static_cast<uint8_t>(c);
    byteOrder_ = static_cast<uint8_t>(ByteOrderOfChar(c));
    byteOrderSet_ = true;
}

void DbcSignal::SetValueTypeChar(char c) {
    valueTypeChar_ = static_cast<uint8_t>(c);
    valueType_ = static_cast<uint8_t>(ValueTypeOfChar(c));
}

void DbcSignal::SetExtendedValueType(int32_t type) {
    RareParts& rare = Rare();
    rare.extendedValueType = type;
    rare.extendedValueTypeGiven = true;
}

uint64_t DbcSignal::ExtractRawValue(const uint8_t* payload, uint64_t byteCount) {
    return ExtractBits(payload, byteCount, startBit_, bitLength_, byteOrder_ == kBigEndian);
}

namespace {

inline uint64_t ByteAt(const uint8_t* payload, uint64_t byteCount, uint64_t index) {
    return index < byteCount ? payload[index] : 0;
}

uint64_t Mask(uint64_t value, uint32_t length) {
    return length == 64 ? value : value & ((uint64_t{1} << length) - 1);
}

// Reads eight payload bytes at once when they all lie inside the payload; the common case.
bool LoadWord(const uint8_t* payload, uint64_t byteCount, uint64_t first, uint64_t& word) {
    if (first + 8 > byteCount) return false;
    std::memcpy(&word, payload + first, sizeof(word));
    return true;
}

// Fields of up to 64 bits span at most nine bytes; they are gathered into 128 bits at once.
uint64_t ExtractLittleEndian(const uint8_t* payload, uint64_t byteCount, uint64_t start,
                             uint32_t length) {
    const uint64_t first = start / 8;
    const uint64_t shift = start % 8;
    uint64_t word = 0;
    if (shift + length <= 64 && LoadWord(payload, byteCount, first, word)) {
        return Mask(le64toh(word) >> shift, length);
    }
    const uint64_t last = (start + length - 1) / 8;
    unsigned __int128 gathered = 0;
    for (uint64_t b = last + 1; b-- > first;) {
        gathered = (gathered << 8) | ByteAt(payload, byteCount, b);
    }
    return Mask(static_cast<uint64_t>(gathered >> shift), length);
}

uint64_t ExtractBigEndian(const uint8_t* payload, uint64_t byteCount, uint64_t start,
                          uint32_t length) {
    // In "linear" numbering bit 0 is the most significant bit of byte 0; a big-endian field
    // is then a plain run of bits from its most significant one.
    const uint64_t msb = (start / 8) * 8 + (7 - start % 8);
    const uint64_t lsb = msb + length - 1;
    uint64_t word = 0;
    if (msb % 8 + length <= 64 && LoadWord(payload, byteCount, msb / 8, word)) {
        return Mask(be64toh(word) >> (64 - msb % 8 - length), length);
    }
    unsigned __int128 gathered = 0;
    for (uint64_t b = msb / 8; b <= lsb / 8; ++b) {
        gathered = (gathered << 8) | ByteAt(payload, byteCount, b);
    }
    return Mask(static_cast<uint64_t>(gathered >> (7 - lsb % 8)), length);
}

// Fields longer than 64 bits: bit by bit, keeping the 64 least significant.
uint64_t ExtractLong(const uint8_t* payload, uint64_t byteCount, uint64_t start, uint32_t length,
                     bool bigEndian) {
    uint64_t value = 0;
    if (!bigEndian) {
        for (uint32_t i = 0; i < 64; ++i) {
            const uint64_t position = start + i;
            const uint64_t bit = (ByteAt(payload, byteCount, position / 8) >> (position % 8)) & 1;
            value |= bit << i;
        }
        return value;
    }
    const uint64_t msb = (start / 8) * 8 + (7 - start % 8);
    for (uint32_t i = length - 64; i < length; ++i) {
        const uint64_t linear = msb + i;
        const uint64_t bit = (ByteAt(payload, byteCount, linear / 8) >> (7 - linear % 8)) & 1;
        value = (value << 1) | bit;
    }
    return value;
}

}  // namespace

uint64_t ExtractBits(const uint8_t* payload, uint64_t byteCount, uint32_t startBit,
                     uint32_t bitLength, bool bigEndian) {
    if (bitLength == 0 || (!payload && byteCount > 0)) return 0;
    if (bitLength > 64) return ExtractLong(payload, byteCount, startBit, bitLength, bigEndian);
    return bigEndian ? ExtractBigEndian(payload, byteCount, startBit, bitLength)
                     : ExtractLittleEndian(payload, byteCount, startBit, bitLength);
}

}  // namespace qm::dbc
