#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include "diag/pdx_test_support.h"
#include "expect_fields.h"
#include "platform/clock.h"
#include "platform/dirsearch.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/zip.h"
#include "temp_files.h"

namespace fs = std::filesystem;
using namespace qm::platform;

namespace {

class TempDir : public ::testing::Test {
  protected:
    std::string PathOf(const std::string& name) const { return folder_.File(name); }
    qmtest::TempFolder folder_;
    const fs::path& dir_ = folder_.Path();
};

}  // namespace

TEST(Paths, WidenAndNarrowAreBytewise) {
    const std::string bytes = "a\xe4\xff/x";
    const std::wstring wide = Widen(bytes);
    ASSERT_EQ(wide.size(), bytes.size());
    EXPECT_EQ(wide[1], static_cast<wchar_t>(0xE4));
    EXPECT_EQ(wide[2], static_cast<wchar_t>(0xFF));
    EXPECT_EQ(Narrow(wide), bytes);
    // Narrowing keeps only the low byte of a wide character.
    EXPECT_EQ(Narrow(std::wstring(1, static_cast<wchar_t>(0x1234))), "\x34");
}

TEST(Clock, TickCountAdvancesAndLocalTimeHasItsFormat) {
    const uint32_t first = TickCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const uint32_t elapsed = TickCount() - first;
    EXPECT_GE(elapsed, 15u);
    EXPECT_LT(elapsed, 5000u);
    EXPECT_TRUE(
        std::regex_match(LocalTimeText(), std::regex(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2})")));
}

TEST_F(TempDir, ReadsWholeFilesIncludingNulBytes) {
    const std::string content("x\0y\r\nz", 6);
    FileStatus written = WriteFile(PathOf("a.bin"), content);
    ASSERT_TRUE(written.ok);
    EXPECT_TRUE(written.opened);
    std::string read;
    ASSERT_TRUE(ReadWholeFile(PathOf("a.bin"), read).ok);
    EXPECT_EQ(read, content);
    ASSERT_TRUE(ReadWholeFile(Widen(PathOf("a.bin")), read).ok);
    EXPECT_EQ(read, content);

    ASSERT_TRUE(WriteFile(PathOf("empty"), "").ok);
    ASSERT_TRUE(ReadWholeFile(PathOf("empty"), read).ok);
    EXPECT_TRUE(read.empty());
}

TEST_F(TempDir, ReadFailureCarriesErrnoAndText) {
    std::string read = "stale";
    FileStatus status = ReadWholeFile(PathOf("missing"), read);
    EXPECT_FALSE(status.ok);
    EXPECT_EQ(status.errorNumber, ENOENT);
    QM_EXPECT_FIELDS(status, (errorText, "No such file or directory"), (opened, false));
    EXPECT_TRUE(read.empty());
    EXPECT_EQ(ReadWholeFile(dir_.string(), read).errorNumber, EISDIR);
}

TEST_F(TempDir, AtomicWriteReplacesAndLeavesNoTemporary) {
    const std::string target = PathOf("out.txt");
    ASSERT_TRUE(WriteFileAtomic(target, "old").ok);
    ASSERT_TRUE(WriteFileAtomic(Widen(target), "new content").ok);
    EXPECT_EQ(qmtest::ReadFile(target), "new content");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(TempDir, FailedAtomicWriteKeepsThePreviousFile) {
    // A directory in the way of the rename makes the replacement fail after the data was written.
    const std::string target = PathOf("blocked");
    fs::create_directories(target);
    std::ofstream(target + "/keep") << "kept";
    FileStatus status = WriteFileAtomic(target, "data");
    EXPECT_FALSE(status.ok);
    EXPECT_NE(status.errorNumber, 0);
    EXPECT_EQ(qmtest::ReadFile(target + "/keep"), "kept");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);

    EXPECT_FALSE(WriteFileAtomic(PathOf("no/such/dir/file"), "x").ok);
    EXPECT_FALSE(WriteFile(PathOf("no/such/dir/file"), "x").ok);
    EXPECT_FALSE(WriteFile(PathOf("no/such/dir/file"), "x").opened);
    // A device that refuses the data is opened, then fails.
    if (FileExists("/dev/full")) {
        FileStatus full = WriteFile("/dev/full", "data");
        QM_EXPECT_FIELDS(full, (ok, false), (opened, true));
        EXPECT_EQ(full.errorNumber, ENOSPC);
    }
}

TEST_F(TempDir, DirectorySearchMatchesPatternsWithEitherSeparator) {
    fs::create_directories(dir_ / "sub");
    for (const char* name : {"b.odx", "a.odx-d", "c.txt"}) std::ofstream(PathOf(name)) << "x";

    auto all = FindFiles(dir_.string() + "\\*.*");
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0].name, "a.odx-d");
    EXPECT_EQ(all[0].path, dir_.string() + "/a.odx-d");
    QM_EXPECT_FIELDS(all[3], (isDirectory, true), (name, "sub"));

    auto odx = FindFiles(dir_.string() + "/*.odx*");
    ASSERT_EQ(odx.size(), 2u);
    EXPECT_EQ(odx[1].name, "b.odx");
    EXPECT_EQ(FindFiles(dir_.string() + "/*").size(), 4u);
    EXPECT_TRUE(FindFiles(PathOf("missing") + "/*").empty());
    // An absolute pattern keeps its leading slash.
    EXPECT_EQ(FindFiles(dir_.string() + "/c.txt").at(0).path.front(), '/');
}

