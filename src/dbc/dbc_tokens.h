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

using Tokens = std::vector<std::string_view>;

// Splits at every separator; empty pieces are dropped.
void Split(std::string_view text, const SeparatorSet& separators, Tokens& out);
// Like Split, but never splits inside a double-quoted run; the quotes stay in the token.
void SplitQuoted(std::string_view text, const SeparatorSet& separators, Tokens& out);

// The text without its first and last character when both are double quotes.
std::string_view Unquoted(std::string_view text);
// The text with every double quote removed.
std::string WithoutQuotes(std::string_view text);

// The C library conversions with base 0 on a view (strtoul, strtol), truncated to 32 bits as a
// 32-bit field stores them.
uint32_t ToUnsigned(std::string_view text);
int32_t ToSigned(std::string_view text);
// strtod with the failures of a checked conversion: false when nothing could be read or the
// value is out of range.
bool ToReal(std::string_view text, double& value);

}  // namespace qm::dbc
