// Folder scans: qualifying files, the log, recursion, rescans and the pending list.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "diag/diagnose_lib.h"
#include "diag/odx_folder.h"
#include "pdx_test_support.h"

namespace qm::diag::test {
namespace {

const std::string kOdx = "<?xml version=\"1.0\"?><ODX MODEL-VERSION=\"2.2.0\"/>";

// A library and a fresh folder to scan.
class OdxFolder : public ::testing::Test {
  protected:
    std::string Folder() const { return dir.Path() + "/"; }
    std::string All() const { return dir.Path() + "/*.*"; }
    TempDir dir;
    CDiagnoseLib library;
};

TEST(OdxFolderPattern, SplitsAtBothSlashes) {
    EXPECT_EQ(PatternFolder("dir\\sub/*.*"), "dir/sub/");
    EXPECT_EQ(PatternFolder("/abs\\\\dir//*.odx"), "/abs/dir/");
    EXPECT_EQ(PatternFolder("*.*"), "");
    EXPECT_EQ(PatternFolder("\\share\\x"), "share/");
}

TEST_F(OdxFolder, QualifiesByExtensionAndXmlHead) {
    const std::string xml = dir.Write("y.odxbak", kOdx);
    const std::string text = dir.Write("z.odxbak", "ODX but not xml");
    const std::string late = dir.Write("late.odx", std::string(1100, ' ') + kOdx);
    const std::string upper = dir.Write("w.Odx-D", "<?XML version='1.0'?><ODX/>");
    EXPECT_TRUE(IsOdxFolderFile("y.odxbak", xml));
    EXPECT_FALSE(IsOdxFolderFile("z.odxbak", text));
    EXPECT_FALSE(IsOdxFolderFile("late.odx", late));
    EXPECT_TRUE(IsOdxFolderFile("w.Odx-D", upper));
    EXPECT_FALSE(IsOdxFolderFile("y.xml", xml));
    EXPECT_FALSE(IsOdxFolderFile("missing.odx", dir.Path() + "/missing.odx"));
}

TEST_F(OdxFolder, ScanLogsAndLoadsTheQualifyingFiles) {
    dir.Write("a.odx", kOdx);
    dir.Write("b.odx-d", kOdx);
    dir.Write("c.txt", kOdx);
    dir.Write("d.odxbak", "plain");
    dir.Write("sub/e.odx", kOdx);
    const std::string folder = dir.Path() + "/";
    const std::string pattern = dir.Path() + "\\*.*";
    EXPECT_EQ(library.LoadOdxFolder(pattern.c_str(), 0, 0), 1);
    EXPECT_EQ(std::string(library.GetMessages()),
              "Analysing folder: " + pattern + "\r\nAdded file: " + folder +
                  "a.odx\r\nAdded file: " + folder + "b.odx-d\r\n");
    ASSERT_EQ(library.SourceTree()->children.size(), 2u);
    EXPECT_EQ(library.SourceTree()->children[0]->GetAttribute("DiagnoseLibSrc"), folder + "a.odx");
}

TEST_F(OdxFolder, RecursionScansSubfoldersWithTheirOwnPattern) {
    dir.Write("a.odx", kOdx);
    dir.Write("sub/deeper/e.odx", kOdx);
    EXPECT_EQ(library.LoadOdxFolder(All().c_str(), 1, 0), 1);
    const std::string folder = Folder();
    EXPECT_EQ(std::string(library.GetMessages()),
              "Analysing folder: " + All() + "\r\nAdded file: " + folder +
                  "a.odx\r\nAnalysing folder: " + folder + "sub/*.*\r\nAnalysing folder: " +
                  folder + "sub/deeper/*.*\r\nAdded file: " + folder + "sub/deeper/e.odx\r\n");
    EXPECT_EQ(library.PendingFiles().size(), 2u);
}

TEST_F(OdxFolder, ARescanFindsEverythingOnTheListAndLoadsItAgain) {
    dir.Write("a.odx", kOdx);
    const std::string pattern = dir.Path() + "/*";
    EXPECT_EQ(library.LoadOdxFolder(pattern.c_str(), 0, 0), 1);
    EXPECT_EQ(library.LoadOdxFolder(pattern.c_str(), 0, 0), 1);
    EXPECT_THAT(std::string(library.GetMessages()),
                HasSubstr("File already on list: " + dir.Path() + "/a.odx\r\n"));
    EXPECT_EQ(library.PendingFiles().size(), 1u);
    EXPECT_EQ(library.SourceTree()->children.size(), 2u);
    library.Clear();
    EXPECT_TRUE(library.PendingFiles().empty());
    EXPECT_EQ(library.LoadOdxFolder(pattern.c_str(), 0, 0), 1);
    EXPECT_THAT(std::string(library.GetMessages()), Not(HasSubstr("already")));
}

TEST_F(OdxFolder, APatternThatMatchesNothingFailsButLoadsThePendingList) {
    dir.Write("a.odx", kOdx);
    const std::string none = dir.Path() + "/*.nomatch";
    EXPECT_EQ(library.LoadOdxFolder(none.c_str(), 0, 0), 0);
    EXPECT_EQ(std::string(library.GetMessages()), "Analysing folder: " + none + "\r\n");
    const std::string missing = dir.Path() + "/missing/*.*";
    EXPECT_EQ(library.LoadOdxFolder(missing.c_str(), 1, 1), 0);

    // An empty folder searched with "*.*" still succeeds (its "." entry matches).
    TempDir empty;
    EXPECT_EQ(library.LoadOdxFolder((empty.Path() + "/*.*").c_str(), 0, 0), 1);

    // After one good scan, a failed search still loads what is pending, but reports 0.
    EXPECT_EQ(library.LoadOdxFolder(All().c_str(), 0, 0), 1);
    EXPECT_EQ(library.LoadOdxFolder(none.c_str(), 0, 0), 0);
    EXPECT_EQ(library.SourceTree()->children.size(), 2u);
}

TEST_F(OdxFolder, AFileThatDoesNotParseMakesTheResultZero) {
    dir.Write("a.odx", kOdx);
    dir.Write("b.odx", "<?xml");  // opens, but no element: still read, so still 1
    EXPECT_EQ(library.LoadOdxFolder(All().c_str(), 0, 0), 1);
    std::filesystem::remove(Folder() + "b.odx");
    // The pending path no longer opens: the load of the list fails.
    EXPECT_EQ(library.LoadOdxFolder(All().c_str(), 0, 0), 0);
}

TEST_F(OdxFolder, LinkLoopsEnd) {
    dir.Write("a/x.odx", kOdx);
    std::error_code error;
    std::filesystem::create_directory_symlink(dir.Path(), dir.Path() + "/a/up", error);
    std::filesystem::create_directory_symlink(dir.Path() + "/a", dir.Path() + "/a/self", error);
    if (error) GTEST_SKIP() << "no symbolic links here";
    EXPECT_EQ(library.LoadOdxFolder(All().c_str(), 1, 0), 1);
    EXPECT_EQ(library.PendingFiles().size(), 1u);
}

TEST_F(OdxFolder, ThousandsOfFilesKeepTheirOrderAndStayFast) {
    constexpr int kFiles = 3000;
    for (int i = 0; i < kFiles; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "f%05d.odx", i);
        dir.Write(name, kOdx);
    }
    EXPECT_EQ(library.LoadOdxFolder(All().c_str(), 0, 0), 1);
    EXPECT_EQ(library.LoadOdxFolder(All().c_str(), 0, 0), 1);
    ASSERT_EQ(library.PendingFiles().size(), static_cast<size_t>(kFiles));
    EXPECT_EQ(library.PendingFiles().front(), dir.Path() + "/f00000.odx");
    EXPECT_EQ(library.PendingFiles().back(), dir.Path() + "/f02999.odx");
    EXPECT_EQ(library.SourceTree()->children.size(), 2u * kFiles);
}

}  // namespace
}  // namespace qm::diag::test
