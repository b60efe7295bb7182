// The tool's text-encoding module: UTF-8 validation at its edges, conversion of code pages
// with replacement characters instead of failures.
#include "text_encoding.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

using qmtool::IsValidUtf8;
using qmtool::SanitizeUtf8;
using qmtool::TextDecoder;

const std::string kReplacement = "\xEF\xBF\xBD";

TEST(Utf8, ValidationFollowsTheWellFormedTable) {
    // Empty, ASCII, the degree sign, the euro sign, an emoji, U+10FFFF.
    for (const char* text :
         {"", "plain", "\xC2\xB0", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xF4\x8F\xBF\xBF"}) {
        EXPECT_TRUE(IsValidUtf8(text)) << text;
    }
    // A lone continuation, overlong NUL and '/', a surrogate, beyond U+10FFFF, cut at the end.
    for (const char* text : {"\xB0", "\xC0\x80", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                             "\xE2\x82", "\xFF"}) {
        EXPECT_FALSE(IsValidUtf8(text)) << text;
    }
}

// ASCII is passed eight bytes at a time: a bad byte is found wherever it stands in or after
// such a run, and a sequence may straddle the end of one.
TEST(Utf8, ValidationFindsBadBytesAtEveryPlaceInLongAsciiRuns) {
    for (size_t at = 0; at < 24; ++at) {
        std::string text(24, 'a');
        text[at] = '\xB0';
        EXPECT_FALSE(IsValidUtf8(text)) << at;
        if (at + 1 == text.size()) continue;
        std::string straddling(24, 'a');
        straddling.replace(at, 2, "\xC2\xB0");
        EXPECT_TRUE(IsValidUtf8(straddling)) << at;
    }
    EXPECT_FALSE(IsValidUtf8(std::string(15, 'a') + "\xE2\x82"));
}

TEST(Utf8, SanitizingReplacesEachBadByteAndKeepsGoodSequences) {
    EXPECT_EQ(SanitizeUtf8("a\xB0"
                           "b"),
              "a" + kReplacement + "b");
    EXPECT_EQ(SanitizeUtf8("\xE2\x82"), kReplacement + kReplacement);
    EXPECT_EQ(SanitizeUtf8("\xE2\x82\xAC\xFF"), "\xE2\x82\xAC" + kReplacement);
    EXPECT_TRUE(IsValidUtf8(SanitizeUtf8(std::string("\xC0\x80\xED\xA0\x80\x00x", 7))));
}

TEST(TextDecoder, DecidesByTheBytesUnlessTold) {
    EXPECT_EQ(TextDecoder::ForBytes("ascii only", "").Name(), "UTF-8");
    EXPECT_EQ(TextDecoder::ForBytes("360\xC2\xB0", "").Name(), "UTF-8");
    EXPECT_EQ(TextDecoder::ForBytes("360\xB0", "").Name(), "CP1252");
    EXPECT_EQ(TextDecoder::ForBytes("360\xC2\xB0", "latin1").Name(), "latin1");
    EXPECT_THROW(TextDecoder("no-such-code-page"), qmtool::UnknownEncoding);
}

// A file's bytes decide, the whole file read: a cp1252 byte far from the start counts.
TEST(TextDecoder, FilesAreJudgedByAllTheirBytes) {
    const auto path = std::filesystem::temp_directory_path() / "qm_text_encoding_sniff.ldf";
    const auto judged = [&](const std::string& end) {
        std::ofstream(path, std::ios::binary) << std::string(100000, 'a') << end;
        return TextDecoder::ForFile(path.string(), "").Name();
    };
    EXPECT_EQ(judged("360\xB0"), "CP1252");
    EXPECT_EQ(judged("360\xC2\xB0"), "UTF-8");
    std::filesystem::remove(path);
    EXPECT_EQ(TextDecoder::ForFile(path.string(), "").Name(), "UTF-8");  // unreadable: the default
}

TEST(TextDecoder, Cp1252MapsItsHighHalfAndMarksItsHoles) {
    const TextDecoder cp1252(TextDecoder::kCp1252);
    EXPECT_EQ(cp1252.ToUtf8("360\xB0"), "360\xC2\xB0");
    EXPECT_EQ(cp1252.ToUtf8("\x80"), "\xE2\x82\xAC");
    EXPECT_EQ(cp1252.ToUtf8("\x93x\x94"), "\xE2\x80\x9Cx\xE2\x80\x9D");
    // 0x81 and 0x9D are no characters of cp1252.
    EXPECT_EQ(cp1252.ToUtf8("a\x81"
                            "b\x9D"),
              "a" + kReplacement + "b" + kReplacement);
    EXPECT_EQ(cp1252.FromUtf8("\xE2\x82\xAC 5"), "\x80 5");
}

TEST(TextDecoder, MultiByteCodePagesResynchroniseAfterABadByte) {
    const TextDecoder gbk("gbk");
    EXPECT_EQ(gbk.ToUtf8("\xC6\xF0\xCA\xBC"), "\xE8\xB5\xB7\xE5\xA7\x8B");  // 起始
    // A lead byte cut off at the end, and one followed by a byte that cannot trail it.
    EXPECT_EQ(gbk.ToUtf8("\xC6\xF0\xC6"), "\xE8\xB5\xB7" + kReplacement);
    const std::string mixed = gbk.ToUtf8(
        "\xFF"
        "a\xC6\xF0");
    EXPECT_TRUE(IsValidUtf8(mixed));
    EXPECT_NE(mixed.find("a\xE8\xB5\xB7"), std::string::npos);
    EXPECT_EQ(gbk.FromUtf8("\xE8\xB5\xB7"), "\xC6\xF0");
}

TEST(TextDecoder, ForcedUtf8StillPrintsWellFormedText) {
    const TextDecoder utf8("utf-8");
    EXPECT_EQ(utf8.ToUtf8("\xB0"), kReplacement);
    EXPECT_EQ(utf8.ToUtf8("\xC2\xB0"), "\xC2\xB0");
    EXPECT_EQ(utf8.FromUtf8("\xC2\xB0"), "\xC2\xB0");
}

}  // namespace
