#include "dbc/dbc_signal.h"

#include "codec/bit_layout.h"
#include "dbc/dbc_tokens.h"

#include <endian.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

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

void DbcSignalDeleter::operator()(DbcSignal* signal) const noexcept {
    if (signal == nullptr) return;
    if (signal->pooled_) {
        std::destroy_at(signal);
    } else {
        delete signal;
    }
}

DbcSignalPtr DbcSignalPool::Make() {
    if (static_cast<size_t>(end_ - next_) < sizeof(DbcSignal)) {
        const size_t bytes = blockSignals_ * sizeof(DbcSignal);
        // Room for the block's entry first: no block is left unlisted if that throws.
        if (blocks_.size() == blocks_.capacity()) blocks_.reserve(blocks_.size() * 2 + 8);
        void* block = ::operator new(bytes);
        blocks_.push_back(block);
        next_ = static_cast<std::byte*>(block);
        end_ = next_ + bytes;
        if ((blockSignals_ * 2) * sizeof(DbcSignal) <= kLargestBlockBytes) blockSignals_ *= 2;
    }
    auto* signal = new (next_) DbcSignal();
    next_ += sizeof(DbcSignal);
    signal->pooled_ = true;
    return DbcSignalPtr(signal);
}

void DbcSignalPool::Reset() {
    for (void* block : blocks_) ::operator delete(block);
    blocks_.clear();
    next_ = end_ = nullptr;
    blockSignals_ = kFirstBlockSignals;
}

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

const char* DbcSignal::ByteOrderShownText() const {
    return byteOrderSet_ ? ByteOrderText(byteOrder_) : "undefined";
}

const char* DbcSignal::GetByteOrderText() {
    return ByteOrderShownText();
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

uint64_t ExtractBits(const uint8_t* payload, uint64_t byteCount, uint32_t startBit,
                     uint32_t bitLength, bool bigEndian) {
    return codec::ExtractField(payload, byteCount, startBit, bitLength, bigEndian);
}

}  // namespace qm::dbc
