// Physical values whose factor has more decimals than a double product keeps (100/255 written
// as 0.39215686274509803): the codec gives the double nearest to raw x factor + offset as
// written, as an exact decimal computation (canmatrix's) does, not the double product's last
// bit. And the tool's JSON tells doubles from the integers of integer scaling.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "codec/number_text.h"
#include "codec/signal_codec.h"

namespace {

using qm::codec::Physical;
using qm::codec::SignalCodec;

struct DecimalCase {
    double factor;
    double offset;
    uint64_t raw;
    bool isSigned;
    const char* exact;  // raw x factor + offset, worked out by hand in decimal
};

// The first three come from real files (opendbc vw_mlb, busmaster vw360e): the double product
// is one bit off the nearest double of the exact result.
const DecimalCase kCases[] = {
    {0.39215686274509803, 0, 100, false, "39.215686274509803"},
    {0.0488519785051295, 0, 197, false, "9.6238397655105115"},
    {0.0488519785051295, 0, 1450, false, "70.83536883243777500"},
    {0.78740157480315, -100, 203, false, "59.84251968503945"},  // 14 decimals, product 5.98e15
    {0.78740157480315, -100, 127, false, "0.00000000000005"},   // terms of 100 cancel: not 4e-14
    {0.39215686274509803, -100, 255, false, "-0.00000000000000235"},  // the product gives 0
    {0.39215686274509803, 0.5, 0xFF, true, "0.10784313725490197"},    // raw -1
    {1e-18, 0, 123456789, false, "0.000000000123456789"},
    {0.35, -22.05, 63, false, "0"},  // the double sum is -3.6e-15: zero, not -0 (Model3CAN)
};

class ExactDecimal : public testing::TestWithParam<DecimalCase> {};

TEST_P(ExactDecimal, PhysicalIsTheNearestDoubleOfTheDecimalResult) {
    const DecimalCase& c = GetParam();
    SignalCodec signal;
    signal.layout = qm::codec::BitLayout::Little(0, c.isSigned ? 8 : 16);
    signal.kind = c.isSigned ? qm::codec::ValueKind::Signed : qm::codec::ValueKind::Unsigned;
    signal.factor = c.factor;
    signal.offset = c.offset;
    signal.Prepare();
    const double expected = std::strtod(c.exact, nullptr);
    const Physical physical = signal.PhysicalOf(c.raw);
    ASSERT_EQ(physical.type, Physical::Type::Double);
    EXPECT_EQ(physical.real, expected) << c.exact;
    EXPECT_EQ(std::signbit(physical.real), std::signbit(expected)) << c.exact;
    EXPECT_EQ(signal.PhysicalDouble(c.raw), expected) << c.exact;
    EXPECT_EQ(std::signbit(signal.PhysicalDouble(c.raw)), std::signbit(expected)) << c.exact;
}

INSTANTIATE_TEST_SUITE_P(Factors, ExactDecimal, testing::ValuesIn(kCases));

// An IEEE signal whose value is integral scales in decimal too (cantools__foobar.dbc Bar:
// 114143032.0f x 0.1); a fractional one keeps the double product.
TEST(ExactDecimal, IntegralFloatValues) {
    SignalCodec signal;
    signal.layout = qm::codec::BitLayout::Little(0, 32);
    signal.kind = qm::codec::ValueKind::Float32;
    signal.factor = 0.1;
    signal.Prepare();
    const auto bitsOf = [](float value) {
        uint32_t bits;
        std::memcpy(&bits, &value, sizeof(bits));
        return bits;
    };
    EXPECT_EQ(signal.PhysicalOf(bitsOf(114143032.0f)).real, 11414303.2);
    EXPECT_EQ(signal.PhysicalDouble(bitsOf(114143032.0f)), 11414303.2);
    EXPECT_EQ(signal.PhysicalOf(bitsOf(0.5f)).real, 0.5 * 0.1);
}

TEST(ExactDecimal, DecimalFormAndNearestDouble) {
    const struct {
        double value;
        int64_t mantissa;
        int decimals;
    } forms[] = {{0.0125, 125, 4},
                 {1e3, 1000, 0},
                 {-0.5, -5, 1},
                 {0.39215686274509803, 39215686274509803, 17}};
    for (const auto& f : forms) {
        qm::codec::DecimalForm form;
        ASSERT_TRUE(qm::codec::ToDecimalForm(f.value, form)) << f.value;
        EXPECT_EQ(form.mantissa, f.mantissa) << f.value;
        EXPECT_EQ(form.decimals, f.decimals) << f.value;
    }
    qm::codec::DecimalForm form;
    EXPECT_FALSE(qm::codec::ToDecimalForm(1e300, form));  // 301 digits
    EXPECT_FALSE(qm::codec::ToDecimalForm(1e-300, form));
    EXPECT_EQ(qm::codec::NearestDouble(-613, 1), -61.3);
    const __int128 big = static_cast<__int128>(1) << 100;  // 2^100 / 10^3
    EXPECT_EQ(qm::codec::NearestDouble(big, 3),
              std::strtod("1267650600228229401496703205.376", nullptr));
}

std::string Int128Text(__int128 value) {
    if (value < 0) return "-" + Int128Text(-value);
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(value % 10)));
        value /= 10;
    } while (value != 0);
    return digits;
}

