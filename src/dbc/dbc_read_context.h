#pragma once
// What a section handler works with: the current statement, the line source, the file object,
// scratch tokens, and the message forms every handler shares.
#include <cstdint>
#include <string>
#include <string_view>

#include "dbc/dbc_line_source.h"
#include "dbc/dbc_tokens.h"

namespace qm::dbc {

class NetConfigDbcFile;

class DbcReadContext {
  public:
    DbcReadContext(NetConfigDbcFile& file, DbcLineSource& lines) : file_(file), lines_(lines) {}

    NetConfigDbcFile& File() { return file_; }
    DbcLineSource& Lines() { return lines_; }
    std::string_view Line() const { return line_; }
    void SetLine(std::string_view line) { line_ = line; }
    Tokens& Scratch() { return tokens_; }
    Tokens& SecondScratch() { return moreTokens_; }

    // A failure: text, then the line number, ") ", the statement and ".\n"; the status is set
    // and reading stops after the handler. Returns 0 for the handler to pass on.
    int Fail(std::string_view text, uint32_t status);
    // The warning for a name that refers to nothing: prefix, name, ". Line(" n ") " L ".\n";
    // the status becomes 2 unless a failure is already recorded.
    void Warn(std::string_view prefix, std::string_view name);
    // Appends text and then "Line(" n ") " L followed by ending, without touching the status.
    void AppendMessage(std::string_view text, std::string_view ending = ".\n");
    void MarkWarning();

    // Joins the following lines, each after one blank, until the statement ends with ";" (or
    // the text ends). The result stays valid until the next call.
    std::string_view AssembleUntilSemicolon();
    // Joins lines with "\r\n" until a ";" outside double quotes; text after that ";" is put
    // back to the line source. The result stays valid until the next call.
    std::string_view AssembleQuotedStatement();

  private:
    NetConfigDbcFile& file_;
    DbcLineSource& lines_;
    std::string_view line_;
    Tokens tokens_;
    Tokens moreTokens_;
    std::string statement_;
};

}  // namespace qm::dbc
