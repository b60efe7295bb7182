#pragma once
// What a section handler works with: the current statement, the line source, the file object,
// scratch tokens, and the message forms every handler shares.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "dbc/dbc_line_source.h"
#include "dbc/dbc_receiver_texts.h"
#include "dbc/dbc_signal.h"
#include "dbc/dbc_text.h"
#include "dbc/dbc_tokens.h"

namespace qm::dbc {

class DbcAttributeDefinition;
class DbcMessage;
class DbcNode;
class NetConfigDbcFile;

class DbcReadContext {
  public:
    DbcReadContext(NetConfigDbcFile& file, DbcLineSource& lines);
    ~DbcReadContext();
    DbcReadContext(const DbcReadContext&) = delete;
    DbcReadContext& operator=(const DbcReadContext&) = delete;

    NetConfigDbcFile& File() { return file_; }
    DbcLineSource& Lines() { return lines_; }
    std::string_view Line() const { return line_; }
    void SetLine(std::string_view line) { line_ = line; }
    Tokens& Scratch() { return tokens_; }
    Tokens& SecondScratch() { return moreTokens_; }
    std::vector<DbcNode*>& ScratchNodes() { return nodes_; }
    DbcReceiverTexts& ReceiverTexts() { return receiverTexts_; }

    // The signals of consecutive signal lines wait here and go to their message in one step
    // when another statement comes (or the text ends): its list then grows once.
    DbcSignal& PendSignal(DbcMessage& message, DbcSignalPtr signal);
    // Lists the waiting signals in their message. Called before any other statement is read.
    void ListPendingSignals();

    // A failure: text, then the line number, ") ", the statement and ending; the status is set
    // and reading stops after the handler. Returns 0 for the handler to pass on. In tolerant
    // reading the same line is written after "WARNING. ", the status becomes 2 and reading goes
    // on.
    int Fail(std::string_view text, uint32_t status, std::string_view ending = ".\n");
    // Tolerant reading only: "WARNING. " text "Line(" n ") " L ".\n", status 2; one line
    // tolerated.
    void Tolerate(std::string_view text);
    // The node a transmitter or receiver name names. Read tolerantly, a name that no BU_ line
    // declares becomes a node of its own, said once (files that declare "XXX" and send from
    // "Motor"): cantools and canmatrix keep such names as senders and receivers, and canmatrix
    // lists them as ECUs. Null for an unknown name in exact reading and for "Vector__XXX".
    DbcNode* NodeNamed(std::string_view name);
    bool Tolerant() const { return tolerant_; }
    // The extended-multiplexing ranges read so far for a signal, by minimum, to find overlaps
    // without scanning every earlier range.
    std::map<uint64_t, uint64_t>& RangesSeen(const void* signal) { return rangesSeen_[signal]; }
    // The name of a definition as one text of the file's arena, made on first use: the values
    // of the definition share it instead of a copy each.
    const DbcText& AttributeName(const DbcAttributeDefinition& definition);
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
    bool tolerant_ = false;
    std::string_view line_;
    Tokens tokens_;
    Tokens moreTokens_;
    std::vector<DbcNode*> nodes_;
    DbcReceiverTexts receiverTexts_;
    DbcMessage* pendingMessage_ = nullptr;
    std::vector<DbcSignalPtr> pendingSignals_;
    std::string statement_;
    std::unordered_map<const void*, std::map<uint64_t, uint64_t>> rangesSeen_;
    std::unordered_map<const void*, DbcText> attributeNames_;
};

}  // namespace qm::dbc
