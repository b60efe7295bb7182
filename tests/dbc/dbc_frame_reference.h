#pragma once
// Payload bits as the field defines them, written here bit by bit and independent of the
// library's extraction: bit k is bit k % 8 of byte k / 8 (least significant first); a
// little-endian field runs upwards from its start bit, a big-endian one starts at its most
// significant bit and runs down within a byte, then on at the most significant bit of the
// next byte. Bits beyond the payload read as 0 and are not written.
#include <cstdint>
#include <cstring>
#include <vector>

namespace dbctest {

using Payload = std::vector<uint8_t>;

inline unsigned BitAt(const Payload& payload, uint64_t k) {
    return k / 8 < payload.size() ? (payload[k / 8] >> (k % 8)) & 1u : 0u;
}

inline void SetBitAt(Payload& payload, uint64_t k, unsigned value) {
    if (k / 8 >= payload.size()) return;
    const auto mask = static_cast<uint8_t>(1u << (k % 8));
    payload[k / 8] = static_cast<uint8_t>(value ? payload[k / 8] | mask : payload[k / 8] & ~mask);
}

// Bit k of a value; fields wider than 64 bits have zeros above.
inline unsigned BitOf(uint64_t raw, uint32_t k) {
    return k < 64 ? static_cast<unsigned>((raw >> k) & 1u) : 0u;
}

inline uint64_t NextMotorolaBit(uint64_t position) {
    return position % 8 == 0 ? position + 15 : position - 1;
}

inline uint64_t ReadField(const Payload& payload, uint32_t start, uint32_t length, bool bigEndian) {
    uint64_t raw = 0;
    if (bigEndian) {
        uint64_t position = start;
        for (uint32_t i = 0; i < length; ++i) {
            raw = (raw << 1) | BitAt(payload, position);
            position = NextMotorolaBit(position);
        }
    } else {
        // Of a field longer than 64 bits the low 64 bits are the value.
        for (uint32_t i = 0; i < length && i < 64; ++i) {
            raw |= uint64_t{BitAt(payload, start + i)} << i;
        }
    }
    return raw;
}

inline void WriteField(Payload& payload, uint32_t start, uint32_t length, bool bigEndian,
                       uint64_t raw) {
    if (bigEndian) {
        uint64_t position = start;
        for (uint32_t i = 0; i < length; ++i) {
            SetBitAt(payload, position, BitOf(raw, length - 1 - i));
            position = NextMotorolaBit(position);
        }
    } else {
        for (uint32_t i = 0; i < length; ++i) SetBitAt(payload, start + i, BitOf(raw, i));
    }
}

// The number a raw field holds: an IEEE float of floatBits (32 or 64), two's complement when
// signed, else the plain value.
inline double ValueOfField(uint64_t raw, uint32_t length, bool isSigned, int floatBits = 0) {
    if (floatBits == 32) {
        const auto bits = static_cast<uint32_t>(raw);
        float value;
        std::memcpy(&value, &bits, sizeof(value));
        return value;
    }
    if (floatBits == 64) {
        double value;
        std::memcpy(&value, &raw, sizeof(value));
        return value;
    }
    const bool negative =
        isSigned && length > 0 && length <= 64 && ((raw >> (length - 1)) & 1u) != 0;
    if (!negative) return static_cast<double>(raw);
    if (length == 64) return static_cast<double>(static_cast<int64_t>(raw));
    // Two's complement: the field's value less 2^length.
    return -static_cast<double>((uint64_t{1} << length) - raw);
}

}  // namespace dbctest
