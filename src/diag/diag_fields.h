#pragma once
// What the decoder, the matcher and the encoder of diagnostic messages share: the limits that
// keep hostile descriptions bounded, the shape a parameter takes in a message, and the reading
// and writing of a field's bits at its byte and bit position.
#include <cstddef>
#include <cstdint>
#include <string>
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
// A whole number's value from the bits of its coded form (CParam::CodedForm) and back. Values
// are plain bits, two's complement for signed types; a value the form cannot hold is written
// as the form's nearest (the encoder checks ranges first, with WholeRangeOf).
uint64_t ValueOfCoded(const CParam& param, uint64_t bits);
uint64_t CodedOfValue(const CParam& param, uint64_t value);
// ReadBits and WriteBits of a whole number's value.
bool ReadValue(const uint8_t* data, size_t size, size_t at, const CParam& param, uint64_t& value);
void WriteValue(std::vector<uint8_t>& bytes, size_t at, const CParam& param, uint64_t value);
// The UTF-8 text of a text field's bytes, in its characters (CParam::kTextLatin1 ...; a field
// of the UTF-16 base type is UTF-16 in any reading, others plain bytes). Trailing zero bytes of
// a single-byte text end it; a character that does not convert reads as U+FFFD.
std::string TextOfField(const CParam& param, const std::vector<uint8_t>& bytes);
// The bytes of UTF-8 text in a text field's characters; false, with the reason in `error`, for
// a character they cannot hold.
bool FieldBytesOfText(const CParam& param, std::string_view text, std::vector<uint8_t>& bytes,
                      std::string& error);
// The whole numbers a number parameter holds: -mostNegative .. highest (mostNegative is the
// magnitude of the lowest, 0 for unsigned types).
struct WholeRange {
    uint64_t mostNegative = 0;
    uint64_t highest = 0;
};
WholeRange WholeRangeOf(const CParam& param);
// The value a text gives (decimal or 0x hex); false when it is no whole number.
bool ParseWhole(std::string_view text, bool& negative, uint64_t& value);
bool HasLinearScaling(const CParam& param);
// Whether the computation has pieces (CComputation::pieces).
bool HasPieces(const CParam& param);
// The text of the values no value-table entry names ("" when none).
const char* OtherValuesText(const CParam& param);
// The coded value a value-table text encodes as: its inverse value where the computation gives
// one, else the lower limit of its first entry, else the inverse of the text of other values;
// false for no text of the parameter.
bool CodedValueOfText(const CParam& param, std::string_view text, uint64_t& coded);
double Physical(const CParam& param, double raw);
// The physical value of a coded one by the piece of the computation that covers it (by the one
// scaling when it has no pieces); false when no piece does.
bool PhysicalOf(const CParam& param, double coded, double& physical);
// The coded value (not rounded) of a physical one, by the first piece whose physical range
// holds it; false when none does.
bool CodedOfPhysical(const CParam& param, double physical, double& coded);
bool IsConstantKind(const CParam& param);
// Constants compared when matching: the coded value must be known.
bool ComparableConstant(const CParam& param);

}  // namespace qm::diag
