#include "xml/text.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "quillmere/xml.h"

namespace {

using namespace qm;

TEST(TextTrim, RemovesIsspaceCharactersOnTheChosenSide) {
    std::string s = " \t\r\n x y \v\f";
    std::string left = s, right = s, both = s;
    TrimLeft(left);
    TrimRight(right);
    Trim(both);
    EXPECT_EQ(left, "x y \v\f");
    EXPECT_EQ(right, " \t\r\n x y");
    EXPECT_EQ(both, "x y");
    std::string blank = " \t ";
    Trim(blank);
    EXPECT_EQ(blank, "");
}

TEST(TextCase, MapsOnlyAsciiLetters) {
    EXPECT_EQ(ToUpper("abz-AZ09\xE4"), "ABZ-AZ09\xE4");
    EXPECT_EQ(ToLower("ABZ-az09\xC4"), "abz-az09\xC4");
}

TEST(TextStripQuotes, RemovesOnlyMatchingPairs) {
    const std::pair<std::string, std::string> cases[] = {{"\"abc\"", "abc"},   {"'abc'", "abc"},
                                                         {"\"\"", ""},         {"\"", "\""},
                                                         {"\"abc'", "\"abc'"}, {"abc\"", "abc\""}};
    for (auto [text, stripped] : cases) {
        StripQuotes(text);
        EXPECT_EQ(text, stripped);
    }
}

TEST(TextReplaceAll, DoesNotRescanInsertedText) {
    std::string s = "aaa";
    EXPECT_EQ(ReplaceAll(s, "a", "aa"), 3);
    EXPECT_EQ(s, "aaaaaa");
    s = "xabcabx";
    EXPECT_EQ(ReplaceAll(s, "ab", ""), 2);
    EXPECT_EQ(s, "xcx");
    s = "aaaa";
    EXPECT_EQ(ReplaceAll(s, "aa", "b"), 2);
    EXPECT_EQ(s, "bb");
    EXPECT_EQ(ReplaceAll(s, "", "z"), 0);
    EXPECT_EQ(s, "bb");
}

// The Latin-1 table by name and number; "&amp;" and references it does not know stay as written.
TEST(TextDecodeEntities, DecodesTheLatin1TableAndLeavesTheRest) {
    const struct {
        std::string text;
        int decoded;
        std::string result;
    } cases[] = {{"&nbsp;&yuml;&Auml;&szlig;&lt;x&gt;", 6, "\xA0\xFF\xC4\xDF<x>"},
                 {"&#x80;&#x9F;&#x8A;&#246;&#214;&#228;&#196;&#252;&#220;&#223;&#243;", 11,
                  "\x80\x9F\x8A\xF6\xD6\xE4\xC4\xFC\xDC\xDF\xF3"},
                 {"a &amp; b", 0, "a &amp; b"},
                 {"a &lt b", 0, "a &lt b"},
                 {"&#xA0; &#247; &&lt;; &Lt; &lt", 1, "&#xA0; &#247; &<; &Lt; &lt"}};
    for (auto c : cases) {
        EXPECT_EQ(DecodeEntities(c.text), c.decoded) << c.result;
        EXPECT_EQ(c.text, c.result);
    }
}

TEST(TextBool, FormatsAndParsesExactly) {
    EXPECT_STREQ(ToBoolString(true), "true");
    EXPECT_STREQ(ToBoolString(false), "false");
    EXPECT_TRUE(ParseBool("true"));
    EXPECT_FALSE(ParseBool("false"));
    try {
        ParseBool("True");
        FAIL() << "no exception";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "Value: True is not convertible to bool!");
    }
}

TEST(TextLiterals, ClassifiesIntegersAndHex) {
    for (const char* yes : {"0", "-12", "12ul", "12U", "7LL", "7l", "12ULL", "-"}) {
        EXPECT_TRUE(IsIntegerLiteral(yes)) << yes;
    }
    for (const char* no : {"", "1.5", "12UUL", "12LU", "0x10", "+1", "1 ", "-U"}) {
        EXPECT_FALSE(IsIntegerLiteral(no)) << no;
    }
    for (const char* yes : {"0x0", "0xDEADbeef"}) EXPECT_TRUE(IsHexLiteral(yes)) << yes;
    for (const char* no : {"0x", "0X12", "0x1g", "12"}) EXPECT_FALSE(IsHexLiteral(no)) << no;
}

