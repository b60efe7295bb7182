#include "codec/bit_layout.h"

#include <algorithm>

namespace qm::codec {

namespace {

inline unsigned BitAt(const uint8_t* payload, size_t size, size_t byte, unsigned bit) {
    return byte < size ? (payload[byte] >> bit) & 1u : 0u;
}

}  // namespace

void BitLayout::SetLoad(bool bigEndian, bool fast, uint32_t shift) {
    constexpr uint32_t kMost = 0xFFFF;
    load_.bigEndian_ = bigEndian;
    load_.fast_ = fast && endByte_ <= kMost;
    load_.shift_ = static_cast<uint8_t>(load_.fast_ ? shift : 0);
    load_.loadByte_ = static_cast<uint16_t>(load_.fast_ ? loadByte_ : 0);
    load_.endByte_ = static_cast<uint16_t>(std::min(endByte_, kMost));
    load_.length_ = static_cast<uint8_t>(std::min<uint32_t>(length_, 255));
}

BitLayout BitLayout::Little(uint32_t lsb, uint32_t length) {
    BitLayout layout;
    layout.length_ = length;
    layout.startBit_ = lsb;
    layout.loadByte_ = lsb / 8;
    layout.endByte_ = length == 0 ? 0 : static_cast<uint32_t>((uint64_t{lsb} + length + 7) / 8);
    const uint32_t shift = lsb % 8;
    layout.SetLoad(false, length > 0 && length <= 64 && shift + length <= 64, shift);
    return layout;
}

BitLayout BitLayout::BigFromMsb(uint32_t msb, uint32_t length) {
    BitLayout layout;
    layout.length_ = length;
    layout.startBit_ = msb;
    layout.linearFirst_ = (msb / 8) * 8 + (7 - msb % 8);
    const size_t linearLast = static_cast<size_t>(layout.linearFirst_) + length - 1;
    layout.loadByte_ = layout.linearFirst_ / 8;
    const uint32_t lead = layout.linearFirst_ % 8;
    const bool fast = length > 0 && length <= 64 && lead + length <= 64;
    layout.endByte_ = length == 0 ? 0 : static_cast<uint32_t>(linearLast / 8 + 1);
    layout.SetLoad(true, fast, fast ? 64 - lead - length : 0);
    return layout;
}

size_t BitLayout::PayloadBit(uint32_t i) const {
    if (!load_.bigEndian_) return static_cast<size_t>(startBit_) + i;
    const size_t linear = static_cast<size_t>(linearFirst_) + length_ - 1 - i;
    return (linear / 8) * 8 + (7 - linear % 8);
}

uint64_t BitLayout::Extract(const uint8_t* payload, size_t size) const {
    if (length_ == 0) return 0;
    if (load_.fast_ && static_cast<size_t>(loadByte_) + 8 <= size) return ExtractPadded(payload);
    return ExtractSlow(payload, size);
}

// Bit by bit, for fields at the end of short payloads and fields spread over nine bytes.
uint64_t BitLayout::ExtractSlow(const uint8_t* payload, size_t size) const {
    const uint32_t used = length_ > 64 ? 64 : length_;
    uint64_t raw = 0;
    for (uint32_t i = 0; i < used; ++i) {
        const size_t bit = PayloadBit(i);
        raw |= static_cast<uint64_t>(BitAt(payload, size, bit / 8, bit % 8)) << i;
    }
    return raw;
}

void BitLayout::Insert(uint8_t* payload, size_t size, uint64_t raw) const {
    for (uint32_t i = 0; i < length_; ++i) {
        const size_t at = PayloadBit(i);
        const size_t byte = at / 8;
        if (byte >= size) continue;
        const auto mask = static_cast<uint8_t>(1u << (at % 8));
        if (i < 64 && ((raw >> i) & 1)) {
            payload[byte] |= mask;
        } else {
            payload[byte] &= static_cast<uint8_t>(~mask);
        }
    }
}

}  // namespace qm::codec
