#pragma once
// How a parameter's bits become its value and back, in one place for the decoder, the matcher
// and the encoder of diagnostic messages: the coded form of a whole number (binary-coded
// decimal, the complements), the characters of a text, and the computation between a coded and
// a physical value (one scaling, or the pieces of one read as written).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "diag/diag_fields.h"

namespace qm::diag {

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
// a plain single-byte text end it (a text as written keeps them); a character that does not
// convert reads as U+FFFD.
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
bool HasLinearScaling(const CParam& param);
// Whether the computation has pieces (CComputation::pieces).
bool HasPieces(const CParam& param);
// The text of the values no value-table entry names ("" when none).
const char* OtherValuesText(const CParam& param);
// The coded value a value-table text encodes as: its inverse value where the computation gives
// one, else the lower limit of its first entry, else the inverse of the text of other values;
// false for no text of the parameter.
bool CodedValueOfText(const CParam& param, std::string_view text, uint64_t& coded);
// The parameter's one scaling (factor, offset, divisor) as a piece that covers every value.
CLinearScale OneScaleOf(const CParam& param);
// The physical value of a coded one by the piece of the computation that covers it (by the one
// scaling when it has no pieces); false when no piece does.
bool PhysicalOf(const CParam& param, double coded, double& physical);
// The coded value (not rounded) of a physical one, by the first piece whose physical range
// holds it; false when none does.
bool CodedOfPhysical(const CParam& param, double physical, double& coded);

}  // namespace qm::diag
