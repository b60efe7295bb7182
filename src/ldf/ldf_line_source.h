#pragma once
// Lines of an LDF text held in memory. Each line comes as the raw bytes (without the line end),
// the content with comments removed and white space trimmed, and the removed comment text.
// Block comments may span lines; text inside double quotes is content. Views stay valid until
// the next line is read.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/input_file.h"

namespace qm::ldf {

struct LdfLine {
    std::string_view raw;
    std::string_view content;
    std::string_view comment;
};

class LdfLineSource {
  public:
    // input, when given, is the file the text is mapped from: lines read are released from it.
    explicit LdfLineSource(std::string_view text, platform::InputFile* input = nullptr)
        : next_(text.data()), end_(text.data() + text.size()), input_(input) {}

    // False at the end of the text.
    bool ReadLine(LdfLine& line);
    // How many reads met the end of the text: a section that meets it was cut short.
    uint64_t EndsMet() const { return endsMet_; }
    // The line read last is returned again by the next ReadLine, without being counted twice.
    void PushBack() { pushedBack_ = true; }
    // The number of the line read last, counted from 1.
    uint64_t LineNumber() const { return lineNumber_; }
    const LdfLine& Current() const { return current_; }

    // Joins the content of first with the content of the following lines until it ends with
    // ";", "{" or "}". False when the text ends first (statement then holds what was joined).
    bool AssembleStatement(std::string_view first, std::string_view& statement);

    // With split, a line that holds several statements or a block written on one line
    // ("F: 0x20, S, 3 { A, 0; B, 8; }") comes as the lines it would take written out: the head
    // with its "{", one statement a line, the "}" (a piece is its own raw text, under the
    // line's number). Braces that hold no ";" stay within their statement ("{0, 0}",
    // "AssignNAD { S }").
    void SplitStatementsOfALine(bool split) { splitStatements_ = split; }

  private:
    void StripComments(std::string_view raw, LdfLine& line);
    // Fills pieces_ (empty before) with the statements of content; true when there are several.
    bool SplitStatements(std::string_view content);

    const char* next_;
    const char* end_;
    platform::InputFile* input_;
    uint64_t lineNumber_ = 0;
    uint64_t endsMet_ = 0;
    bool inBlockComment_ = false;
    bool pushedBack_ = false;
    bool splitStatements_ = false;
    std::vector<std::string_view> pieces_;  // of the line read last, when it held several
    std::vector<bool> blocks_;
    std::vector<bool> opensBlock_;    // per "{" of the line, in order: MarkBlocks
    std::vector<size_t> openBraces_;  // MarkBlocks' scratch
    size_t nextPiece_ = 0;
    LdfLine current_;
    std::string contentScratch_;
    std::string commentScratch_;
    std::string statement_;
};

inline bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view TrimView(std::string_view text);

// True when a statement is complete: it ends with ";", "{" or "}".
inline bool EndsStatement(std::string_view content) {
    if (content.empty()) return false;
    const char last = content.back();
    return last == ';' || last == '{' || last == '}';
}

}  // namespace qm::ldf