// Every 16-bit raw value of a long factor and of a negative one against strtod of the exact
// decimal text: the quick division and its midpoint fallback agree with correct rounding.
TEST(ExactDecimal, NearestDoubleRoundsLikeStrtod) {
    const struct {
        int64_t factor;
        int decimals;
    } factors[] = {{39215686274509803, 17}, {-488519785051295, 16}, {78740157480315, 14}};
    for (const auto& f : factors) {
        for (int64_t raw = 0; raw < 65536; ++raw) {
            const __int128 exact = static_cast<__int128>(f.factor) * raw;
            const std::string text = Int128Text(exact) + "e-" + std::to_string(f.decimals);
            ASSERT_EQ(qm::codec::NearestDouble(exact, f.decimals),
                      std::strtod(text.c_str(), nullptr))
                << text;
        }
    }
}

// Integer scaling of a 64-bit field beyond both 64-bit ranges stays an exact integer (canmatrix's
// Decimal gives the same digits).
TEST(ExactDecimal, IntegerScalingBeyond64Bits) {
    SignalCodec signal;
    signal.layout = qm::codec::BitLayout::BigFromMsb(7, 64);
    signal.kind = qm::codec::ValueKind::Signed;
    signal.factor = 3;
    signal.offset = -7;
    signal.Prepare();
    const struct {
        uint64_t raw;
        const char* text;
    } cases[] = {{10699022913388659168ull, "-23243163480962677351"},
                 {8398050719096947370ull, "25194152157290842103"},
                 {5, "8"}};
    for (const auto& c : cases) {
        const Physical physical = signal.PhysicalOf(c.raw);
        std::string text;
        physical.AppendJsonTo(text);
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(physical.AsDouble(), std::strtod(c.text, nullptr)) << c.text;
    }
}

TEST(ExactDecimal, JsonDoublesAreNeverIntegerTokens) {
    const auto json = [](Physical p) {
        std::string out;
        p.AppendJsonTo(out);
        return out;
    };
    Physical d;
    d.type = Physical::Type::Double;
    // 245353687014344916992: to_chars would write its 21 digits in full.
    for (const auto& [value, text] : {std::pair<double, const char*>{2.0, "2.0"},
                                      {245353687014344916992.0, "2.4535368701434492e+20"},
                                      {61.3, "61.3"},
                                      {1e300, "1e+300"},
                                      {std::strtod("nan", nullptr), "null"}}) {
        d.real = value;
        EXPECT_EQ(json(d), text) << text;
    }
    Physical i;
    i.type = Physical::Type::Unsigned;
    i.natural = 17565201497443448939ull;
    EXPECT_EQ(json(i), "17565201497443448939");
}

}  // namespace
