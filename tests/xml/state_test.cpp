#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "quillmere/xml.h"

namespace {

// Two threads log and parse at once: every line arrives whole and nothing races (this test
// is most telling under ThreadSanitizer or AddressSanitizer).
TEST(ProcessState, LogIsSafeFromTwoThreads) {
    NanoXML::ClearMessageLog();
    constexpr int kLines = 5000;
    auto work = [](char tag) {
        const std::string line = std::string(40, tag) + "\r\n";
        const std::string document = "<r><c k='v'>t</c></r>";
        for (int i = 0; i < kLines; ++i) {
            NanoXML::AppendMessage(line);
            NanoXML root;
            root.Parse(document.data(), false, document.size(), 0, 0);
            (void)NanoXML::LoadedFiles();
        }
    };
    std::thread first(work, 'a');
    std::thread second(work, 'b');
    first.join();
    second.join();
    const std::string log = NanoXML::MessageLog();
    ASSERT_EQ(log.size(), 2u * kLines * 42);
    for (size_t at = 0; at < log.size(); at += 42) {
        ASSERT_EQ(log.substr(at, 40), std::string(40, log[at]));
        ASSERT_EQ(log.substr(at + 40, 2), "\r\n");
    }
    NanoXML::ClearMessageLog();
    EXPECT_EQ(NanoXML::MessageLog(), "");
}

}  // namespace
