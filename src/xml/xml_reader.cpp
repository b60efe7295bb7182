#include "xml/xml_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "xml/xml_scan.h"
#include "xml/xml_state.h"

namespace qm::xml {

namespace {

constexpr std::string_view kCDataOpen = "![CDATA[";
constexpr size_t kLinearAttributeLookup = 16;

std::string_view TrimTokenSpace(std::string_view s) {
    const char* end = s.data() + s.size();
    const char* first = SkipTokenSpace(s.data(), end);
    const char* last = end;
    while (last > first && IsTokenSpace(last[-1])) --last;
    return std::string_view(first, static_cast<size_t>(last - first));
}

std::string_view StripValueQuotes(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// The tokenizer's inside-tag flag follows every "<" and ">" it is fed outside strings.
void FollowTagMarks(char c, bool& inTag) {
    if (c == '<') inTag = true;
    if (c == '>') inTag = false;
}

// A name that the tokenizer would read back as one token of ordinary characters.
bool IsPlainName(std::string_view name) {
    if (name.empty()) return false;
    if (name.size() > kCDataOpen.size() && name.substr(0, kCDataOpen.size()) == kCDataOpen) {
        return false;
    }
    for (char c : name) {
        if (ClassOf(c) != CharClass::kOrdinary) return false;
    }
    return true;
}

// Fills an empty string at its exact size: assigning a long text into the inline buffer would
// round its capacity up to twice the inline size.
void AssignExact(std::string& target, std::string_view text) {
    if (text.size() < sizeof(std::string) / 2) {
        target.assign(text);
    } else {
        target = std::string(text);
    }
}

void NotifyParent(NanoXML* parent, NanoXML* child) {
    if (parent->onChildParsed && *parent->onChildParsed) (*parent->onChildParsed)(child);
}

}  // namespace

XmlReader::XmlReader(const char* buffer, size_t end, bool mixed, uint16_t sourceFileIndex)
    : buffer_(buffer),
      end_(end),
      mixed_(mixed),
      localNames_(LocalElementNames()),
      sourceFileIndex_(sourceFileIndex) {}

std::string_view XmlReader::ElementName(std::string_view name) const {
    if (!localNames_) return name;
    const size_t colon = name.find(':');
    if (colon == 0 || colon == std::string_view::npos || colon + 1 == name.size()) return name;
    return name.substr(colon + 1);
}

XmlReader::~XmlReader() {
    DiscardGatheredChildren();
}

size_t XmlReader::Run(NanoXML* root, size_t start, int state) {
    if (state >= 200) return start;
    position_ = start;
    frames_.clear();
    DiscardGatheredChildren();
    pendingAttributes_.clear();
    joinedNames_.clear();
    attributeIndexed_ = false;
    // Every element read copies its parent's callback, so the root's decides for all of them.
    gatherChildren_ = !root->onChildParsed;
    rootBegun_ = state != kBeforeRoot;
    openAtEnd_.clear();
    openAtEndPosition_ = 0;
    childOpenAtEnd_ = false;
    PushFrame(root, state, true, false, start);
    try {
        for (;;) {
            if (input_ != nullptr) input_->ReleaseBefore(buffer_ + position_);
            Frame& frame = frames_.back();
            Step step;
            if (position_ >= end_) {
                step = Step::kEndOfInput;
            } else if (frame.state == kContent) {
                step = ScanContent(frame);
            } else if (frame.state >= kStartTag && frame.state <= kAttributeValue) {
                step = ReadStartTag(frame);
            } else {
                step = HandleToken(frame);
            }
            if (step == Step::kContinue) continue;
            if (step == Step::kEndOfInput) return FinishAtEndOfInput();
            if (frames_.size() == 1) {
                CommitChildren(frames_.back());
                frames_.clear();
                return result_;
            }
            FinishChild(result_);
        }
    } catch (...) {
        // Children not yet handed to their parents belong to nobody else.
        DiscardGatheredChildren();
        throw;
    }
}

void XmlReader::PushFrame(NanoXML* node, int state, bool inTag, bool plainName, size_t openedAt) {
    frames_.push_back(
        Frame{node, 0, 0, state, inTag, plainName, gatheredChildren_.size(), openedAt});
}

XmlReader::Token XmlReader::NextToken(size_t position, bool& inTag) const {
    const char c = buffer_[position];
    const CharClass charClass = ClassOf(c);
    Token token{position, position + 1, false, false, position + 1};
    if (charClass == CharClass::kDelimiter) {
        FollowTagMarks(c, inTag);
    } else if (charClass == CharClass::kQuote && inTag) {
        const size_t close = ClosingQuote(position);
        token.quoted = true;
        token.end = close < end_ ? close + 1 : end_;
        // A string is complete with its closing quote, not with the character after it.
        token.delivered = close < end_;
        token.deliveredAt = close;
        return token;
    } else if (charClass != CharClass::kSpace) {
        size_t end = position + 1;
        while (end < end_) {
            const CharClass next = ClassOf(buffer_[end]);
            if (next != CharClass::kOrdinary && !(next == CharClass::kQuote && !inTag)) break;
            ++end;
        }
        // "![CDATA[" always ends a token, so that the section's first character stays apart.
        if (end - position > kCDataOpen.size() &&
            std::string_view(buffer_ + position, kCDataOpen.size()) == kCDataOpen) {
            end = position + kCDataOpen.size();
        }
        token.end = end;
    }
    token.delivered = token.end < end_;
    token.deliveredAt = token.end;
    return token;
}

size_t XmlReader::ClosingQuote(size_t open) const {
    const char quote = buffer_[open];
    const char* limit = buffer_ + end_;
    const char* p = buffer_ + open + 1;
    for (;;) {
        p = FindByte(p, limit, quote);
        if (p == limit) return end_;
        // In single-quoted strings a quote after a backslash is kept as text.
        if (quote == '"' || p[-1] != '\\') return static_cast<size_t>(p - buffer_);
        ++p;
    }
}

XmlReader::Step XmlReader::ScanContent(Frame& frame) {
    const char* limit = buffer_ + end_;
    size_t p = position_;
    for (;;) {
        if (p >= end_) break;
        const char* hit = frame.inTag ? FindMarkupOrQuote(buffer_ + p, limit)
                                      : FindEither(buffer_ + p, limit, '<', '>');
        const size_t k = static_cast<size_t>(hit - buffer_);
        if (k >= end_) {
            AddPending(frame, p, end_);
            break;
        }
        const char c = buffer_[k];
        if (c == '"' || c == '\'') {
            // Only reached inside a tag: the whole string is character data, markup included.
            const size_t close = ClosingQuote(k);
            if (close >= end_) {
                AddPending(frame, p, end_);
                break;
            }
            AddPending(frame, p, close + 1);
            p = close + 1;
            continue;
        }
        AddPending(frame, p, k);
        FollowTagMarks(c, frame.inTag);
        // A mark that is the last character never completes as a token and stays text.
        if (k + 1 >= end_) {
            AddPending(frame, k, k + 1);
            break;
        }
        if (c == '>') {  // a ">" in character data is dropped
            p = k + 1;
            continue;
        }
        frame.state = kAfterContentOpen;
        position_ = k + 1;
        // The two commonest markups, "</name>" of this element and "<child", are taken in one
        // step; they read exactly as their tokens would.
        if (buffer_[k + 1] == '/') {
            if (frame.plainName && TryCloseElement(frame, k)) return Step::kElementDone;
        } else {
            TryOpenChild(frame, k + 1);
        }
        return Step::kContinue;
    }
    position_ = end_;
    return Step::kEndOfInput;
}

bool XmlReader::TryCloseElement(Frame& frame, size_t open) {
    const std::string& name = frame.node->name;
    const size_t close = open + 2 + name.size();
    // The ">" must be followed by a character to complete as a token.
    if (close + 1 >= end_ || buffer_[close] != '>') return false;
    if (std::memcmp(buffer_ + open + 2, name.data(), name.size()) != 0) return false;
    TrimText(frame);
    if (mixed_) MoveTextToFragment(frame);
    result_ = close;
    return true;
}

bool XmlReader::TryOpenChild(Frame& frame, size_t nameStart) {
    const char first = buffer_[nameStart];
    if (ClassOf(first) != CharClass::kOrdinary || first == '!' || first == '?') return false;
    size_t nameEnd = nameStart + 1;
    while (nameEnd < end_ && ClassOf(buffer_[nameEnd]) == CharClass::kOrdinary) ++nameEnd;
    if (nameEnd >= end_) return false;
    TrimText(frame);
    if (mixed_) MoveTextToFragment(frame);
    const Token token{nameStart, nameEnd, false, true, nameEnd};
    StartChild(frame, token, std::string_view(buffer_ + nameStart, nameEnd - nameStart));
    return true;
}

// The usual start tag, attributes of the form name="value" separated by white space and ended
// by ">", read without going through one token at a time. Each step reads exactly what the
// tokens would and leaves the state as they would; anything else is left to HandleToken.
XmlReader::Step XmlReader::ReadStartTag(Frame& frame) {
    // After a ">" taken as a value, quotes are ordinary characters: the tokens decide.
    if (!frame.inTag) return HandleToken(frame);
    const char* limit = buffer_ + end_;
    size_t p = position_;
    bool endsWithDashes = false;
    for (;;) {
        // White space forms one-character tokens that change nothing here.
        size_t spaceEnd = p;
        if (spaceEnd < end_ && IsTokenSpace(buffer_[spaceEnd])) {
            ++spaceEnd;  // mostly one space between attributes: no need for the block scan
            if (spaceEnd < end_ && IsTokenSpace(buffer_[spaceEnd])) {
                spaceEnd = static_cast<size_t>(SkipTokenSpace(buffer_ + spaceEnd, limit) - buffer_);
            }
        }
        if (spaceEnd != p) endsWithDashes = false;
        p = spaceEnd;
        if (p + 1 >= end_) break;  // a token needs the next character to complete
        const char c = buffer_[p];
        if (frame.state == kStartTag) {
            if (c == '>') {
                CommitAttributes(frame.node);
                frame.inTag = false;
                frame.state = kContent;
                p += 1;
                endsWithDashes = false;
                break;
            }
            if (c == '/' && buffer_[p + 1] == '>' && p + 2 < end_) {
                // "/" then ">": the element is complete, and its parent resumes after the ">".
                CommitAttributes(frame.node);
                previousEndsWithDashes_ = false;
                position_ = p + 2;
                result_ = p + 1;
                return Step::kElementDone;
            }
            if (ClassOf(c) != CharClass::kOrdinary || c == '!') break;
            size_t nameEnd = p + 1;
            while (nameEnd < end_ && ClassOf(buffer_[nameEnd]) == CharClass::kOrdinary) ++nameEnd;
            // A lone "?" ends the tag like "/".
            if (nameEnd >= end_ || (c == '?' && nameEnd == p + 1)) break;
            attributeName_ = std::string_view(buffer_ + p, nameEnd - p);
            endsWithDashes = attributeName_.ends_with("--");
            frame.state = kAfterAttributeName;
            p = nameEnd;
            continue;
        } else if (frame.state == kAfterAttributeName) {
            if (c != '=') break;
            frame.state = kAttributeValue;
            p += 1;
        } else {
            if (c != '"' && c != '\'') break;
            const size_t close = ClosingQuote(p);
            if (close >= end_) break;
            AddAttribute(frame.node, std::string_view(buffer_ + p + 1, close - p - 1));
            frame.state = kStartTag;
            p = close + 1;
        }
        endsWithDashes = false;
    }
    if (p != position_) {
        previousEndsWithDashes_ = endsWithDashes;
        position_ = p;
        return Step::kContinue;
    }
    return HandleToken(frame);
}

XmlReader::Step XmlReader::HandleToken(Frame& frame) {
    const Token token = NextToken(position_, frame.inTag);
    if (!token.delivered) {
        position_ = end_;
        return Step::kEndOfInput;
    }
    const std::string_view text = token.Text(buffer_);
    position_ = token.end;
    Step step = Step::kContinue;
    const bool blank = !token.quoted && IsTokenSpace(text[0]);
    if (!blank) {
        NanoXML* node = frame.node;
        switch (frame.state) {
            case kBeforeRoot:
                if (text == "<") frame.state = kAfterRootOpen;
                break;
            case kAfterRootOpen:
                if (text[0] == '!' || text[0] == '?') {
                    frame.state = kSkipTopLevel;
                } else {
                    node->name.assign(ElementName(text));
                    frame.state = kStartTag;
                    frame.openedAt = token.begin;
                    rootBegun_ = true;
                }
                break;
            case kStartTag:
                if (text == "/" || text == "?") {
                    CommitAttributes(node);
                    frame.state = kAfterClosingName;
                } else if (text == ">") {
                    CommitAttributes(node);
                    frame.state = kContent;
                } else {
                    attributeName_ = text;
                    frame.state = kAfterAttributeName;
                }
                break;
            case kAfterAttributeName:
                if (text == "=") {
                    frame.state = kAttributeValue;
                } else {
                    // A name being joined grows in place; a new one starts its own entry.
                    if (joinedNames_.empty() ||
                        attributeName_.data() != joinedNames_.back().data()) {
                        joinedNames_.emplace_back(attributeName_);
                    }
                    joinedNames_.back().append(text);
                    attributeName_ = joinedNames_.back();
                }
                break;
            case kAttributeValue:
                AddAttribute(node, StripValueQuotes(text));
                frame.state = kStartTag;
                break;
            case kAfterContentOpen:
                step = HandleContentMarkup(frame, token, text);
                break;
            case kClosingTag:
                if (ElementName(text) == node->name) {
                    TrimText(frame);
                    if (mixed_) MoveTextToFragment(frame);
                    frame.state = kAfterClosingName;
                } else {  // a mismatched closing tag ends this element
                    result_ = token.deliveredAt;
                    step = Step::kElementDone;
                }
                break;
            case kAfterClosingName:
                // A complete element lets its parent resume right after the ">".
                result_ = text == ">" ? token.deliveredAt - 1 : token.deliveredAt;
                step = Step::kElementDone;
                break;
            case kSkipTopLevel:
                if (text == ">") {
                    node->name.clear();
                    frame.state = kBeforeRoot;
                }
                break;
            case kSkipInstruction:
                if (text == ">") frame.state = kContent;
                break;
            case kSkipComment:
                if (text == ">" && previousEndsWithDashes_) frame.state = kContent;
                break;
            default:
                break;
        }
    }
    previousEndsWithDashes_ = text.ends_with("--");
    return step;
}

XmlReader::Step XmlReader::HandleContentMarkup(Frame& frame, const Token& token,
                                               std::string_view text) {
    TrimText(frame);
    if (mixed_) MoveTextToFragment(frame);
    if (text == "/") {
        frame.state = kClosingTag;
    } else if (text.substr(0, 3) == "!--") {
        frame.state = kSkipComment;
    } else if (text[0] == '?') {
        frame.state = kSkipInstruction;
    } else if (text == kCDataOpen) {
        ReadCData(frame, token);
    } else {
        StartChild(frame, token, text);
    }
    return Step::kContinue;
}

void XmlReader::StartChild(Frame& frame, const Token& token, std::string_view name) {
    // The character that completed the name was fed to this element's tokenizer too.
    if (!token.quoted) FollowTagMarks(buffer_[token.deliveredAt], frame.inTag);
    frame.state = kContent;
    auto* child = new NanoXML();
    const std::string_view local = ElementName(name);
    AssignExact(child->name, local);
    AppendChild(frame.node, child);
    child->sourceFiles.Insert(sourceFileIndex_);
    const size_t start = token.deliveredAt;
    // "</name>" is matched byte-wise only where the tag writes the name as the node keeps it.
    const bool plainName = !token.quoted && local.size() == name.size() && IsPlainName(name);
    // A start tag without attributes: its ">" completes with the next character.
    if (buffer_[start] == '>' && start + 1 < end_) {
        position_ = start + 1;
        PushFrame(child, kContent, false, plainName, token.begin);  // invalidates frame
        return;
    }
    position_ = start;
    PushFrame(child, kStartTag, true, plainName, token.begin);  // invalidates frame
}

void XmlReader::AppendChild(NanoXML* parent, NanoXML* child) {
    child->parent = parent;
    if (parent->onChildParsed) child->onChildParsed = parent->onChildParsed;
    if (gatherChildren_) {
        gatheredChildren_.push_back(child);
        return;
    }
    // The allocator's blocks hold an odd number of pointers (3 in the smallest, then 5, 7, ...),
    // so the list grows by half through odd capacities instead of doubling into half-empty
    // blocks: most elements have only a few children.
    std::vector<NanoXML*>& siblings = parent->children;
    if (siblings.size() == siblings.capacity()) {
        const size_t capacity = siblings.capacity();
        siblings.reserve(capacity < 3 ? 3 : (capacity + capacity / 2) | 1);
    }
    siblings.push_back(child);
}

void XmlReader::CommitChildren(const Frame& frame) {
    const size_t first = frame.firstGatheredChild;
    if (!gatherChildren_ || gatheredChildren_.size() <= first) return;
    std::vector<NanoXML*>& children = frame.node->children;
    children.reserve(children.size() + (gatheredChildren_.size() - first));
    children.insert(children.end(), gatheredChildren_.begin() + static_cast<ptrdiff_t>(first),
                    gatheredChildren_.end());
    gatheredChildren_.resize(first);
}

void XmlReader::DiscardGatheredChildren() noexcept {
    for (NanoXML* child : gatheredChildren_) delete child;
    gatheredChildren_.clear();
}

void XmlReader::ReadCData(Frame& frame, const Token& token) {
    const size_t start = token.deliveredAt;
    FollowTagMarks(buffer_[start], frame.inTag);
    NanoXML* node = frame.node;
    std::string& text = node->text;
    // The section ends as soon as the text ends with "]]>", which may begin in text that was
    // there before the section.
    size_t next;
    if (text.ends_with("]]>")) {
        text.resize(text.size() - 3);
        next = start;
    } else if (text.ends_with("]]") && buffer_[start] == '>') {
        text.resize(text.size() - 2);
        next = start + 1;
    } else if (text.ends_with("]") && start + 1 < end_ && buffer_[start] == ']' &&
               buffer_[start + 1] == '>') {
        text.resize(text.size() - 1);
        next = start + 2;
    } else {
        const std::string_view rest(buffer_ + start, end_ - start);
        const size_t close = rest.find("]]>");
        if (close == std::string_view::npos) {  // an unclosed section keeps what it holds
            text.append(rest);
            next = end_;
        } else {
            text.append(rest.substr(0, close));
            next = start + close + 3;
        }
    }
    node->flags &= static_cast<uint8_t>(~NanoXML::kFlagCData);
    if (mixed_ && !text.empty()) {
        auto* fragment = new NanoXML();
        AppendChild(node, fragment);
        fragment->text = std::move(text);
        fragment->flags |= NanoXML::kFlagCData;
        text.clear();
    } else {
        node->flags |= NanoXML::kFlagCData;
    }
    frame.state = kContent;
    position_ = next;
}

void XmlReader::FinishChild(size_t childResult) {
    CommitChildren(frames_.back());
    NanoXML* child = frames_.back().node;
    frames_.pop_back();
    Frame& parent = frames_.back();
    parent.state = kContent;
    position_ = childResult + 1;
    NotifyParent(parent.node, child);
}

size_t XmlReader::FinishAtEndOfInput() {
    // Before the root began nothing is open; a root whose declaration was being skipped
    // (state 20) has no name either. A closing tag whose ">" is the last byte ends its element:
    // the tokenizer only hands the ">" over with the byte after it, which a document without a
    // final line end lacks.
    size_t open = frames_.size();
    if (frames_.back().state == kAfterClosingName && buffer_[end_ - 1] == '>') --open;
    if (rootBegun_ && open > 0 && !frames_[open - 1].node->name.empty()) {
        openAtEnd_ = frames_[open - 1].node->name;
        openAtEndPosition_ = frames_[open - 1].openedAt;
    }
    childOpenAtEnd_ = open > 1;
    FlushPending(frames_.back());
    // A start tag cut short keeps the attributes it has.
    CommitAttributes(frames_.back().node);
    // Every element still open ends here; each but the root is announced to its parent.
    while (frames_.size() > 1) {
        CommitChildren(frames_.back());
        NanoXML* child = frames_.back().node;
        frames_.pop_back();
        NotifyParent(frames_.back().node, child);
    }
    CommitChildren(frames_.back());
    frames_.clear();
    return end_;
}

void XmlReader::AddPending(Frame& frame, size_t begin, size_t end) {
    if (begin >= end) return;
    if (frame.pendingBegin != frame.pendingEnd && frame.pendingEnd == begin) {
        frame.pendingEnd = end;
        return;
    }
    FlushPending(frame);
    frame.pendingBegin = begin;
    frame.pendingEnd = end;
}

void XmlReader::FlushPending(Frame& frame) {
    if (frame.pendingBegin == frame.pendingEnd) return;
    frame.node->text.append(buffer_ + frame.pendingBegin, frame.pendingEnd - frame.pendingBegin);
    frame.pendingBegin = frame.pendingEnd = 0;
}

void XmlReader::TrimText(Frame& frame) {
    std::string& text = frame.node->text;
    if (text.empty()) {
        const std::string_view pending(buffer_ + frame.pendingBegin,
                                       frame.pendingEnd - frame.pendingBegin);
        const std::string_view trimmed = TrimTokenSpace(pending);
        if (!trimmed.empty()) AssignExact(text, trimmed);  // exact size, as for names
        frame.pendingBegin = frame.pendingEnd = 0;
        return;
    }
    FlushPending(frame);
    const std::string_view trimmed = TrimTokenSpace(text);
    if (trimmed.size() == text.size()) return;
    const size_t first = static_cast<size_t>(trimmed.data() - text.data());
    const size_t length = trimmed.size();
    text.erase(0, first);
    text.resize(length);
}

void XmlReader::MoveTextToFragment(Frame& frame) {
    NanoXML* node = frame.node;
    if (node->text.empty()) return;
    auto* fragment = new NanoXML();
    AppendChild(node, fragment);
    fragment->text = std::move(node->text);
    node->text.clear();
    node->flags &= static_cast<uint8_t>(~NanoXML::kFlagCData);
}

void XmlReader::AddAttribute(NanoXML* node, std::string_view value) {
    // A value is added unless the first attribute of that name already holds a non-empty one.
    const std::vector<NanoXMLAttribute>& committed = node->attributes;
    const size_t count = committed.size() + pendingAttributes_.size();
    if (count < kLinearAttributeLookup && !attributeIndexed_) {
        for (const NanoXMLAttribute& attribute : committed) {
            if (attribute.name == attributeName_) {
                if (!attribute.value.empty()) return;
                pendingAttributes_.push_back(PendingAttribute{attributeName_, value});
                return;
            }
        }
        for (const PendingAttribute& attribute : pendingAttributes_) {
            if (attribute.name == attributeName_) {
                if (!attribute.value.empty()) return;
                break;
            }
        }
        pendingAttributes_.push_back(PendingAttribute{attributeName_, value});
        return;
    }
    const auto valueAt = [&](size_t i) {
        return i < committed.size() ? std::string_view(committed[i].value)
                                    : pendingAttributes_[i - committed.size()].value;
    };
    if (!attributeIndexed_) {
        attributeIndex_.clear();
        for (size_t i = 0; i < count; ++i) {
            const std::string_view name = i < committed.size()
                                              ? std::string_view(committed[i].name)
                                              : pendingAttributes_[i - committed.size()].name;
            attributeIndex_.emplace(name, i);  // keeps the first of each name
        }
        attributeIndexed_ = true;
    }
    const auto [found, added] = attributeIndex_.emplace(attributeName_, count);
    if (!added && !valueAt(found->second).empty()) return;
    pendingAttributes_.push_back(PendingAttribute{attributeName_, value});
}

void XmlReader::CommitAttributes(NanoXML* node) {
    if (!pendingAttributes_.empty()) {
        std::vector<NanoXMLAttribute>& attributes = node->attributes;
        attributes.reserve(attributes.size() + pendingAttributes_.size());
        for (const PendingAttribute& attribute : pendingAttributes_) {
            NanoXMLAttribute& added = attributes.emplace_back();
            AssignExact(added.name, attribute.name);
            AssignExact(added.value, attribute.value);
        }
        pendingAttributes_.clear();
    }
    joinedNames_.clear();
    if (attributeIndexed_) {
        attributeIndexed_ = false;
        attributeIndex_.clear();
    }
}

}  // namespace qm::xml

namespace {

constexpr size_t kXmlSniffLength = 1024;

uint64_t LineOf(const char* buffer, size_t position) {
    uint64_t line = 1;
    const char* p = buffer;
    const char* const stop = buffer + position;
    while (p < stop) {
        const void* next = std::memchr(p, '\n', static_cast<size_t>(stop - p));
        if (next == nullptr) break;
        ++line;
        p = static_cast<const char*>(next) + 1;
    }
    return line;
}

// A whole document (state 0) leaves a record of how it ended; path is "" for a buffer.
void RecordEnd(const qm::xml::XmlReader* reader, const NanoXML* root, const char* buffer,
               std::string_view path) {
    qm::xml::DocumentEnd end;
    end.empty = reader == nullptr;
    if (reader != nullptr) {
        end.rootFound = reader->RootBegun();
        end.rootName = root->name;
        end.openElement = reader->OpenAtEnd();
        if (!end.openElement.empty()) end.openLine = LineOf(buffer, reader->OpenAtEndPosition());
    }
    if (end.Truncated()) {
        std::string line = end.TruncationText();
        if (!path.empty()) line = std::string(path) + ": " + line;
        qm::xml::NoteTruncatedDocument(std::move(line));
    }
    qm::xml::RecordDocumentEnd(std::move(end));
}

size_t ParseBuffer(NanoXML* node, const char* buffer, bool mixed, size_t length, size_t start,
                   int state, uint16_t sourceFileIndex, qm::platform::InputFile* input = nullptr,
                   std::string_view path = {}) {
    const bool wholeDocument = state == qm::xml::kBeforeRoot;
    if (buffer == nullptr || length == 0 || start >= length) {
        if (wholeDocument) RecordEnd(nullptr, node, buffer, path);
        return start;
    }
    const void* nul = std::memchr(buffer + start, 0, length - start);
    const size_t end = nul ? static_cast<size_t>(static_cast<const char*>(nul) - buffer) : length;
    qm::xml::XmlReader reader(buffer, end, mixed, sourceFileIndex);
    reader.ReleaseBehind(input);
    const size_t stopped = reader.Run(node, start, state);
    if (wholeDocument) {
        RecordEnd(&reader, node, buffer, path);  // text that starts with NUL holds no element
    } else if (state == qm::xml::kContent && reader.ChildOpenAtEnd()) {
        // Content read into a node (a document of an archive): an element of it that never
        // closed means the text was cut.
        qm::xml::DocumentEnd cut;
        cut.rootFound = true;
        cut.openElement = reader.OpenAtEnd();
        cut.openLine = LineOf(buffer, reader.OpenAtEndPosition());
        qm::xml::NoteTruncatedDocument(cut.TruncationText());
    }
    return stopped;
}

int LoadNarrowPath(NanoXML* node, const std::string& path) {
    qm::platform::InputFile input;
    const qm::platform::FileStatus status = input.Open(path);
    const std::string_view data = input.Text();
    size_t length = 0;
    int result = 0;
    // Only a file that cannot be opened is logged as such; one that opens but cannot be read
    // completely (a folder, an I/O error) or is empty just gives result 0 and length 0.
    if (!status.opened) {
        qm::xml::AppendMessage("File not open:" + path + ":" + qm::platform::LocalTimeText() +
                               "\r\n");
        qm::xml::RecordDocumentEnd(qm::xml::DocumentEnd{});
    } else if (status.ok && !data.empty()) {
        const size_t index = qm::xml::RecordLoadedFile(path);
        length = ParseBuffer(node, data.data(), false, data.size(), 0, qm::xml::kBeforeRoot,
                             static_cast<uint16_t>(index), &input, path);
        result = 1;
    } else {
        qm::xml::DocumentEnd end;
        end.empty = status.ok;
        qm::xml::RecordDocumentEnd(std::move(end));
    }
    qm::xml::AppendMessage("Parsed data length: " + std::to_string(length) + "\r\n");
    return result;
}

}  // namespace

size_t NanoXML::Parse(const char* buffer, bool mixed, size_t length, size_t start, int state) {
    return ParseBuffer(this, buffer, mixed, length, start, state,
                       qm::xml::CurrentSourceFileIndex());
}

int NanoXML::LoadFile(const char* path) {
    if (path == nullptr) return 0;
    return LoadNarrowPath(this, path);
}

int NanoXML::LoadFile(const wchar_t* path) {
    if (path == nullptr) return 0;
    return LoadNarrowPath(this, qm::platform::Narrow(path));
}

bool NanoXML::IsXmlFile(const char* path) {
    if (path == nullptr) return false;
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path, "rb"), &std::fclose);
    if (!file) return false;
    char head[kXmlSniffLength];
    const size_t got = std::fread(head, 1, sizeof head, file.get());
    if (got == 0) return false;
    std::string lowered(head, strnlen(head, got));
    for (char& c : lowered) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return lowered.find("<?xml") != std::string::npos;
}
