#pragma once
// Where a signal lies in a frame payload, worked out once so that every frame costs a load, a
// shift and a mask. Little-endian fields count bits from the least significant bit of byte 0
// upwards (start bit = least significant bit of the field); big-endian fields use the DBC
// sawtooth numbering (start bit = most significant bit of the field).
#include <endian.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qmpy {

class BitField {
  public:
    BitField() = default;
    BitField(uint32_t startBit, uint32_t length, bool bigEndian);

    uint32_t Length() const { return length_; }
    // The bytes of the payload the field touches: [0, EndByte()).
    size_t EndByte() const { return endByte_; }

    // The field's bits as an unsigned number. Bytes beyond `size` read as zero. Fields longer
    // than 64 bits give their low 64 bits.
    uint64_t Extract(const uint8_t* payload, size_t size) const;
    // Extract() on a payload that holds at least EndByte() + 8 readable bytes.
    uint64_t ExtractPadded(const uint8_t* padded) const {
        if (!fast_) return length_ == 0 ? 0 : ExtractSlow(padded, endByte_);
        uint64_t word;
        std::memcpy(&word, padded + firstByte_, sizeof(word));
        word = bigEndian_ ? be64toh(word) : le64toh(word);
        return (word >> shift_) & mask_;
    }
    // Writes the low Length() bits of `raw` into the field; bytes beyond `size` are not written.
    void Insert(uint8_t* payload, size_t size, uint64_t raw) const;

  private:
    uint64_t ExtractSlow(const uint8_t* payload, size_t size) const;

    uint32_t length_ = 0;
    bool bigEndian_ = false;
    bool fast_ = false;       // the field fits one unaligned 64-bit load
    uint32_t firstByte_ = 0;  // byte of the 64-bit load
    uint32_t shift_ = 0;      // right shift after the load
    uint64_t mask_ = 0;
    size_t endByte_ = 0;
    uint32_t linearFirst_ = 0;  // big endian: the linear number of the most significant bit
};

// The raw value as its type reads it: sign-extended when signed, or the IEEE value of a 32 or
// 64 bit float pattern.
enum class RawKind : uint8_t { Unsigned, Signed, Float32, Float64 };
inline double RawToNumber(uint64_t raw, uint32_t length, RawKind kind) {
    switch (kind) {
        case RawKind::Float32: {
            const auto bits = static_cast<uint32_t>(raw);
            float value;
            std::memcpy(&value, &bits, sizeof(value));
            return value;
        }
        case RawKind::Float64: {
            double value;
            std::memcpy(&value, &raw, sizeof(value));
            return value;
        }
        case RawKind::Signed: {
            if (length == 0 || length >= 64) return static_cast<double>(static_cast<int64_t>(raw));
            const uint64_t sign = uint64_t{1} << (length - 1);
            return static_cast<double>(static_cast<int64_t>((raw ^ sign) - sign));
        }
        case RawKind::Unsigned:
            break;
    }
    return static_cast<double>(raw);
}

}  // namespace qmpy
