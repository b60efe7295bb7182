#include "bit_field.h"

#include <endian.h>

#include <cstring>

namespace qmpy {

namespace {

uint64_t LowMask(uint32_t length) {
    return length >= 64 ? ~uint64_t{0} : (uint64_t{1} << length) - 1;
}

uint64_t LoadLittle(const uint8_t* at) {
    uint64_t word;
    std::memcpy(&word, at, sizeof(word));
    return le64toh(word);
}

uint64_t LoadBig(const uint8_t* at) {
    uint64_t word;
    std::memcpy(&word, at, sizeof(word));
    return be64toh(word);
}

inline int BitAt(const uint8_t* payload, size_t size, size_t byte, unsigned bit) {
    return byte < size ? (payload[byte] >> bit) & 1 : 0;
}

}  // namespace

BitField::BitField(uint32_t startBit, uint32_t length, bool bigEndian)
    : length_(length), bigEndian_(bigEndian), mask_(LowMask(length)) {
    if (length == 0) return;
    if (!bigEndian) {
        firstByte_ = startBit / 8;
        shift_ = startBit % 8;
        fast_ = shift_ + length <= 64;
        endByte_ = (static_cast<size_t>(startBit) + length + 7) / 8;
        return;
    }
    // Linear numbering: bit 0 is the most significant bit of byte 0.
    linearFirst_ = (startBit / 8) * 8 + (7 - startBit % 8);
    const uint32_t linearLast = linearFirst_ + length - 1;
    firstByte_ = linearFirst_ / 8;
    const uint32_t lead = linearFirst_ % 8;
    fast_ = lead + length <= 64;
    shift_ = fast_ ? 64 - lead - length : 0;
    endByte_ = linearLast / 8 + 1;
}

uint64_t BitField::Extract(const uint8_t* payload, size_t size) const {
    if (length_ == 0) return 0;
    if (fast_ && firstByte_ + 8 <= size) {
        const uint8_t* at = payload + firstByte_;
        return ((bigEndian_ ? LoadBig(at) : LoadLittle(at)) >> shift_) & mask_;
    }
    return ExtractSlow(payload, size);
}

// Bit by bit, for fields at the end of short payloads and fields spread over nine bytes.
uint64_t BitField::ExtractSlow(const uint8_t* payload, size_t size) const {
    const uint32_t used = length_ > 64 ? 64 : length_;
    uint64_t raw = 0;
    if (!bigEndian_) {
        // The field's low 64 bits start at its least significant bit.
        const size_t start = static_cast<size_t>(firstByte_) * 8 + shift_;
        for (uint32_t i = 0; i < used; ++i) {
            const size_t bit = start + i;
            raw |= static_cast<uint64_t>(BitAt(payload, size, bit / 8, bit % 8)) << i;
        }
        return raw;
    }
    // The least significant bit is the field's last linear bit.
    const size_t last = static_cast<size_t>(linearFirst_) + length_ - 1;
    for (uint32_t i = 0; i < used; ++i) {
        const size_t linear = last - i;
        raw |= static_cast<uint64_t>(BitAt(payload, size, linear / 8, 7 - linear % 8)) << i;
    }
    return raw;
}

void BitField::Insert(uint8_t* payload, size_t size, uint64_t raw) const {
    const uint32_t used = length_ > 64 ? 64 : length_;
    for (uint32_t i = 0; i < used; ++i) {
        size_t byte;
        unsigned bit;
        if (!bigEndian_) {
            const size_t at = static_cast<size_t>(firstByte_) * 8 + shift_ + i;
            byte = at / 8;
            bit = at % 8;
        } else {
            const size_t linear = static_cast<size_t>(linearFirst_) + length_ - 1 - i;
            byte = linear / 8;
            bit = 7 - linear % 8;
        }
        if (byte >= size) continue;
        const uint8_t mask = static_cast<uint8_t>(1u << bit);
        if ((raw >> i) & 1) {
            payload[byte] |= mask;
        } else {
            payload[byte] &= static_cast<uint8_t>(~mask);
        }
    }
}

}  // namespace qmpy
