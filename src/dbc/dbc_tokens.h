#pragma once
// Tokenizing of DBC statements in place: tokens are views into the line they came from.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qm::dbc {

// A set of separator bytes, tested with one table lookup.
class SeparatorSet {
  public:
    constexpr explicit SeparatorSet(std::string_view chars) : table_{} {
        for (char c : chars) table_[static_cast<unsigned char>(c)] = true;
    }
    constexpr bool Contains(char c) const { return table_[static_cast<unsigned char>(c)]; }

  private:
    std::array<bool, 256> table_;
};

// Blanks, tabs and line ends: what separates the words of most statements.
inline constexpr SeparatorSet kWhite(" \t\r\n");

using Tokens = std::vector<std::string_view>;

// The position of the first c in text at or after from, or npos. The pieces of a statement are
// a few bytes long: a plain loop beats a call of memchr, which string_view::find makes.
inline size_t FindByte(std::string_view text, char c, size_t from = 0) {
    for (size_t i = from; i < text.size(); ++i) {
        if (text[i] == c) return i;
    }
    return std::string_view::npos;
}

// Splits at every separator; empty pieces are dropped.
void Split(std::string_view text, const SeparatorSet& separators, Tokens& out);
// Like Split, but never splits inside a double-quoted run; the quotes stay in the token.
void SplitQuoted(std::string_view text, const SeparatorSet& separators, Tokens& out);
// As SplitQuoted, but inside a quoted run a backslash escapes the next character, so that
// "a \"b\"" stays one token (tolerant reading).
void SplitQuotedEscaped(std::string_view text, const SeparatorSet& separators, Tokens& out);
// SplitQuotedEscaped with escapes, else SplitQuoted.
void SplitQuoted(std::string_view text, const SeparatorSet& separators, bool escapes, Tokens& out);
// The text with every backslash-quote pair made a plain quote.
std::string UnescapeQuotes(std::string_view text);
// Appends the quoted run that opens at text[open] (escapes: a backslash escapes the next byte
// inside it) to out, with a blank before and after it where other text was glued to it;
// returns where the text goes on.
size_t AppendQuotedRunApart(std::string_view text, size_t open, bool escapes, std::string& out);
// For tolerant reading, after SplitQuoted(text, separators, escapes, out): when a piece from
// `first` on holds a quoted run glued to other text ("a"1, S1"text"), which editors write and
// the split keeps as one piece, splits the text again with a blank on each side of every
// quoted run. The new pieces refer to `spaced`, which holds that text.
void SplitGluedRunsApart(std::string_view text, const SeparatorSet& separators, bool escapes,
                         size_t first, std::string& spaced, Tokens& out);
// Reads a real as ToReal does, but a number beyond the double range is clamped to the largest
// finite value of its sign (and one too small to be held to what strtod gives) and clamped is
// set. False only for a text that is no number.
bool ToRealClamped(std::string_view text, double& value, bool& clamped);

// The text without its first and last character when both are double quotes.
std::string_view Unquoted(std::string_view text);
// The text with every double quote removed.
std::string WithoutQuotes(std::string_view text);

// The C library conversions strtoul and strtol with a 32-bit "long", as DBC files know them: a
// value beyond 32 bits saturates (0xFFFFFFFF unsigned; INT32_MAX or INT32_MIN signed) instead
// of wrapping; a leading "-" negates an unsigned magnitude that fits. base as for strtol.
uint32_t StrToU32(const char* text, int base = 0);
int32_t StrToI32(const char* text, int base = 0);
// The same on a view, with base 0.
uint32_t ToUnsigned(std::string_view text);
int32_t ToSigned(std::string_view text);
// strtod with the failures of a checked conversion: false when nothing could be read or the
// value is out of range.
bool ToReal(std::string_view text, double& value);
// A plain decimal number text read as ToReal reads it, with where its "." and exponent letter
// stand (npos when absent).
struct PlainDecimal {
    double value = 0.0;
    size_t point = std::string_view::npos;
    size_t letter = std::string_view::npos;
};
// False when the text is no plain decimal, [-]digits[.digits][(e|E)[+|-]digits], or its value
// lies beyond what ToReal takes without the C library's conversion: ToReal then decides.
bool ReadPlainDecimal(std::string_view text, PlainDecimal& out);

}  // namespace qm::dbc
