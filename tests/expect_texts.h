#pragma once
// ExpectTexts(text, {...}): one expectation per entry on a text (a reader's messages, a tool's
// output, a written file): "piece" must be in the text, "!piece" must not, "=whole" is all of it.
// A failure shows the entry and the whole text.
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

}  // namespace qmtest
