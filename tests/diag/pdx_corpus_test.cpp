// Every PDX archive of the shared corpus: its members, the log, the attached documents, and
// the model the ODX build makes of them, pinned per file and checked by hand against the files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diag/diagnose_lib.h"
#include "diag_test_support.h"

namespace qm::diag::test {
namespace pdx_corpus {
namespace {

class PdxCorpus : public ::testing::Test {
  protected:
    void SetUp() override {
        if (qmtest::CorpusFiles("diag", {".pdx"}).empty())
            GTEST_SKIP() << "no corpus at " << CorpusDir();
    }
};

TEST_F(PdxCorpus, ArchiveAndLooseMembersGiveTheSameModel) {
    // Loading without the build and building once gives what process 1 gives.
    const auto path = CorpusDir() / "odx-converter_synthetic.pdx";
    CDiagnoseLib direct, deferred;
    ASSERT_EQ(direct.LoadPdxFile(path.c_str(), 1), 1);
    ASSERT_EQ(deferred.LoadPdxFile(path.c_str(), 0), 1);
    EXPECT_EQ(deferred.GetEcuCount(), 0u);
    EXPECT_EQ(deferred.BuildModel(), 1);
    ExpectSameModel(direct, deferred);
}

TEST_F(PdxCorpus, DirectoryEntriesAndOtherMembersAreSkipped) {
    // DTS_Example keeps its flashfiles/ and sim/ directory entries, a simulation file and an
    // index.xml naming members that are absent; none of that is an error.
    CDiagnoseLib library;
    ASSERT_EQ(library.LoadPdxFile((CorpusDir() / "DTS_Example.pdx").c_str(), 0), 1);
    const std::string messages = library.GetMessages();
    EXPECT_THAT(messages, Not(HasSubstr("index.xml")));
    EXPECT_THAT(messages, Not(HasSubstr("flashfiles")));
    EXPECT_THAT(messages, Not(HasSubstr(".xim")));
    // Ecu.jpg of the example ECU is no ODX member either.
    CDiagnoseLib door;
    ASSERT_EQ(door.LoadPdxFile((CorpusDir() / "UDS-ExampleEcu-5.2.1.pdx").c_str(), 0), 1);
    EXPECT_THAT(std::string(door.GetMessages()), Not(HasSubstr("Ecu.jpg")));
}

TEST_F(PdxCorpus, TheCorpusFolderScansLikeLooseFiles) {
    // The folder holds the single-file ODX documents; the archives are no ODX files.
    CDiagnoseLib library;
    const std::string pattern = CorpusDir().string() + "/*.*";
    EXPECT_EQ(library.LoadOdxFolder(pattern.c_str(), 0, 1), 1);
    const std::string messages = library.GetMessages();
    EXPECT_EQ(Occurrences(messages, "Added file: "), 8u);
    EXPECT_THAT(messages, Not(HasSubstr(".pdx")));
    EXPECT_THAT(messages, Not(HasSubstr(".cdd")));
    EXPECT_GE(library.GetEcuCount(), 6u);
}

}  // namespace
}  // namespace pdx_corpus
}  // namespace qm::diag::test
