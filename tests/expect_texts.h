#pragma once
// ExpectTexts(text, {...}): one expectation per entry on a text (a reader's messages, a tool's
// output, a written file): "piece" must be in the text, "!piece" must not, "=whole" is all of it.
// A failure shows the entry and the whole text. Occurrences(text, piece) counts a piece that
// must stand a given number of times.
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qmtest {

inline void ExpectTexts(const std::string& text, const std::vector<std::string>& entries) {
    for (const std::string& entry : entries) {
        if (entry.rfind('=', 0) == 0) {
            EXPECT_EQ(text, entry.substr(1));
        } else if (entry.rfind('!', 0) == 0) {
            EXPECT_EQ(text.find(entry.substr(1)), std::string::npos)
                << "\"" << entry.substr(1) << "\" in:\n"
                << text;
        } else {
            EXPECT_NE(text.find(entry), std::string::npos) << "no \"" << entry << "\" in:\n"
                                                           << text;
        }
    }
}

inline size_t Occurrences(const std::string& text, const std::string& piece) {
    size_t count = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
        ++count;
    return count;
}

}  // namespace qmtest
