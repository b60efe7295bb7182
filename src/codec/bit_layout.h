#pragma once
// Where a signal lies in a frame payload, worked out once so that every frame costs a load, a
// shift and a mask. This is the one place of the project that knows how bits sit in payloads:
// the frame codec, the DBC signal's ExtractRawValue, the network model's multiplexer reads and
// the Python package all go through it.
//
// Numbering: bit n of the payload is bit n % 8 of byte n / 8. A little-endian field is named by
// its least significant bit and runs upwards. A big-endian field is named by its most
// significant bit; it runs downwards within a byte and on into bit 7 of the next byte (the
// "sawtooth" numbering of DBC files and of AUTOSAR's MOST-SIGNIFICANT-BYTE-FIRST packing).
#include <endian.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qm::codec {

// The lowest `length` bits set (all 64 from 64 on).
inline uint64_t LowMask(uint32_t length) {
    return length >= 64 ? ~uint64_t{0} : (uint64_t{1} << length) - 1;
}

enum class ByteOrder : uint8_t { LittleEndian, BigEndian };

// What extracting a field from a padded payload reads, in 8 bytes: the load, shift and mask of
// a field that one unaligned 64-bit load covers. BitLayout extracts through it, and a frame
// codec keeps one per signal in its compact decode steps, so that a frame of a large database
// reads a few bytes per signal.
class FieldLoad {
  public:
    // Whether one 64-bit load holds the field (and its bytes lie in the first 64 KiB): only
    // such fields may be read with ExtractFast.
    bool Fast() const { return fast_; }
    // The end of the field's bytes, saturated at 65535 (BitLayout::EndByte has it in full).
    size_t EndByte() const { return endByte_; }
    bool FitsIn(size_t size) const { return endByte_ <= size; }
    uint32_t Length() const { return length_; }
    // The field's bits from a payload with EndByte() + 8 readable bytes; Fast() fields only.
    uint64_t ExtractFast(const uint8_t* padded) const {
        uint64_t word;
        std::memcpy(&word, padded + loadByte_, sizeof(word));
        word = bigEndian_ ? be64toh(word) : le64toh(word);
        return (word >> shift_) & (~uint64_t{0} >> (64 - length_));
    }

  private:
    friend class BitLayout;
    uint16_t loadByte_ = 0;  // byte of the 64-bit load
    uint16_t endByte_ = 0;
    uint8_t shift_ = 0;   // right shift after the load
    uint8_t length_ = 0;  // bits, 1-64 for a fast field (saturated at 255)
    bool bigEndian_ = false;
    bool fast_ = false;
};

class BitLayout {
  public:
    BitLayout() = default;
    // A little-endian field from its least significant bit.
    static BitLayout Little(uint32_t lsb, uint32_t length);
    // A big-endian field from its most significant bit (sawtooth numbering).
    static BitLayout BigFromMsb(uint32_t msb, uint32_t length);
    // The field of a start bit in DBC numbering: the least significant bit for little-endian,
    // the most significant for big-endian.
    static BitLayout FromDbc(uint32_t startBit, uint32_t length, ByteOrder order) {
        return order == ByteOrder::BigEndian ? BigFromMsb(startBit, length)
                                             : Little(startBit, length);
    }

    uint32_t Length() const { return length_; }
    ByteOrder Order() const {
        return load_.bigEndian_ ? ByteOrder::BigEndian : ByteOrder::LittleEndian;
    }
    // The start bit as named: least significant bit (little-endian) or most significant bit
    // (big-endian), both in the payload numbering above.
    uint32_t StartBit() const { return startBit_; }
    // The payload bit that holds bit i of the field (0 = least significant).
    size_t PayloadBit(uint32_t i) const;
    // The bytes of the payload the field touches: [FirstByte(), EndByte()).
    size_t FirstByte() const { return loadByte_; }
    size_t EndByte() const { return endByte_; }
    // Whether a payload of `size` bytes holds the whole field.
    bool FitsIn(size_t size) const { return endByte_ <= size; }

    // The field's bits as an unsigned number. Bytes beyond `size` read as zero. Fields longer
    // than 64 bits give their low 64 bits.
    uint64_t Extract(const uint8_t* payload, size_t size) const;
    // Extract() on a payload that holds at least EndByte() + 8 readable bytes.
    uint64_t ExtractPadded(const uint8_t* padded) const {
        if (!load_.fast_) return ExtractSlow(padded, endByte_);
        return load_.ExtractFast(padded);
    }
    // The load, shift and mask of the field (FieldLoad::Fast() when one load covers it).
    const FieldLoad& Load() const { return load_; }
    // Writes the low Length() bits of `raw` into the field (of a field longer than 64 bits, its
    // low 64 bits; the rest is cleared); bytes beyond `size` are not written.
    void Insert(uint8_t* payload, size_t size, uint64_t raw) const;

  private:
    uint64_t ExtractSlow(const uint8_t* payload, size_t size) const;
    // Fills load_ once loadByte_, endByte_ and length_ are set; fast: one 64-bit load holds
    // the field, shifted right by `shift`.
    void SetLoad(bool bigEndian, bool fast, uint32_t shift);

    // 28 bytes, what an extraction reads first: a frame of a large database reads the layouts
    // of all its signals.
    FieldLoad load_;
    uint32_t loadByte_ = 0;  // byte of the 64-bit load; also the first byte the field touches
    uint32_t endByte_ = 0;
    uint32_t length_ = 0;
    uint32_t startBit_ = 0;
    // The "linear" number (bit 0 = most significant bit of byte 0) of a big-endian field's most
    // significant bit.
    uint32_t linearFirst_ = 0;
};

// A field in DBC numbering read straight from a payload (bytes beyond byteCount read as zero).
inline uint64_t ExtractField(const uint8_t* payload, size_t byteCount, uint32_t startBit,
                             uint32_t length, bool bigEndian) {
    if (length == 0 || (payload == nullptr && byteCount > 0)) return 0;
    return BitLayout::FromDbc(startBit, length,
                              bigEndian ? ByteOrder::BigEndian : ByteOrder::LittleEndian)
        .Extract(payload, byteCount);
}

}  // namespace qm::codec
