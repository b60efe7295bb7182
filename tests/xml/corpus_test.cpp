// Every XML file of the shared corpus and every XML member of its archives parses, and writing
// it and reading it back gives the same tree.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "corpus_files.h"
#include "platform/zip.h"
#include "quillmere/xml.h"
#include "temp_files.h"
#include "tree_dump.h"

namespace {

namespace fs = std::filesystem;

const fs::path kCorpus = qmtest::CorpusFolder("arxml").parent_path();

using qmtest::ReadFile;

bool LooksLikeXml(const std::string& name) {
    for (const char* extension : {".odx", ".odx-d", ".odx-c", ".odx-cs", ".odx-v", ".odx-f",
                                  ".odx-e", ".odx-fd", ".odx-m", ".xml", ".cdd"}) {
        if (name.size() > std::strlen(extension) &&
            name.compare(name.size() - std::strlen(extension), std::string::npos, extension) == 0) {
            return true;
        }
    }
    return false;
}

void ExpectRoundTrip(const std::string& content, const std::string& label) {
    NanoXML first;
    first.Parse(content.data(), false, content.size(), 0, 0);
    EXPECT_FALSE(first.name.empty()) << label;
    EXPECT_GT(first.CountNodes(), 0u) << label;
    const std::string written = first.Serialize(0, false);
    NanoXML second;
    second.Parse(written.data(), false, written.size(), 0, 0);
    EXPECT_EQ(qm::testing::DumpTree(second, false), qm::testing::DumpTree(first, false)) << label;
}

TEST(Corpus, EveryXmlFileAndArchiveMemberRoundTrips) {
    if (!fs::is_directory(kCorpus)) GTEST_SKIP() << "no corpus at " << kCorpus;
    auto files = qmtest::CorpusFiles("arxml", {".arxml"});
    auto diag = qmtest::CorpusFiles("diag", {".odx", ".odx-d", ".odx-c", ".odx-cs", ".cdd"});
    files.insert(files.end(), diag.begin(), diag.end());
    ASSERT_FALSE(files.empty());
    for (const fs::path& file : files) {
        ExpectRoundTrip(ReadFile(file), file.filename().string());
        NanoXML loaded;
        EXPECT_EQ(loaded.LoadFile(file.string().c_str()), 1) << file;
        EXPECT_TRUE(NanoXML::IsXmlFile(file.string().c_str()) || file.extension() == ".cdd")
            << file;
    }
    size_t members = 0;
    for (const fs::path& archive : qmtest::CorpusFiles("diag", {".pdx"})) {
        qm::platform::ZipReader zip;
        ASSERT_TRUE(zip.Open(archive.string())) << archive;
        for (uint64_t i = 0; i < zip.MemberCount(); ++i) {
            qm::platform::ZipReader::MemberStat stat;
            if (!zip.Stat(i, stat) || zip.IsDirectory(i) || !LooksLikeXml(stat.name)) continue;
            std::string content;
            ASSERT_TRUE(zip.Extract(i, content, 64u << 20)) << archive << ":" << stat.name;
            ExpectRoundTrip(content, archive.filename().string() + ":" + stat.name);
            ++members;
        }
    }
    EXPECT_GT(members, 0u);
}

}  // namespace
