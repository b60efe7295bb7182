#pragma once
// The forgiving single-pass XML reader behind NanoXML::Parse and NanoXML::LoadFile.
//
// The reader behaves exactly like a character tokenizer feeding a token-level state machine
// with one level of recursion per element, but it scans runs of bytes instead of single
// characters, takes tokens as views into the buffer and keeps the open elements on an explicit
// stack, so that deep nesting cannot exhaust the call stack.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/input_file.h"
#include "quillmere/xml.h"
#include "xml/block_stack.h"

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
    ~XmlReader();
    XmlReader(const XmlReader&) = delete;
    XmlReader& operator=(const XmlReader&) = delete;

    // Fills root starting in the given state; returns the position at which reading stopped.
    size_t Run(NanoXML* root, size_t start, int state);

    // How the last Run ended: whether the element it filled began (its name was read), and,
    // when the input ended while elements were still open, the innermost of them and the
    // position of its name. An input that ends inside nothing gives an empty name.
    bool RootBegun() const { return rootBegun_; }
    const std::string& OpenAtEnd() const { return openAtEnd_; }
    // True when an element below the one Run filled was still open where the input ended.
    bool ChildOpenAtEnd() const { return childOpenAtEnd_; }
    size_t OpenAtEndPosition() const { return openAtEndPosition_; }

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
        // Where this element's children start on the stack of gathered children.
        size_t firstGatheredChild;
        size_t openedAt;  // the position of the element's name
    };

    // An attribute of the start tag being read, kept as views until the tag ends, so that the
    // element's list is allocated once at its exact size.
    struct PendingAttribute {
        std::string_view name;
        std::string_view value;
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
    Step ReadStartTag(Frame& frame);
    Step HandleToken(Frame& frame);
    Step HandleContentMarkup(Frame& frame, const Token& token, std::string_view text);
    void StartChild(Frame& frame, const Token& token, std::string_view name);
    // An element's name as the node keeps it: without its namespace prefix with localNames_.
    std::string_view ElementName(std::string_view name) const;
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
    void CommitAttributes(NanoXML* node);
    void PushFrame(NanoXML* node, int state, bool inTag, bool plainName, size_t openedAt);
    void AppendChild(NanoXML* parent, NanoXML* child);
    void CommitChildren(const Frame& frame);
    void DiscardGatheredChildren() noexcept;

    const char* buffer_;
    size_t end_;
    bool mixed_;
    bool localNames_;  // LocalElementNames() when the reader was made
    uint16_t sourceFileIndex_;
    platform::InputFile* input_ = nullptr;
    size_t position_ = 0;
    size_t result_ = 0;
    // The open elements; a frame stays where it is while children are pushed above it.
    BlockStack<Frame> frames_{true};
    std::string_view attributeName_;
    // Names put together from several tokens ("b c" reads as "bc"); a deque keeps views valid.
    std::deque<std::string> joinedNames_;
    std::vector<PendingAttribute> pendingAttributes_;
    bool previousEndsWithDashes_ = false;
    // First index of each attribute name (over the element's list followed by the pending
    // ones), kept only for start tags with many attributes so that a start tag with a huge
    // number of attributes is not read in quadratic time.
    bool attributeIndexed_ = false;
    std::unordered_map<std::string_view, size_t> attributeIndex_;
    // Without a callback nothing can look at a list of children while the document is read, so
    // the children of open elements wait on one stack and each element gets its list at its
    // exact size when it ends. With a callback, every child is appended as soon as it starts,
    // as the callback may look at its siblings.
    bool gatherChildren_ = false;
    std::vector<NanoXML*> gatheredChildren_;
    bool rootBegun_ = false;
    bool childOpenAtEnd_ = false;
    std::string openAtEnd_;
    size_t openAtEndPosition_ = 0;
};

}  // namespace qm::xml
