// PDX archives written at test time: members, the exact log, roots, hostile archives.
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

// A library and an archive path in a fresh folder.
class PdxArchive : public ::testing::Test {
  protected:
    // Writes the archive and loads it into the library, built or not.
    uint8_t Load(const std::vector<ZipMember>& members, uint8_t process = 0) {
        EXPECT_TRUE(WriteZip(path, members));
        return library.LoadPdxFile(path.c_str(), process);
    }
    std::vector<NanoXML*>& Roots() { return library.SourceTree()->children; }
    std::string Messages() { return library.GetMessages(); }

    TempDir dir;
    const std::string path = dir.Path() + "/a.pdx";
    CDiagnoseLib library;
};

TEST_F(PdxArchive, CountsOnlyOdxMembersAndLogsEachExactly) {
    EXPECT_EQ(Load({{"a.odx-d", kOdxD},
                    {"b.odx-c", kOdxC},
                    {"index.xml", "<CATALOG/>"},
                    {"odx", "", true, true},
                    {"readme.txt.odxnot", "<?xml?><ODX/>"}}),
              1);
    // "readme.txt.odxnot" begins with "odx" after its last dot: it is an ODX member too.
    EXPECT_EQ(Messages(), DecompressLine("a.odx-d", kOdxD.size(), kOdxD.size()) +
                              DecompressLine("b.odx-c", kOdxC.size(), kOdxC.size()) +
                              DecompressLine("readme.txt.odxnot", 13, 13) +
                              "ODX count in PDX file: 3\r\n");
    ASSERT_EQ(Roots().size(), 3u);
    EXPECT_EQ(Roots()[0]->GetAttribute("DiagnoseLibSrc"), path + "/a.odx-d");
    EXPECT_EQ(Roots()[0]->children.size(), 1u);
    EXPECT_EQ(Roots()[1]->GetAttribute("DiagnoseLibSrc"), path + "/b.odx-c");
    for (NanoXML* root : Roots()) EXPECT_EQ(root->name, "ODX");
    // Upper-case extensions qualify as well.
    EXPECT_EQ(Load({{"x.ODX", kOdxD}, {"y.Odx-D", kOdxD}, {"z.XODX", kOdxD}}), 1);
    EXPECT_THAT(Messages(), HasSubstr("ODX count in PDX file: 2\r\n"));
}

TEST_F(PdxArchive, EmptyMembersAreCountedButNotExtracted) {
    // Nothing was read, so the archive is not a success.
    EXPECT_EQ(Load({{"empty.odx", ""}}, 1), 0);
    EXPECT_EQ(Messages(), DecompressLine("empty.odx", 0, 0) + "ODX count in PDX file: 1\r\n");
    EXPECT_TRUE(Roots().empty());
    EXPECT_EQ(Load({{"empty.odx", ""}, {"full.odx", kOdxD}}), 1);
    EXPECT_EQ(Roots().size(), 1u);
}

TEST_F(PdxArchive, WhatIsNoArchiveGivesZeroAndNoMessage) {
    EXPECT_EQ(library.LoadPdxFile((dir.Path() + "/missing.pdx").c_str(), 1), 0);
    EXPECT_EQ(library.LoadPdxFile(dir.Write("text.pdx", "no zip at all").c_str(), 1), 0);
    EXPECT_EQ(library.LoadPdxFile(nullptr, 1), 0);
    // A corrupt central directory.
    ASSERT_TRUE(WriteZip(path, {{"a.odx", kOdxD}}));
    std::string bytes = qmtest::ReadFile(path);
    const size_t central = bytes.find("PK\x01\x02");
    ASSERT_NE(central, std::string::npos);
    bytes[central + 2] = 'X';
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    EXPECT_EQ(library.LoadPdxFile(path.c_str(), 1), 0);
    EXPECT_STREQ(library.GetMessages(), "");
    EXPECT_TRUE(Roots().empty());
}

TEST_F(PdxArchive, AZipBombStopsAtTheInflationBudget) {
    const std::string zeros(24u << 20, '\0');
    EXPECT_EQ(Load({{"bomb.odx", zeros, false}, {"ok.odx", kOdxD}}), 1);
    ASSERT_LT(PdxInflationBudget(std::filesystem::file_size(path)), zeros.size());
    EXPECT_THAT(Messages(), HasSubstr("ERROR during extracting ODX file from PDX: \"bomb.odx\""));
    // The failure only marks the member: the next one is still read.
    EXPECT_EQ(Roots().size(), 1u);
    EXPECT_THAT(Messages(), HasSubstr("ODX count in PDX file: 2\r\n"));
    // The budget follows the archive's size.
    EXPECT_EQ(PdxInflationBudget(0), 1u << 20);
    EXPECT_EQ(PdxInflationBudget(1u << 20), 256u << 20);
    EXPECT_EQ(PdxInflationBudget(1ull << 40), 2ull << 30);
}

TEST_F(PdxArchive, ArchivesAddUpUntilClear) {
    EXPECT_EQ(Load({{"a.odx", kOdxD}}), 1);
    EXPECT_EQ(library.LoadPdxFile(path.c_str(), 0), 1);
    EXPECT_EQ(Roots().size(), 2u);
    library.Clear();
    EXPECT_TRUE(Roots().empty());
    EXPECT_STREQ(library.GetMessages(), "");
}

}  // namespace
}  // namespace qm::diag::test
