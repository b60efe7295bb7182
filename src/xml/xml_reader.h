#pragma once
// The forgiving single-pass XML reader behind NanoXML::Parse and NanoXML::LoadFile.
//
// The reader behaves exactly like a character tokenizer feeding a token-level state machine
// with one level of recursion per element, but it scans runs of bytes instead of single
// characters, takes tokens as views into the buffer and keeps the open elements on an explicit
// stack, so that deep nesting cannot exhaust the call stack.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/input_file.h"
#include "quillmere/xml.h"

namespace qm::xml {

// Parser states of one element.
enum ReaderState : uint8_t {
    kBeforeRoot = 0,
    kAfterRootOpen = 1,
    kStartTag = 2,
    kAfterAttributeName = 3,
    kAttributeValue = 4,
    kContent = 10,
    kAfterContentOpen = 11,
    kClosingTag = 12,
    kAfterClosingName = 13,
    kSkipTopLevel = 20,
    kSkipInstruction = 21,
    kSkipComment = 22,
};

class XmlReader {
  public:
    // Reads buffer[start, end); end must not lie beyond the first NUL byte.
    XmlReader(const char* buffer, size_t end, bool mixed, uint16_t sourceFileIndex);

    // Fills root starting in the given state; returns the position at which reading stopped.
    size_t Run(NanoXML* root, size_t start, int state);

    // The file the buffer is mapped from: what the reader has passed is released from it (the
    // tree holds copies of everything it keeps).
    void ReleaseBehind(platform::InputFile* input) { input_ = input; }

  private:
    struct Frame {
        NanoXML* node;
        // Character data seen but not yet stored in the node's text: one contiguous slice of
        // the buffer, so that whitespace between elements never needs to be copied.
        size_t pendingBegin;
        size_t pendingEnd;
        int state;
        bool inTag;
        // The name is a run of ordinary characters, so "</name>" can be matched byte-wise.
        bool plainName;
    };

    struct Token {
        size_t begin;
        size_t end;
        bool quoted;
        bool delivered;
        // Position of the character whose arrival completed the token.
        size_t deliveredAt;
        std::string_view Text(const char* buffer) const {
            return std::string_view(buffer + begin, end - begin);
        }
    };

    enum class Step { kContinue, kEndOfInput, kElementDone };

    Token NextToken(size_t position, bool& inTag) const;
    size_t ClosingQuote(size_t open) const;

    Step ScanContent(Frame& frame);
    Step HandleToken(Frame& frame);
    Step HandleContentMarkup(Frame& frame, const Token& token, std::string_view text);
    void StartChild(Frame& frame, const Token& token, std::string_view name);
    bool TryCloseElement(Frame& frame, size_t open);
    bool TryOpenChild(Frame& frame, size_t nameStart);
    void ReadCData(Frame& frame, const Token& token);
    void FinishChild(size_t childResult);
    size_t FinishAtEndOfInput();

    void AddPending(Frame& frame, size_t begin, size_t end);
    void FlushPending(Frame& frame);
    void TrimText(Frame& frame);
    void MoveTextToFragment(Frame& frame);
    void AddAttribute(NanoXML* node, std::string_view value);

    const char* buffer_;
    size_t end_;
    bool mixed_;
    uint16_t sourceFileIndex_;
    platform::InputFile* input_ = nullptr;
    size_t position_ = 0;
    size_t result_ = 0;
    std::vector<Frame> frames_;
    std::string attributeName_;
    bool previousEndsWithDashes_ = false;
    // First index of each attribute name, kept only for elements with many attributes so that
    // a start tag with a huge number of attributes is not read in quadratic time.
    NanoXML* attributeIndexOwner_ = nullptr;
    std::unordered_map<std::string, size_t> attributeIndex_;
};

}  // namespace qm::xml
