// Numbers read exactly as strtod, strtoul and strtol (base 0) read them, fast paths included.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "dbc/dbc_number.h"
#include "dbc/dbc_tokens.h"

namespace qm::dbc {
namespace {

// The checked conversion as described: strtod, failing when nothing is read or out of range.
bool StrtodReal(const std::string& text, double& value) {
    char* end = nullptr;
    errno = 0;
    const double result = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || errno == ERANGE) return false;
    value = result;
    return true;
}

void ExpectSameAsStrtod(const std::string& text) {
    SCOPED_TRACE("text \"" + text + "\"");
    double expected = -7.0, actual = -7.0;
    const bool readable = StrtodReal(text, expected);
    ASSERT_EQ(ToReal(text, actual), readable);
    if (readable) {
        uint64_t expectedBits, actualBits;
        std::memcpy(&expectedBits, &expected, sizeof expected);
        std::memcpy(&actualBits, &actual, sizeof actual);
        EXPECT_EQ(actualBits, expectedBits) << actual << " against " << expected;
    } else {
        EXPECT_EQ(actual, -7.0) << "a failed read leaves the value";
    }
}

TEST(DbcRealReading, EdgeTextsReadAsStrtodReadsThem) {
    const char* texts[] = {
        // plain decimals, rounding cases, the limits of the double range
        "0", "-0", "0.0", "-0.000", "1", "-1", "0.5", "-10", "0.1", "00012.500", "1.",
        "0.30000000000000004", "9007199254740993", "123456789012345678901234567890.123", "1.0E-5",
        "3.4e38", "1e+2", "1E-02", "1.7976931348623157e308", "1.7976931348623159e308", "1e309",
        "-1e309", "2.2250738585072014e-308", "2.2250738585072011e-308", "4.9e-324", "1e-400",
        "0e-999", "0e999999999999",
        // the bounds of reading without a conversion call: 2^53, ten to the 22nd, 19 digits
        "9007199254740992", "9007199254740993.0", "-9007199254740992e-22", "1e22", "1e23", "1e-22",
        "1e-23", "123e-22", "0.1e-21", "1234567890123456789", "12345678901234567890",
        "0.0000000000000000000001234", "-0e5", "000000000000000000000000001.5",
        // what only strtod reads, or reads in part
        ".5", "+1", " 1", "\t-2.5", "1.5abc", "2|3", "0x1p3", "0X1A", "inf", "-Infinity", "nan",
        // no number at all
        "", "-", ".", "e5", "E5", "abc", "--1"};
    for (const char* text : texts) ExpectSameAsStrtod(text);
}

TEST(DbcRealReading, RandomDecimalsReadAsStrtodReadsThem) {
    std::mt19937_64 random(20261206);
    const auto digits = [&random](int count) {
        std::string out;
        for (int i = 0; i < count; ++i) out += static_cast<char>('0' + random() % 10);
        return out;
    };
    for (int i = 0; i < 20000; ++i) {
        std::string text = random() % 2 ? "-" : "";
        text += digits(1 + static_cast<int>(random() % 20));
        if (random() % 2) text += "." + digits(static_cast<int>(random() % 20));
        if (random() % 3 == 0) {
            text += random() % 2 ? "e" : "E-";
            text += std::to_string(random() % 330);
        }
        ExpectSameAsStrtod(text);
    }
}

// A number keeps its text, exponent form and decimals as the text shows them.
TEST(DbcRealReading, NumberFormFollowsTheText) {
    const char* texts[] = {"0.0625", "1E-05",   "1e-5", "-40",  "0",     "0E-3",
                           "-0e-12", "1.50E+2", "2.",   "0x10", "12.5e", "1.7976931348623159e308",
                           "0.000"};
    for (const char* text : texts) {
        SCOPED_TRACE(std::string("text \"") + text + "\"");
        DbcNumber number;
        double value = 0.0;
        const bool readable = ToReal(text, value);
        ASSERT_EQ(ParseDbcNumber(text, number), readable);
        EXPECT_EQ(number.text, text);
        const bool exponent = std::strpbrk(text, "eE") != nullptr;
        EXPECT_EQ(number.exponent, exponent);
        if (!readable) continue;
        EXPECT_EQ(number.value, value);
        EXPECT_EQ(number.decimals, DecimalsOfText(text, exponent, value == 0.0));
    }
}

TEST(DbcIntegerReading, TextsReadAsTheCConversionsReadThem) {
    const char* texts[] = {// decimal, the limits of 32 bits and beyond, octal, hex
                           "0", "7", "-0", "-12", "123456789", "-123456789", "1234567890",
                           "4294967295", "4294967296", "2147483648", "-2147483649", "007", "08",
                           "0x1F", "0X7fffffff",
                           // read up to a stray character, or not at all
                           "12a", "a12", "", "-", " 5", "+5", "1.5", "99999999999999999999"};
    for (const char* text : texts) {
        SCOPED_TRACE(std::string("text \"") + text + "\"");
        EXPECT_EQ(ToUnsigned(text), StrToU32(text));
        EXPECT_EQ(ToSigned(text), StrToI32(text));
    }
}

}  // namespace
}  // namespace qm::dbc
