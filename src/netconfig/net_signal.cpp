#include "netconfig/net_signal.h"

#include <algorithm>
#include <array>

#include "codec/multiplex_selection.h"
#include "dbc/dbc_signal.h"
#include "netconfig/net_ecu.h"
#include "netconfig/net_lookup.h"
#include "netconfig/net_message.h"

namespace qm::net {

namespace {

constexpr std::array<const char*, 12> kValueTypeNames = {
    "other",   "uint8_t", "uint16_t", "uint32_t", "uint64_t", "int8_t",
    "int16_t", "int32_t", "int64_t",  "float32",  "float64",  "array"};
constexpr std::array<const char*, 3> kByteOrderNames = {"Default", "Big Endian", "Little endian"};
constexpr std::array<const char*, 3> kSignednessNames = {"undefinedType", "unsignedType",
                                                         "signedType"};

template <size_t N>
const char* NameOf(const std::array<const char*, N>& names, uint32_t code) {
    return code < N ? names[code] : "";
}

}  // namespace

const char* ValueTypeName(uint32_t code) {
    return NameOf(kValueTypeNames, code);
}
const char* ByteOrderName(uint32_t code) {
    return NameOf(kByteOrderNames, code);
}
const char* SignednessName(uint32_t code) {
    return NameOf(kSignednessNames, code);
}

uint32_t IntegerValueType(uint16_t bitSize, bool isSigned) {
    const uint32_t base = isSigned ? kValueInt8 : kValueUint8;
    if (bitSize <= 8) return base;
    if (bitSize <= 16) return base + 1;
    if (bitSize <= 32) return base + 2;
    if (bitSize <= 64) return base + 3;
    return kValueArray;
}

}  // namespace qm::net

NetSignal::NetSignal() {
    SetValueType(qm::net::kValueOther);
    SetByteOrder(qm::net::kByteOrderDefault);
    SetSignedness(qm::net::kSignednessUndefined);
}

void NetSignal::Clear() {
    qm::net::KeysChanged();
    bitSize_ = 0;
    startBit_ = 0;
    name_.clear();
    qualifiedName_.clear();
    minimumInt_ = 0;
    maximumInt_ = 0;
    unit_.clear();
    valueTable_.clear();
    rawWords_.clear();
    comment_.clear();
    minimum_ = 0.0;
    maximum_ = 0.0;
    factor_ = 1.0;
    offset_ = 0.0;
    SetValueType(qm::net::kValueOther);
    SetByteOrder(qm::net::kByteOrderDefault);
    SetSignedness(qm::net::kSignednessUndefined);
    message_ = nullptr;
    properties_.Clear();
    fileAttributes_.Clear();
    receivers_.clear();
    multiplexingKind_ = 0;
    multiplexValue_ = -1;
    extendedMultiplexer_ = nullptr;
    multiplexRanges_.clear();
}

INetVTabValue* NetSignal::GetVTabValue(uint64_t index) {
    return qm::net::ItemAt(valueTable_, index);
}

INetMessage* NetSignal::GetMessage() {
    return message_;
}

INetAttribute* NetSignal::FindFileAttribute(const char* name) {
    return fileAttributes_.Find(name);
}

INetAttribute* NetSignal::GetFileAttribute(uint64_t index) {
    return fileAttributes_.At(index);
}

INetEcu* NetSignal::FindReceiver(const char* name) {
    return qm::net::FindByName(receivers_, name);
}

INetEcu* NetSignal::GetReceiver(uint64_t index) {
    return qm::net::ItemAt(receivers_, index);
}

void NetSignal::SetBitSize(uint16_t bitSize) {
    bitSize_ = bitSize;
    SizeRawWords();
}

void NetSignal::SetValueType(uint32_t code) {
    valueType_ = code;
    valueTypeName_ = qm::net::ValueTypeName(code);
}

void NetSignal::SetByteOrder(uint32_t code) {
    byteOrder_ = code;
    byteOrderName_ = qm::net::ByteOrderName(code);
}

void NetSignal::SetSignedness(uint32_t code) {
    signedness_ = code;
    signednessName_ = qm::net::SignednessName(code);
}

NetVTabValue* NetSignal::AddVTabValue(std::unique_ptr<NetVTabValue> value) {
    valueTable_.push_back(std::move(value));
    return valueTable_.back().get();
}

bool NetSignal::AddReceiver(NetEcu* ecu) {
    if (ecu == nullptr) return false;
    if (std::find(receivers_.begin(), receivers_.end(), ecu) != receivers_.end()) return false;
    receivers_.push_back(ecu);
    return true;
}

