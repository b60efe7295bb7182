#include "ldf/ldf_tokens.h"

namespace qm::ldf {

void Split(std::string_view text, const Delimiters& delimiters, Tokens& out) {
    out.clear();
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        while (i < n && delimiters.Has(text[i])) ++i;
        const size_t start = i;
        while (i < n && !delimiters.Has(text[i])) ++i;
        if (i > start) out.push_back(text.substr(start, i - start));
    }
}

void SplitKeepingBraces(std::string_view text, const Delimiters& delimiters, Tokens& out) {
    out.clear();
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        if (text[i] == '{') {
            const size_t close = text.find('}', i);
            const size_t stop = close == std::string_view::npos ? n : close + 1;
            out.push_back(text.substr(i, stop - i));
            i = stop;
            continue;
        }
        if (delimiters.Has(text[i])) {
            ++i;
            continue;
        }
        const size_t start = i;
        while (i < n && !delimiters.Has(text[i]) && text[i] != '{') ++i;
        out.push_back(text.substr(start, i - start));
    }
}

void SplitKeepingQuotes(std::string_view text, const Delimiters& delimiters, Tokens& out) {
    out.clear();
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        if (text[i] == '"') {
            const size_t close = text.find('"', i + 1);
            const size_t stop = close == std::string_view::npos ? n : close;
            out.push_back(text.substr(i + 1, stop - i - 1));
            i = stop == n ? n : stop + 1;
            continue;
        }
        if (delimiters.Has(text[i])) {
            ++i;
            continue;
        }
        const size_t start = i;
        while (i < n && !delimiters.Has(text[i]) && text[i] != '"') ++i;
        out.push_back(text.substr(start, i - start));
    }
}

}  // namespace qm::ldf
