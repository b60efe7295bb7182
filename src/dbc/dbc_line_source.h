#pragma once
// Lines of a DBC text held in memory. Each line is a view into the text, cut at "\n" and trimmed
// of white space at both ends (which also drops the "\r" of CRLF files). One line can be put
// back; it is then returned again without being counted twice.
#include <cstdint>
#include <string_view>

#include "platform/input_file.h"

namespace qm::dbc {

class DbcLineSource {
  public:
    // input, when given, is the file the text is mapped from: lines read are released from it
    // in steps of kReleaseStep, since the reader looks back at most one line.
    explicit DbcLineSource(std::string_view text, platform::InputFile* input = nullptr)
        : next_(text.data()), end_(text.data() + text.size()), input_(input) {
        if (input_ != nullptr) input_->SetReleaseStep(kReleaseStep);
    }
    static constexpr size_t kReleaseStep = size_t{1} << 20;

    // False at the end of the text; an empty line is returned as an empty view.
    bool ReadLine(std::string_view& line);
    void PushBack(std::string_view line);
    // The number of lines handed out so far: while a line is handled, its number from 1.
    uint64_t LineNumber() const { return lineNumber_; }

  private:
    const char* next_;
    const char* end_;
    platform::InputFile* input_;
    uint64_t lineNumber_ = 0;
    std::string_view pushedBack_;
    bool hasPushedBack_ = false;
};

// White space as the C classification isspace gives it in the "C" locale.
inline bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view TrimView(std::string_view text);

}  // namespace qm::dbc
