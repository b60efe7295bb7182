#include "ldf/ldf_line_source.h"

#include <cstring>

namespace qm::ldf {

std::string_view TrimView(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsSpace(text[begin])) ++begin;
    while (end > begin && IsSpace(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

bool LdfLineSource::ReadLine(LdfLine& line) {
    if (pushedBack_) {
        pushedBack_ = false;
        line = current_;
        return true;
    }
    if (nextPiece_ < pieces_.size()) {
        current_.raw = current_.content = pieces_[nextPiece_++];
        line = current_;
        return true;
    }
    if (next_ >= end_) {
        ++endsMet_;
        return false;
    }
    const char* start = next_;
    if (input_ != nullptr) input_->ReleaseBefore(start);
    const auto* newline =
        static_cast<const char*>(std::memchr(start, '\n', static_cast<size_t>(end_ - start)));
    const char* stop = newline ? newline : end_;
    next_ = newline ? newline + 1 : end_;
    std::string_view raw(start, static_cast<size_t>(stop - start));
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    ++lineNumber_;
    current_.raw = raw;
    // Most lines hold no comment at all: their content is the trimmed line itself.
    if (!inBlockComment_ && raw.find('/') == std::string_view::npos) {
        current_.content = TrimView(raw);
        current_.comment = {};
    } else {
        StripComments(raw, current_);
    }
    pieces_.clear();
    nextPiece_ = 0;
    if (splitStatements_ && SplitStatements(current_.content)) {
        current_.raw = current_.content = pieces_[nextPiece_++];
    }
    line = current_;
    return true;
}

namespace {

// Whether each "{" of content, in the order they open, opens a block: a ";" comes before its
// "}" (within the braces it holds too), or the line ends first. One pass, so that a line of many
// braces costs its length.
void MarkBlocks(std::string_view content, std::vector<bool>& opens, std::vector<size_t>& open) {
    opens.clear();
    open.clear();
    bool inQuotes = false;
    for (const char c : content) {
        if (c == '"') inQuotes = !inQuotes;
        if (inQuotes) continue;
        if (c == '{') {
            open.push_back(opens.size());
            opens.push_back(false);
        } else if (c == '}' && !open.empty()) {
            const bool block = opens[open.back()];
            open.pop_back();
            if (block && !open.empty()) opens[open.back()] = true;
        } else if (c == ';' && !open.empty()) {
            opens[open.back()] = true;
        }
    }
    for (const size_t unclosed : open) opens[unclosed] = true;
}

// Most lines hold one statement at most, ending the line: they need no split.
bool MayHoldSeveral(std::string_view content) {
    const size_t first = content.find_first_of("{};");
    return first != std::string_view::npos && first + 1 < content.size();
}

}  // namespace

bool LdfLineSource::SplitStatements(std::string_view content) {
    if (!MayHoldSeveral(content)) return false;
    // Pieces are views of the line's content, which stays until the next line is read.
    size_t begin = 0;
    const auto cut = [&](size_t end) {
        const std::string_view text = TrimView(content.substr(begin, end - begin));
        if (!text.empty()) pieces_.push_back(text);
        begin = end;
    };
    MarkBlocks(content, opensBlock_, openBraces_);
    size_t nextBrace = 0;
    blocks_.clear();  // per open "{": whether it opens a block
    bool inQuotes = false;
    for (size_t i = 0; i < content.size(); ++i) {
        const char c = content[i];
        if (c == '"') inQuotes = !inQuotes;
        if (inQuotes) continue;
        if (c == '{') {
            blocks_.push_back(opensBlock_[nextBrace++]);
            if (blocks_.back()) cut(i + 1);
        } else if (c == '}') {
            const bool block = !blocks_.empty() && blocks_.back();
            if (!blocks_.empty()) blocks_.pop_back();
            if (block) {
                cut(i);
                cut(i + 1);
            }
        } else if (c == ';' && (blocks_.empty() || blocks_.back())) {
            cut(i + 1);
        }
    }
    cut(content.size());
    if (pieces_.size() > 1) return true;
    pieces_.clear();  // one statement: the line stands as read
    return false;
}

void LdfLineSource::StripComments(std::string_view raw, LdfLine& line) {
    contentScratch_.clear();
    commentScratch_.clear();
    bool inQuotes = false;
    size_t i = 0;
    while (i < raw.size()) {
        const char c = raw[i];
        const char following = i + 1 < raw.size() ? raw[i + 1] : '\0';
        if (inBlockComment_) {
            if (c == '*' && following == '/') {
                inBlockComment_ = false;
                commentScratch_.append("*/");
                i += 2;
                continue;
            }
            commentScratch_.push_back(c);
            ++i;
            continue;
        }
        if (c == '"') inQuotes = !inQuotes;
        if (!inQuotes && c == '/' && following == '*') {
            inBlockComment_ = true;
            commentScratch_.append("/*");
            i += 2;
            continue;
        }
        if (!inQuotes && c == '/' && following == '/') {
            commentScratch_.append(raw.substr(i));
            break;
        }
        contentScratch_.push_back(c);
        ++i;
    }
    line.content = TrimView(contentScratch_);
    line.comment = commentScratch_;
}

bool LdfLineSource::AssembleStatement(std::string_view first, std::string_view& statement) {
    if (EndsStatement(first)) {
        statement = first;
        return true;
    }
    statement_.assign(first);
    LdfLine line;
    while (ReadLine(line)) {
        if (!line.content.empty()) {
            statement_.push_back(' ');
            statement_.append(line.content);
        }
        if (EndsStatement(line.content)) {
            statement = statement_;
            return true;
        }
    }
    statement = statement_;
    return false;
}

}  // namespace qm::ldf
