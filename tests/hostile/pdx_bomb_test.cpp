// PDX archives built to hurt: four gigabytes of inflated zeros in every shape a directory can
// lie in, and members that would escape, link, nest or repeat. Each must be refused quickly, in
// little memory, with a warning that names it.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "diag/diagnose_lib.h"
#include "expect_texts.h"
#include "hostile_input.h"
#include "quillmere/xml.h"

namespace qm::hostile {
namespace {

namespace fs = std::filesystem;

// Generous bounds: the reader stops each of these after a few megabytes.
constexpr double kMaxSeconds = 5.0;
constexpr long kMaxPeakKilobytes = 200 * 1024;
constexpr uint64_t kFourGigabytes = 4000ull << 20;

std::string Name(const char* stem, size_t i) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%s%04zu.odx", stem, i);
    return buffer;
}

// One deflated member of 2 MiB zeros, listed 2000 times: by one name, or by 2000.
std::string RepeatedEntry(bool distinctNames) {
    const std::string data = DeflatedZeros(2);
    Entry entry{"bomb.odx", 0, ZerosCrc(2), static_cast<uint32_t>(data.size()), 2u << 20};
    ZipBuilder zip;
    zip.AddLocal(entry, data);
    std::vector<Entry> entries(2000, entry);
    for (size_t i = 0; distinctNames && i < entries.size(); ++i) entries[i].name = Name("m", i);
    return zip.Finish(entries);
}

// Ten members of 400 MiB zeros each, whose headers state the given size.
std::string LyingSizes(uint32_t statedSize) {
    const std::string data = DeflatedZeros(400);
    const uint32_t crc = ZerosCrc(400);
    ZipBuilder zip;
    std::vector<Entry> entries;
    for (size_t i = 0; i < 10; ++i) {
        Entry entry{Name("lie", i), 0, crc, static_cast<uint32_t>(data.size()), statedSize};
        entry.offset = zip.AddLocal(entry, data);
        entries.push_back(entry);
    }
    return zip.Finish(entries);
}

// 1000 entries whose data overlap: each local header is quoted (a stored deflate block) by the
// data of the entry before it, and all end in one kernel of 4 MiB zeros. Every entry is honest
// about its sizes; together they inflate to 4 GB.
std::string OverlappingEntries() {
    constexpr size_t kEntries = 1000;
    std::vector<Entry> entries(kEntries);
    std::string data = DeflatedZeros(4);
    uint32_t size = 4u << 20;
    uint32_t crc = ZerosCrc(4);
    for (size_t i = kEntries; i-- > 0;) {
        entries[i] = Entry{Name("o", i), 0, crc, static_cast<uint32_t>(data.size()), size};
        if (i == 0) break;
        const std::string header = ZipBuilder::LocalHeader(entries[i]);
        std::string quote("\x00", 1);
        Put16(quote, static_cast<uint32_t>(header.size()));
        Put16(quote, static_cast<uint32_t>(~header.size() & 0xFFFF));
        const uLong headerCrc = crc32(0, reinterpret_cast<const Bytef*>(header.data()),
                                      static_cast<uInt>(header.size()));
        crc = static_cast<uint32_t>(crc32_combine(headerCrc, crc, size));
        size += static_cast<uint32_t>(header.size());
        data = quote + header + data;
    }
    ZipBuilder zip;
    zip.AddLocal(entries[0], data);
    uint32_t offset = 0;
    for (size_t i = 1; i < kEntries; ++i) {
        offset += static_cast<uint32_t>(ZipBuilder::LocalHeader(entries[i - 1]).size()) + 5;
        entries[i].offset = offset;
    }
    return zip.Finish(entries);
}

struct BombCase {
    const char* label;
    std::string (*build)();
    uint64_t claimed;  // what the entries inflate to together, by their own data
};

class PdxBomb : public ::testing::TestWithParam<BombCase> {};

TEST_P(PdxBomb, IsRefusedQuicklyInLittleMemoryWithAWarning) {
    const BombCase& bomb = GetParam();
    ASSERT_GE(bomb.claimed, kFourGigabytes);
    Scratch scratch;
    const std::string path = scratch.Write("bomb.pdx", bomb.build());
    const RunResult run = RunTool({"check", path}, scratch.File("out.txt"));
    std::printf("%s: %zu-byte archive, %.3f s, peak %ld MB\n", bomb.label,
                static_cast<size_t>(fs::file_size(path)), run.seconds, run.peakKilobytes / 1024);
    EXPECT_EQ(run.signal, 0);
    // Refused (2), or read in part with warnings (1): never clean.
    EXPECT_TRUE(run.exitCode == 1 || run.exitCode == 2) << run.output.substr(0, 2000);
    EXPECT_LT(run.seconds, kMaxSeconds);
    EXPECT_LT(run.peakKilobytes, kMaxPeakKilobytes);
    EXPECT_THAT(run.output, HasSubstr("PDX member \"")) << run.output.substr(0, 2000);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, PdxBomb,
    ::testing::Values(
        BombCase{"one_name_2000_times", [] { return RepeatedEntry(false); }, 4000ull << 20},
        BombCase{"2000_names_one_member", [] { return RepeatedEntry(true); }, 4000ull << 20},
        BombCase{"sizes_stated_small", [] { return LyingSizes(1000); }, 4000ull << 20},
        BombCase{"sizes_stated_40_mib", [] { return LyingSizes(40u << 20); }, 4000ull << 20},
        BombCase{"overlapping_entries", OverlappingEntries, 1000ull * (4u << 20)}),
    [](const auto& info) { return std::string(info.param.label); });

// Members a careful reader reads once or not at all, each with its own warning line.
TEST(PdxHostileMembers, AreSkippedOrFailedWithAWarningEach) {
    const std::string odx = "<?xml version=\"1.0\"?><ODX MODEL-VERSION=\"2.2.0\"><A/></ODX>";
    const std::string nested = "PK\x03\x04 an archive";
    ZipBuilder zip;
    std::vector<Entry> entries;
    auto add = [&](const std::string& name, const std::string& content, uint32_t external = 0) {
        Entry entry{name,
                    0,
                    Crc(content),
                    static_cast<uint32_t>(content.size()),
                    static_cast<uint32_t>(content.size()),
                    0,
                    external,
                    static_cast<uint16_t>(external != 0 ? (3 << 8) | 20 : 20)};
        entry.offset = zip.AddLocal(entry, content);
        entries.push_back(entry);
        return entry;
    };
    const Entry first = add("a.odx", odx);
    add("copy.odx", odx);
    add("link.odx", "a.odx", 0120777u << 16);
    add("../up.odx", odx + " ");
    add("/abs.odx", odx + "  ");
    add("sub/dir/deep.odx", odx + "   ");  // a folder in its name is no escape
    add("inner.pdx", nested);
    add("zip.odx", nested);
    Entry wrong = first;
    wrong.name = "wrong.odx";
    entries.push_back(wrong);
    Entry lost = first;
    lost.name = "lost.odx";
    lost.offset = 7;
    entries.push_back(lost);
    Scratch scratch;
    const std::string path = scratch.Write("m.pdx", zip.Finish(entries));

    NanoXML::ClearMessageLog();
    CDiagnoseLib library;
    library.LoadPdxFile(path.c_str(), 0);
    ASSERT_EQ(library.SourceTree()->children.size(), 2u);
    EXPECT_EQ(library.SourceTree()->children[1]->GetAttribute("DiagnoseLibSrc"),
              path + "/sub/dir/deep.odx");
    EXPECT_FALSE(fs::exists(scratch.File("sub")));  // members are read in memory
    const std::string messages = library.GetMessages();
    EXPECT_THAT(messages, HasSubstr("ODX count in PDX file: 6\r\n")) << messages;
    for (const char* name : {"wrong.odx", "lost.odx"}) {
        EXPECT_THAT(messages, HasSubstr("ERROR during extracting ODX file from PDX: \"" +
                                        std::string(name) + "\""));
    }
    const std::string log = NanoXML::MessageLog();
    const std::string member = "PDX member \"";
    const std::string of = "\" of \"" + path + "\" ";
    for (const auto& [name, why] : std::vector<std::pair<std::string, std::string>>{
             {"copy.odx", "skipped: the same document as member \"a.odx\""},
             {"link.odx", "skipped: a symbolic link"},
             {"../up.odx", "skipped: an absolute path or a \"..\" in its name"},
             {"/abs.odx", "skipped: an absolute path or a \"..\" in its name"},
             {"inner.pdx", "skipped: an archive inside the archive"},
             {"zip.odx", "skipped: an archive inside the archive"},
             {"wrong.odx", "not read: its local header at offset 0 belongs to \"a.odx\""},
             {"lost.odx", "not read: no local header at offset 7"}}) {
        EXPECT_THAT(log, HasSubstr(member + name + of + why)) << name << "\n" << log;
    }
}

// Sizes that lie in the directory of a stored member: never allocated, a failed extraction.
TEST(PdxHostileMembers, SizesThatLieAreRefusedNotAllocated) {
    Scratch scratch;
    const std::string data = "<ODX/>";
    const std::string huge =
        scratch.Write("h.pdx", ZipBuilder::StoredMember("big.odx", data, 0xFFFFFFF0u));
    NanoXML::ClearMessageLog();
    CDiagnoseLib library;
    EXPECT_EQ(library.LoadPdxFile(huge.c_str(), 1), 0);
    qmtest::ExpectTexts(library.GetMessages(),
                        {"Uncompressed: 4294967280   Compressed:          6\r\n",
                         "ERROR during extracting ODX file from PDX: \"big.odx\" \t\t "
                         "Uncompressed: 4294967280\t\t Compressed: 6\r\n",
                         "ODX count in PDX file: 1\r\n"});
    EXPECT_THAT(NanoXML::MessageLog(), HasSubstr("PDX member \"big.odx\""));

    const std::string odx = "<ODX MODEL-VERSION=\"2.2.0\"/>";
    const std::string small = scratch.Write("l.pdx", ZipBuilder::StoredMember("short.odx", odx, 5));
    CDiagnoseLib shorter;
    EXPECT_EQ(shorter.LoadPdxFile(small.c_str(), 0), 0);
    EXPECT_THAT(std::string(shorter.GetMessages()), HasSubstr("ERROR during extracting"));
}

}  // namespace
}  // namespace qm::hostile