// The bits of every byte are counted in one running number; big-endian signals visit each byte
// from bit 0 up, all others from bit 7 down.
uint64_t NetSignal::GetRawValue(const uint8_t* data, size_t length) {
    if (data == nullptr || length == 0) return 0;
    const uint64_t first = startBit_;
    const uint64_t end = first + bitSize_;
    const bool upward = byteOrder_ == qm::net::kByteOrderBig;
    uint64_t result = 0;
    unsigned taken = 0;
    uint64_t counter = 0;
    for (size_t byte = 0; byte < length && counter < end; ++byte) {
        for (int step = 0; step < 8; ++step, ++counter) {
            if (counter < first || counter >= end) continue;
            const int bit = upward ? step : 7 - step;
            if (taken < 64) result |= static_cast<uint64_t>((data[byte] >> bit) & 1u) << taken;
            ++taken;
        }
    }
    return result;
}

void NetSignal::SizeRawWords() {
    rawWords_.clear();
    if (bitSize_ == 0 || bitSize_ > 255) return;
    unsigned count = (bitSize_ + 15u) / 16u;
    while (bitSize_ % count != 0) ++count;
    rawWords_.assign(count, 0);
}

void NetSignal::Distribute(const uint8_t* payload) {
    const uint8_t wordCount = static_cast<uint8_t>(rawWords_.size());
    if (payload == nullptr || wordCount == 0 || bitSize_ > 255) return;
    const unsigned bitsPerWord = bitSize_ / wordCount;
    if (bitsPerWord == 0) return;
    if (byteOrder_ != qm::net::kByteOrderBig && byteOrder_ != qm::net::kByteOrderLittle) return;
    const unsigned shift = startBit_ % 8;
    const uint8_t* current = payload + startBit_ / 8;
    for (unsigned i = 0; i < bitSize_; ++i) {
        const unsigned position = (shift + i) % 8;
        if (position == 0 && i != 0) ++current;
        const unsigned word = i / bitsPerWord;
        if (word >= wordCount) break;  // bits that no word holds (not produced by SizeRawWords)
        const unsigned target = byteOrder_ == qm::net::kByteOrderBig
                                    ? bitsPerWord - 1 - i % bitsPerWord
                                    : i % bitsPerWord;
        const uint16_t mask = static_cast<uint16_t>(1u << target);
        if ((*current >> position) & 1u) {
            rawWords_[word] = static_cast<uint16_t>(rawWords_[word] | mask);
        } else {
            rawWords_[word] = static_cast<uint16_t>(rawWords_[word] & ~mask);
        }
    }
}

namespace {

// The signals of a network-model message as the multiplexing rule walks them.
struct NetSignalAccess {
    const uint8_t* data;
    size_t length;

    const NetSignal* Multiplexer(const NetSignal* signal) const {
        return signal->ExtendedMultiplexer();
    }
    bool IsNull(const NetSignal* signal) const { return signal == nullptr; }
    bool IsMultiplexed(const NetSignal* signal) const { return signal->IsMultiplexedSignal(); }
    int64_t MultiplexValue(const NetSignal* signal) const { return signal->MultiplexValue(); }
    bool InRanges(const NetSignal* signal, uint64_t raw) const {
        return qm::codec::InMultiplexRanges(signal->MultiplexRanges(), raw);
    }
    uint64_t Raw(const NetSignal* signal) const { return signal->MultiplexerRaw(data, length); }
};

}  // namespace

INetSignal* NetSignal::GetExtendedMultiplexer() {
    return extendedMultiplexer_;
}

uint64_t NetSignal::MultiplexerRaw(const uint8_t* data, size_t length) const {
    if (data == nullptr) return 0;
    return qm::dbc::ExtractBits(data, length, startBit_, bitSize_,
                                byteOrder_ == qm::net::kByteOrderBig);
}

bool NetSignal::IsCarried(const uint8_t* data, size_t length) {
    // The end of a chain of extended multiplexers may be a multiplexed signal, so the switch is
    // read for every signal.
    const NetSignal* messageSwitch = nullptr;
    if (message_ != nullptr) {
        for (const NetSignal* signal : message_->Signals()) {
            if (signal->IsMultiplexerSwitch()) {
                messageSwitch = signal;
                break;
            }
        }
    }
    const int64_t selected =
        messageSwitch ? static_cast<int64_t>(messageSwitch->MultiplexerRaw(data, length)) : -1;
    return qm::codec::IsCarried(NetSignalAccess{data, length}, static_cast<const NetSignal*>(this),
                                selected);
}
