// PDX archives written at test time: which members count, the exact log, attached roots, and
// archives that lie, explode or break.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "diag/diagnose_lib.h"
#include "diag/pdx_archive.h"
#include "pdx_test_support.h"
#include "quillmere/xml.h"

namespace qm::diag::test {
namespace {

const std::string kOdxD = "<?xml version=\"1.0\"?>\n<ODX MODEL-VERSION=\"2.2.0\"><A/></ODX>";
const std::string kOdxC = "<?xml version=\"1.0\"?><ODX MODEL-VERSION=\"2.2.0\"/><EXTRA/>";

std::string DecompressLine(const std::string& name, size_t size, size_t compressed) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer,
                  "Decompressing ODX out of PDX: \"%s\"\r\nUncompressed: %10zu   Compressed: "
                  "%10zu\r\n",
                  name.c_str(), size, compressed);
    return buffer;
}

std::vector<NanoXML*> AttachedRoots(CDiagnoseLib& library) {
    return library.SourceTree()->children;
}

TEST(PdxArchive, CountsOnlyOdxMembersAndLogsEachExactly) {
    TempDir dir("count");
    const std::string path = dir.Path() + "/two.pdx";
    ASSERT_TRUE(WriteZip(path, {{"a.odx-d", kOdxD},
                                {"b.odx-c", kOdxC},
                                {"index.xml", "<CATALOG/>"},
                                {"odx", "", true, true},
                                {"readme.txt.odxnot", "<?xml?><ODX/>"}}));
    CDiagnoseLib library;
    EXPECT_EQ(library.LoadPdxFile(path.c_str(), 0), 1);
    // "readme.txt.odxnot" begins with "odx" after its last dot: it is an ODX member too.
    EXPECT_EQ(std::string(library.GetMessages()),
              DecompressLine("a.odx-d", kOdxD.size(), kOdxD.size()) +
                  DecompressLine("b.odx-c", kOdxC.size(), kOdxC.size()) +
                  DecompressLine("readme.txt.odxnot", 13, 13) + "ODX count in PDX file: 3\r\n");
    const auto roots = AttachedRoots(library);
    ASSERT_EQ(roots.size(), 3u);
    EXPECT_EQ(roots[0]->GetAttribute("DiagnoseLibSrc"), path + "/a.odx-d");
    EXPECT_EQ(roots[0]->children.size(), 1u);
    EXPECT_EQ(roots[1]->GetAttribute("DiagnoseLibSrc"), path + "/b.odx-c");
    for (NanoXML* root : roots) EXPECT_EQ(root->name, "ODX");
}

TEST(PdxArchive, UpperCaseExtensionsQualify) {
    TempDir dir("upper");
    const std::string path = dir.Path() + "/u.pdx";
    ASSERT_TRUE(WriteZip(path, {{"x.ODX", kOdxD}, {"y.Odx-D", kOdxD}, {"z.XODX", kOdxD}}));
    CDiagnoseLib library;
    EXPECT_EQ(library.LoadPdxFile(path.c_str(), 0), 1);
    EXPECT_THAT(std::string(library.GetMessages()), HasSubstr("ODX count in PDX file: 2\r\n"));
}

TEST(PdxArchive, EmptyMembersAreCountedButNotExtracted) {
    TempDir dir("empty");
    const std::string path = dir.Path() + "/e.pdx";
    ASSERT_TRUE(WriteZip(path, {{"empty.odx", ""}}));
    CDiagnoseLib library;
    // Nothing was read, so the archive is not a success.
    EXPECT_EQ(library.LoadPdxFile(path.c_str(), 1), 0);
    EXPECT_EQ(std::string(library.GetMessages()),
              DecompressLine("empty.odx", 0, 0) + "ODX count in PDX file: 1\r\n");
    EXPECT_TRUE(AttachedRoots(library).empty());

    ASSERT_TRUE(WriteZip(path, {{"empty.odx", ""}, {"full.odx", kOdxD}}));
    CDiagnoseLib second;
    EXPECT_EQ(second.LoadPdxFile(path.c_str(), 0), 1);
    EXPECT_EQ(AttachedRoots(second).size(), 1u);
}

TEST(PdxArchive, WhatIsNoArchiveGivesZeroAndNoMessage) {
    TempDir dir("none");
    CDiagnoseLib library;
    EXPECT_EQ(library.LoadPdxFile((dir.Path() + "/missing.pdx").c_str(), 1), 0);
    const std::string text = dir.Write("text.pdx", "no zip at all");
    EXPECT_EQ(library.LoadPdxFile(text.c_str(), 1), 0);
    EXPECT_EQ(library.LoadPdxFile(nullptr, 1), 0);
    EXPECT_STREQ(library.GetMessages(), "");
}