TEST(TextFormat, FormatsHexDoubleAndMilliseconds) {
    EXPECT_EQ(FormatHexByte(5), "0x05");
    EXPECT_EQ(FormatHexByte(300), "0x12C");
    EXPECT_EQ(FormatHex16(5), "0x0005");
    EXPECT_EQ(FormatHex16(171), "0x00AB");
    EXPECT_EQ(FormatHex16(0x12345), "0x12345");
    EXPECT_EQ(FormatDouble(1.5, 3, false), "1.500");
    EXPECT_EQ(FormatDouble(1500.0, 2, true), "1.50e+03");
    EXPECT_EQ(FormatMilliseconds(100, 350), "250ms");
    // Tick counts wrap at 32 bits.
    EXPECT_EQ(FormatMilliseconds(0xFFFFFFF0u, 0x10u), "32ms");
}

TEST(TextPaths, SplitsFileNamesAndDirectories) {
    EXPECT_EQ(FileNameOfPath(L"/data/net/a.dbc"), L"a.dbc");
    EXPECT_EQ(FileNameOfPath(L"/a.dbc"), L"/a.dbc");
    EXPECT_EQ(FileNameOfPath(L"c:\\x\\a.dbc"), L"c:\\x\\a.dbc");
    EXPECT_EQ(FileNameOfPath(L"dir/"), L"");
    EXPECT_EQ(StripExtension(L"a.dbc"), L"a");
    EXPECT_EQ(StripExtension(L".dbc"), L"");
    EXPECT_EQ(StripExtension(L"abc"), L"abc");
    EXPECT_EQ(DirectoryOfPath("/data/net\\a.odx"), "data\\net\\");
    EXPECT_EQ(DirectoryOfPath("a.odx"), "");
    EXPECT_EQ(DirectoryOfPath("x//y/z"), "x\\y\\");
}

TEST(TextBase64, RoundTripsAndMatchesKnownVectors) {
    const std::pair<const char*, const char*> vectors[] = {{"", ""},
                                                           {"f", "Zg=="},
                                                           {"fo", "Zm8="},
                                                           {"foo", "Zm9v"},
                                                           {"foob", "Zm9vYg=="},
                                                           {"fooba", "Zm9vYmE="},
                                                           {"foobar", "Zm9vYmFy"}};
    for (const auto& [plain, encoded] : vectors) {
        EXPECT_EQ(Base64Encode(plain), encoded);
        EXPECT_EQ(Base64Decode(encoded), plain);
    }
    std::string all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    EXPECT_EQ(Base64Decode(Base64Encode(all)), all);
    EXPECT_EQ(Base64Decode("Zm9v\r\nYmFy"), "foobar");
}

}  // namespace

namespace {

std::string VersionOf(const char* schemaLocation) {
    NanoXML root("AUTOSAR", "", 0);
    if (schemaLocation != nullptr) root.SetAttribute("xsi:schemaLocation", schemaLocation);
    return qm::GetAutosarSchemaVersion(root);
}

TEST(TextAutosarVersion, ReadsTheSchemaLocation) {
    EXPECT_EQ(VersionOf("http://autosar.org/schema/r4.0 AUTOSAR_4-2-2.xsd"), "4-2-2");
    EXPECT_EQ(VersionOf("http://autosar.org/3.2.3 autosar_3.2.3.xsd"), "3.2.3");
    EXPECT_EQ(VersionOf("http://autosar.org/schema/r4.0 AUTOSAR_00046.xsd"), "46");
    EXPECT_EQ(VersionOf("http://autosar.org/schema/r4.0 AUTOSAR_4-3-0.xsd 00046"), "4-3-0");
    EXPECT_EQ(VersionOf("http://autosar.org/schema/r4.0 AUTOSAR.xsd"), "");
    EXPECT_EQ(VersionOf(nullptr), "");
}

}  // namespace