TEST_F(TempDir, DirectorySearchSucceedsLikeAFirstFileSearch) {
    std::vector<DirEntry> entries;
    // An empty folder: "*.*" and "*" still find its "." entry, a narrower pattern finds nothing.
    EXPECT_TRUE(FindFiles(dir_.string() + "/*.*", entries));
    EXPECT_TRUE(entries.empty());
    EXPECT_TRUE(FindFiles(dir_.string() + "\\*", entries));
    EXPECT_FALSE(FindFiles(dir_.string() + "/*.odx", entries));
    EXPECT_FALSE(FindFiles(PathOf("missing") + "/*.*", entries));
    std::ofstream(PathOf("a.odx")) << "x";
    EXPECT_TRUE(FindFiles(dir_.string() + "/*.odx", entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "a.odx");
}

TEST_F(TempDir, ZipReaderListsStatsAndExtractsMembers) {
    const std::string archivePath = PathOf("test.pdx");
    const std::string big(100000, 'z');
    ASSERT_TRUE(qm::diag::test::WriteZip(
        archivePath,
        {{"index.odx", "<ODX/>"}, {"folder", "", true, true}, {"folder/big.odx-d", big, false}}));

    ZipReader zip;
    ASSERT_TRUE(zip.Open(archivePath));
    ASSERT_EQ(zip.MemberCount(), 3u);
    ZipReader::MemberStat stat;
    ASSERT_TRUE(zip.Stat(0, stat));
    QM_EXPECT_FIELDS(stat, (name, "index.odx"), (size, 6u));
    QM_EXPECT_FIELDS(zip, (IsDirectory(0), false), (IsDirectory(1), true));

    std::string out;
    ASSERT_TRUE(zip.Extract(0, out, 1 << 20));
    EXPECT_EQ(out, "<ODX/>");
    ASSERT_TRUE(zip.Stat(2, stat));
    EXPECT_EQ(stat.size, big.size());
    EXPECT_LT(stat.compressedSize, stat.size);
    ASSERT_TRUE(zip.Extract(2, out, 1 << 20));
    EXPECT_EQ(out, big);

    // A member larger than the caller allows is refused, not allocated.
    EXPECT_FALSE(zip.Extract(2, out, 1000));
    EXPECT_TRUE(out.empty());
    EXPECT_NE(zip.LastError().find("limit"), std::string::npos);
    EXPECT_FALSE(zip.Stat(7, stat));
}

TEST_F(TempDir, ZipReaderRefusesWhatIsNoArchive) {
    std::ofstream(PathOf("not.pdx")) << "plain text, no zip";
    ZipReader zip;
    EXPECT_FALSE(zip.Open(PathOf("not.pdx")));
    EXPECT_FALSE(zip.LastError().empty());
    EXPECT_FALSE(zip.Open(PathOf("missing.pdx")));
    QM_EXPECT_FIELDS(zip, (IsOpen(), false), (MemberCount(), 0u));
}
