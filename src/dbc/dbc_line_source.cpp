#include "dbc/dbc_line_source.h"

#include <cstring>

namespace qm::dbc {

std::string_view TrimView(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

bool DbcLineSource::ReadLine(std::string_view& line) {
    if (hasPushedBack_) {
        hasPushedBack_ = false;
        line = pushedBack_;
        return true;
    }
    if (next_ >= end_) return false;
    const char* start = next_;
    if (input_ != nullptr) input_->ReleaseBefore(start);
    const void* newline = std::memchr(start, '\n', static_cast<size_t>(end_ - start));
    const char* stop = newline ? static_cast<const char*>(newline) : end_;
    next_ = newline ? stop + 1 : end_;
    ++lineNumber_;
    line = TrimView(std::string_view(start, static_cast<size_t>(stop - start)));
    return true;
}

void DbcLineSource::PushBack(std::string_view line) {
    pushedBack_ = line;
    hasPushedBack_ = true;
}

}  // namespace qm::dbc
