#pragma once
// Splitting LDF statements into tokens: views into the statement, empty tokens dropped.
#include <array>
#include <string_view>
#include <vector>

namespace qm::ldf {

// A set of delimiter bytes.
class Delimiters {
  public:
    constexpr explicit Delimiters(std::string_view bytes) : set_{} {
        for (char c : bytes) set_[static_cast<unsigned char>(c)] = true;
    }
    constexpr bool Has(char c) const { return set_[static_cast<unsigned char>(c)]; }

  private:
    std::array<bool, 256> set_;
};

using Tokens = std::vector<std::string_view>;

// Splits text at any of the delimiters; out is replaced.
void Split(std::string_view text, const Delimiters& delimiters, Tokens& out);

// As Split, but a part in braces ("{ 0, 0 }") stays one token, braces included.
void SplitKeepingBraces(std::string_view text, const Delimiters& delimiters, Tokens& out);

// As Split, but a part in double quotes stays one token, given without its quotes.
void SplitKeepingQuotes(std::string_view text, const Delimiters& delimiters, Tokens& out);

inline bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

}  // namespace qm::ldf