TEST(PdxArchive, CorruptCentralDirectoryIsRefused) {
    TempDir dir("corrupt");
    const std::string path = dir.Path() + "/c.pdx";
    ASSERT_TRUE(WriteZip(path, {{"a.odx", kOdxD}}));
    std::string bytes;
    {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    const size_t central = bytes.find("PK\x01\x02");
    ASSERT_NE(central, std::string::npos);
    bytes[central + 2] = 'X';
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    CDiagnoseLib library;
    EXPECT_EQ(library.LoadPdxFile(path.c_str(), 1), 0);
    EXPECT_STREQ(library.GetMessages(), "");
    EXPECT_TRUE(AttachedRoots(library).empty());
}

TEST(PdxArchive, AMemberClaimingAHugeSizeIsRefusedNotAllocated) {
    TempDir dir("huge");
    const std::string data = "<ODX/>";
    const std::string path = dir.Write(
        "h.pdx", HandMadeZip("big.odx", data, 0xFFFFFFF0u, static_cast<uint32_t>(data.size())));
    NanoXML::ClearMessageLog();
    CDiagnoseLib library;
    EXPECT_EQ(library.LoadPdxFile(path.c_str(), 1), 0);
    const std::string messages = library.GetMessages();
    EXPECT_THAT(messages, HasSubstr("Uncompressed: 4294967280   Compressed:          6\r\n"));
    EXPECT_THAT(messages, HasSubstr("ERROR during extracting ODX file from PDX: \"big.odx\" \t\t "
                                    "Uncompressed: 4294967280\t\t Compressed: 6\r\n"));
    EXPECT_THAT(messages, HasSubstr("ODX count in PDX file: 1\r\n"));
    EXPECT_THAT(NanoXML::MessageLog(), HasSubstr("PDX member \"big.odx\""));
}

TEST(PdxArchive, AMemberWhoseSizeLiesIsAFailedExtraction) {
    TempDir dir("lie");
    const std::string data = "<ODX MODEL-VERSION=\"2.2.0\"/>";
    const std::string path =
        dir.Write("l.pdx", HandMadeZip("short.odx", data, 5, static_cast<uint32_t>(data.size())));
    CDiagnoseLib library;
    EXPECT_EQ(library.LoadPdxFile(path.c_str(), 0), 0);
    EXPECT_THAT(std::string(library.GetMessages()), HasSubstr("ERROR during extracting"));
}

TEST(PdxArchive, AZipBombStopsAtTheInflationBudget) {
    TempDir dir("bomb");
    const std::string path = dir.Path() + "/bomb.pdx";
    const std::string zeros(24u << 20, '\0');
    ASSERT_TRUE(WriteZip(path, {{"bomb.odx", zeros, false}, {"ok.odx", kOdxD}}));
    const auto archiveSize = std::filesystem::file_size(path);
    ASSERT_LT(PdxInflationBudget(archiveSize), zeros.size());
    CDiagnoseLib library;
    EXPECT_EQ(library.LoadPdxFile(path.c_str(), 0), 1);
    const std::string messages = library.GetMessages();
    EXPECT_THAT(messages, HasSubstr("ERROR during extracting ODX file from PDX: \"bomb.odx\""));
    // The failure only marks the member: the next one is still read.
    EXPECT_EQ(AttachedRoots(library).size(), 1u);
    EXPECT_THAT(messages, HasSubstr("ODX count in PDX file: 2\r\n"));
}

TEST(PdxArchive, InflationBudgetFollowsTheArchiveSize) {
    EXPECT_EQ(PdxInflationBudget(0), 1u << 20);
    EXPECT_EQ(PdxInflationBudget(1u << 20), 256u << 20);
    EXPECT_EQ(PdxInflationBudget(1ull << 40), 2ull << 30);
}

TEST(PdxArchive, ArchivesAddUpUntilClear) {
    TempDir dir("twice");
    const std::string path = dir.Path() + "/t.pdx";
    ASSERT_TRUE(WriteZip(path, {{"a.odx", kOdxD}}));
    CDiagnoseLib library;
    EXPECT_EQ(library.LoadPdxFile(path.c_str(), 0), 1);
    EXPECT_EQ(library.LoadPdxFile(path.c_str(), 0), 1);
    EXPECT_EQ(AttachedRoots(library).size(), 2u);
    library.Clear();
    EXPECT_TRUE(AttachedRoots(library).empty());
    EXPECT_STREQ(library.GetMessages(), "");
}

}  // namespace
}  // namespace qm::diag::test
