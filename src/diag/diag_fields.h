#pragma once
// What the decoder, the matcher and the encoder of diagnostic messages share: the limits that
// keep hostile descriptions bounded, the shape a parameter takes in a message, and the reading
// and writing of a field's bits at its byte and bit position.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "diag/diag_param.h"

namespace qm::diag {

// Nesting deeper than this is no real message (and keeps hostile models off the stack).
constexpr int kMaxDepth = 48;
// Repetitions of one field decoded at most (a field of empty items would never end).
constexpr size_t kMaxItems = 4096;
// Longer messages are no diagnostic message: a description that places a parameter beyond this
// (or makes one longer) is not encoded there, so a hostile file cannot make us allocate.
constexpr size_t kMaxMessageBytes = size_t{1} << 20;

enum class Shape {
    kNumber,
    kFloat,
    kBytes,
    kText,
    kStruct,
    kMux,
    kChoice,
    kRepeat,
    kDynamic,
    kEndMarker,
    kEnvData
};

bool IsStringCode(uint32_t code);
bool IsByteField(const CParam& param);
bool IsMux(const CParam& param);
Shape ShapeOf(const CParam& param);
uint64_t MaskBits(int32_t bits);
bool IsSignedCode(uint32_t code);
// The bytes one occurrence of a fixed-length field takes from its bit position on.
int64_t FieldBytes(const CParam& param);
// Reads a field of up to 64 bits at byte `at`; false when the message ends before it.
bool ReadBits(const uint8_t* data, size_t size, size_t at, const CParam& param, uint64_t& value);
void WriteBits(std::vector<uint8_t>& bytes, size_t at, const CParam& param, uint64_t value);
// The value a text gives (decimal or 0x hex); false when it is no whole number.
bool ParseWhole(std::string_view text, bool& negative, uint64_t& value);
bool IsConstantKind(const CParam& param);
// Constants compared when matching: the coded value must be known.
bool ComparableConstant(const CParam& param);

}  // namespace qm::diag
