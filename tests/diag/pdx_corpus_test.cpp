// Every PDX archive of the shared corpus: its members, the log, the attached documents, and
// the model the ODX build makes of them, pinned per file and checked by hand against the files.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "diag/diagnose_lib.h"
#include "diag_test_support.h"

namespace qm::diag::test {
namespace pdx_corpus {
namespace {

struct EcuExpectation {
    const char* name;
    uint8_t base;
    uint64_t services;
    uint64_t dtcs;
};

struct ArchiveExpectation {
    int odxMembers;
    std::vector<EcuExpectation> ecus;
};

// Services are counted after inheritance and duplicate removal; DTCs are those below each
// variant element.
const std::map<std::string, ArchiveExpectation> kExpected = {
    // Three base variants, each with one ECU variant naming its base through a DOCREF, which
    // inherits every service of it.
    {"DTS_Example.pdx",
     {25,
      {{"BV_ACM", 1, 31, 12},
       {"EV_ACM_001", 0, 31, 0},
       {"BV_ECM", 1, 42, 10},
       {"EV_ECM_001", 0, 42, 0},
       {"BV_RCM", 1, 32, 5},
       {"EV_RCM_001", 0, 32, 0}}}},
    {"UDS-ExampleEcu-5.2.1.pdx", {11, {{"Door", 1, 86, 6}, {"DevSample", 0, 0, 0}}}},
    {"odx-converter_synthetic.pdx", {6, {{"SynthECU", 1, 5, 2}, {"SynthVariantA", 0, 6, 0}}}},
    // Communication parameters and protocols only.
    {"opensovd-cda_doip_base.pdx", {6, {}}},
    // The variants' PARENT-REFs carry no DOCREF, so they are looked up in the variant's own
    // layer and stay unresolved: lazy keeps no service, assiduous only its own headstand.
    {"somersault.pdx",
     {7,
      {{"somersault_base_variant", 1, 8, 0},
       {"somersault_lazy", 0, 0, 0},
       {"somersault_assiduous", 0, 1, 0}}}},
};

size_t Occurrences(const std::string& text, const std::string& what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

class PdxCorpus : public ::testing::Test {
  protected:
    void SetUp() override {
        if (qmtest::CorpusFiles("diag", {".pdx"}).empty())
            GTEST_SKIP() << "no corpus at " << CorpusDir();
    }
};

TEST_F(PdxCorpus, EveryArchiveLoadsItsOdxMembersAndBuilds) {
    const auto files = qmtest::CorpusFiles("diag", {".pdx"});
    EXPECT_EQ(files.size(), kExpected.size());
    for (const auto& file : files) {
        SCOPED_TRACE(file.filename().string());
        const auto expected = kExpected.find(file.filename().string());
        ASSERT_NE(expected, kExpected.end());
        CDiagnoseLib library;
        EXPECT_EQ(library.LoadPdxFile(file.c_str(), 1), 1);
        const std::string messages = library.GetMessages();
        const int members = expected->second.odxMembers;
        EXPECT_NE(messages.find("ODX count in PDX file: " + std::to_string(members) + "\r\n"),
                  std::string::npos);
        EXPECT_EQ(Occurrences(messages, "Decompressing ODX out of PDX: \""),
                  static_cast<size_t>(members));
        EXPECT_EQ(messages.find("ERROR"), std::string::npos);
        // Each of these members holds one "ODX" root, marked with the archive and the member.
        ASSERT_EQ(library.SourceTree()->children.size(), static_cast<size_t>(members));
        for (NanoXML* root : library.SourceTree()->children) {
            EXPECT_EQ(root->name, "ODX");
            EXPECT_EQ(root->GetAttribute("DiagnoseLibSrc").rfind(file.string() + "/", 0), 0u);
        }
        // Ran BuildModel: the reference statistics follow the archive's lines.
        EXPECT_NE(messages.find("NEW: Resolved REFS:"), std::string::npos);

        const auto& ecus = expected->second.ecus;
        ASSERT_EQ(library.GetEcuCount(), ecus.size());
        for (size_t i = 0; i < ecus.size(); ++i) {
            IECU* ecu = library.GetEcu(i);
            SCOPED_TRACE(ecus[i].name);
            EXPECT_STREQ(ecu->GetShortName(), ecus[i].name);
            EXPECT_EQ(ecu->IsJobFile(), ecus[i].base);
            EXPECT_EQ(ServiceCount(ecu), ecus[i].services);
            EXPECT_EQ(ecu->GetDtcCount(), ecus[i].dtcs);
        }
    }
}

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
    EXPECT_EQ(messages.find("index.xml"), std::string::npos);
    EXPECT_EQ(messages.find("flashfiles"), std::string::npos);
    EXPECT_EQ(messages.find(".xim"), std::string::npos);
    // Ecu.jpg of the example ECU is no ODX member either.
    CDiagnoseLib door;
    ASSERT_EQ(door.LoadPdxFile((CorpusDir() / "UDS-ExampleEcu-5.2.1.pdx").c_str(), 0), 1);
    EXPECT_EQ(std::string(door.GetMessages()).find("Ecu.jpg"), std::string::npos);
}

TEST_F(PdxCorpus, AModelFromAnArchiveSurvivesTheContainerForm) {
    CDiagnoseLib original;
    ASSERT_EQ(original.LoadPdxFile((CorpusDir() / "DTS_Example.pdx").c_str(), 1), 1);
    TempFile saved("dts_example.xml");
    ASSERT_TRUE(original.SaveXml(saved.Path().c_str()));
    const std::string text = saved.Read();
    const std::string wrapped = "<KOVR>" + text.substr(text.find("<DiagnoseLib")) + "</KOVR>";
    CDiagnoseLib copy;
    ASSERT_EQ(copy.LoadContainerText(wrapped.c_str(), 1), 1);
    ExpectSameModel(original, copy);
}

TEST_F(PdxCorpus, TheCorpusFolderScansLikeLooseFiles) {
    // The folder holds the single-file ODX documents; the archives are no ODX files.
    CDiagnoseLib library;
    const std::string pattern = CorpusDir().string() + "/*.*";
    EXPECT_EQ(library.LoadOdxFolder(pattern.c_str(), 0, 1), 1);
    const std::string messages = library.GetMessages();
    EXPECT_EQ(Occurrences(messages, "Added file: "), 8u);
    EXPECT_EQ(messages.find(".pdx"), std::string::npos);
    EXPECT_EQ(messages.find(".cdd"), std::string::npos);
    EXPECT_GE(library.GetEcuCount(), 6u);
}

}  // namespace
}  // namespace pdx_corpus
}  // namespace qm::diag::test
