#include "codec/bit_layout.h"

namespace qm::codec {

namespace {

inline unsigned BitAt(const uint8_t* payload, size_t size, size_t byte, unsigned bit) {
    return byte < size ? (payload[byte] >> bit) & 1u : 0u;
}

}  // namespace

BitLayout BitLayout::Little(uint32_t lsb, uint32_t length) {
    BitLayout layout;
    layout.length_ = length;
    layout.startBit_ = lsb;
    layout.mask_ = LowMask(length);
    layout.loadByte_ = lsb / 8;
    layout.shift_ = static_cast<uint8_t>(lsb % 8);
    layout.fast_ = length > 0 && length <= 64 && layout.shift_ + length <= 64;
    layout.endByte_ = length == 0 ? 0 : static_cast<uint32_t>((uint64_t{lsb} + length + 7) / 8);
    return layout;
}

BitLayout BitLayout::BigFromMsb(uint32_t msb, uint32_t length) {
    BitLayout layout;
    layout.length_ = length;
    layout.startBit_ = msb;
    layout.bigEndian_ = true;
    layout.mask_ = LowMask(length);
    layout.linearFirst_ = (msb / 8) * 8 + (7 - msb % 8);
    const size_t linearLast = static_cast<size_t>(layout.linearFirst_) + length - 1;
    layout.loadByte_ = layout.linearFirst_ / 8;
    const uint32_t lead = layout.linearFirst_ % 8;
    layout.fast_ = length > 0 && length <= 64 && lead + length <= 64;
    layout.shift_ = static_cast<uint8_t>(layout.fast_ ? 64 - lead - length : 0);
    layout.endByte_ = length == 0 ? 0 : static_cast<uint32_t>(linearLast / 8 + 1);
    return layout;
}

size_t BitLayout::PayloadBit(uint32_t i) const {
    if (!bigEndian_) return static_cast<size_t>(startBit_) + i;
    const size_t linear = static_cast<size_t>(linearFirst_) + length_ - 1 - i;
    return (linear / 8) * 8 + (7 - linear % 8);
}

uint64_t BitLayout::Extract(const uint8_t* payload, size_t size) const {
    if (length_ == 0) return 0;
    if (fast_ && static_cast<size_t>(loadByte_) + 8 <= size) return ExtractPadded(payload);
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
