#include "codec/signal_codec.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "codec/number_text.h"
#include "platform/code_pages.h"

namespace qm::codec {

namespace {

constexpr uint64_t kSignBit = uint64_t{1} << 63;
// An integer that a double holds exactly and that fits 64 bits.
bool IsSmallInteger(double value) {
    return std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 9.2e18;
}

// 10^decimals of the scaling numbers, so that a product can be rounded to the decimals the
// file wrote; 0 when they have no short decimal form.
double RoundScaleOf(double factor, double offset) {
    const int a = DecimalPlaces(factor);
    const int b = DecimalPlaces(offset);
    if (a < 0 || b < 0) return 0.0;
    const int decimals = std::max(a, b);
    if (decimals == 0 || decimals > 15) return 0.0;
    return std::pow(10.0, decimals);
}

// 10^exponent for 0 <= exponent <= 30.
__int128 Pow10(int exponent) {
    __int128 value = 1;
    for (int i = 0; i < exponent; ++i) value *= 10;
    return value;
}

bool Within(double value, double low, double high) {
    const double tolerance = 1e-9 * std::max({1.0, std::fabs(low), std::fabs(high)});
    return value >= low - tolerance && value <= high + tolerance;
}

}  // namespace

const char* ValueKindName(ValueKind kind) {
    switch (kind) {
        case ValueKind::Signed:
            return "signed";
        case ValueKind::Float32:
            return "float32";
        case ValueKind::Float64:
            return "float64";
        case ValueKind::Unsigned:
            break;
    }
    return "unsigned";
}

double Physical::AsDouble() const {
    switch (type) {
        case Type::Integer:
            return static_cast<double>(integer);
        case Type::Unsigned:
            return static_cast<double>(natural);
        case Type::Double:
        case Type::Wide:
            break;
    }
    return real;
}

void Physical::AppendTo(std::string& out) const {
    switch (type) {
        case Type::Integer:
            AppendInteger(out, integer);
            return;
        case Type::Unsigned:
            AppendUnsigned(out, natural);
            return;
        case Type::Double:
            AppendDouble(out, real);
            return;
        case Type::Wide: {
            char digits[48];
            char* at = digits + sizeof(digits);
            unsigned __int128 magnitude = wide < 0 ? -static_cast<unsigned __int128>(wide)
                                                   : static_cast<unsigned __int128>(wide);
            do {
                *--at = static_cast<char>('0' + static_cast<int>(magnitude % 10));
                magnitude /= 10;
            } while (magnitude != 0);
            if (wide < 0) *--at = '-';
            out.append(at, digits + sizeof(digits));
            return;
        }
    }
}

void SignalCodec::Prepare() {
    const bool integerKind = kind == ValueKind::Unsigned || kind == ValueKind::Signed;
    integerScaling_ = integerKind && IsSmallInteger(factor) && IsSmallInteger(offset);
    roundScale_ = integerKind ? RoundScaleOf(factor, offset) : 0.0;
    roundDecimals_ =
        roundScale_ > 0.0 ? static_cast<int8_t>(std::lround(std::log10(roundScale_))) : 0;
    // Floats too: an integral float value times 0.1 is 11414303.2, not 11414303.200000001.
    const bool identity = factor == 1.0 && offset == 0.0;
    decimal_ = integerScaling_ || identity ? DecimalScaling{} : DecimalScalingOf(factor, offset);
    integerEverywhere_ = integerScaling_ && !byteArray;

    auto lookups = std::make_shared<Lookups>();
    PrepareTexts(*lookups);
    PrepareRanges(*lookups, integerKind);
    ranged_ = !lookups->ranges.empty();
    if (lookups->textKeys.empty() && lookups->ranges.empty()) {
        lookups_.reset();
    } else {
        lookups->textKeys.shrink_to_fit();
        lookups->sortedTexts.shrink_to_fit();
        lookups_ = std::move(lookups);
    }
}

// Keys of the texts; they stay in `lookups` only when the dense table cannot stand for them.
void SignalCodec::PrepareTexts(Lookups& lookups) {
    std::vector<Prepared>& keys = lookups.textKeys;
    const size_t decoded = texts.size() - std::min<size_t>(encodeOnlyTexts, texts.size());
    for (size_t i = 0; i < decoded; ++i)
        keys.push_back({KeyOfBound(texts[i].low), KeyOfBound(texts[i].high)});
    sortedExact_ = !keys.empty();
    for (const Prepared& key : keys) {
        if (key.low != key.high) sortedExact_ = false;
    }
    std::vector<uint32_t>& sorted = lookups.sortedTexts;
    if (sortedExact_) {
        for (uint32_t i = 0; i < keys.size(); ++i) sorted.push_back(i);
        std::stable_sort(sorted.begin(), sorted.end(),
                         [&](uint32_t a, uint32_t b) { return keys[a].low < keys[b].low; });
    }
    denseTexts_.clear();
    denseBase_ = 0;
    constexpr uint64_t kDenseSpan = 4096;
    if (!sortedExact_) return;
    const uint64_t base = keys[sorted.front()].low;
    const uint64_t span = keys[sorted.back()].low - base;
    if (span >= kDenseSpan) return;
    denseBase_ = base;
    denseTexts_.assign(span + 1, -1);
    for (uint32_t index : sorted) {
        int32_t& slot = denseTexts_[keys[index].low - base];
        if (slot < 0) slot = static_cast<int32_t>(index);
    }
    keys.clear();
    sorted.clear();
}

void SignalCodec::PrepareRanges(Lookups& lookups, bool integerKind) {
    for (const ScaledRange& range : ranges) {
        RangeScaling scaling;
        scaling.key = {KeyOfBound(range.low), KeyOfBound(range.high)};
        scaling.integer =
            integerKind && IsSmallInteger(range.factor) && IsSmallInteger(range.offset);
        scaling.roundScale = integerKind ? RoundScaleOf(range.factor, range.offset) : 0.0;
        if (integerKind && !scaling.integer) {
            scaling.decimal = DecimalScalingOf(range.factor, range.offset);
        }
        if (!scaling.integer) integerEverywhere_ = false;
        lookups.ranges.push_back(scaling);
    }
}

int64_t SignalCodec::SignedValue(uint64_t raw) const {
    return SignExtend(raw, layout.Length());
}

double SignalCodec::Value(uint64_t raw) const {
    return ValueOfKind(kind, raw, layout.Length());
}

// Texts and ranges of signed signals compare as signed numbers: the sign bit is flipped so
// that unsigned comparison orders them.
uint64_t SignalCodec::KeyOf(uint64_t raw) const {
    if (kind == ValueKind::Signed) return static_cast<uint64_t>(SignedValue(raw)) ^ kSignBit;
    return raw;
}

uint64_t SignalCodec::KeyOfBound(uint64_t bound) const {
    return kind == ValueKind::Signed ? bound ^ kSignBit : bound;
}

void Physical::AppendJsonTo(std::string& out) const {
    const size_t start = out.size();
    AppendTo(out);
    if (type == Type::Double) MarkJsonDouble(out, start, real);
}

SignalCodec::DecimalScaling SignalCodec::DecimalScalingOf(double factor, double offset) {
    DecimalScaling scaling;
    DecimalForm f;
    DecimalForm o;
    if (!ToDecimalForm(factor, f) || !ToDecimalForm(offset, o)) return scaling;
    const int decimals = std::max(f.decimals, o.decimals);
    if (decimals > 30) return scaling;
    scaling.decimals = static_cast<int8_t>(decimals);
    scaling.factorShift = static_cast<int8_t>(decimals - f.decimals);
    scaling.offsetShift = static_cast<int8_t>(decimals - o.decimals);
    scaling.factor = f.mantissa;
    scaling.offset = o.mantissa;
    scaling.usable = true;
    return scaling;
}

// raw x factor + offset computed exactly in decimal, then rounded once to a double; false when
// the numbers do not fit 128 bits.
bool SignalCodec::ScaleDecimal(uint64_t raw, const DecimalScaling& scaling,
                               double& physical) const {
    if (!scaling.usable) return false;
    __int128 value = 0;
    if (kind == ValueKind::Float32 || kind == ValueKind::Float64) {
        const double real = Value(raw);  // only integral values have a short decimal form
        if (!IsSmallInteger(real)) return false;
        value = static_cast<int64_t>(real);
    } else {
        value = kind == ValueKind::Signed ? __int128{SignedValue(raw)} : static_cast<__int128>(raw);
    }
    __int128 product;
    __int128 shifted;
    __int128 offsetPart;
    __int128 sum;
    if (__builtin_mul_overflow(value, static_cast<__int128>(scaling.factor), &product) ||
        __builtin_mul_overflow(product, Pow10(scaling.factorShift), &shifted) ||
        __builtin_mul_overflow(static_cast<__int128>(scaling.offset), Pow10(scaling.offsetShift),
                               &offsetPart) ||
        __builtin_add_overflow(shifted, offsetPart, &sum)) {
        return false;
    }
    physical = NearestDouble(sum, scaling.decimals);
    return true;
}

Physical SignalCodec::Scale(uint64_t raw, double withFactor, double withOffset, bool integer,
                            double roundScale, const DecimalScaling& decimal) const {
    Physical result;
    if (integer) {
        const __int128 value =
            kind == ValueKind::Signed ? __int128{SignedValue(raw)} : static_cast<__int128>(raw);
        const __int128 scaled = value * static_cast<__int128>(static_cast<int64_t>(withFactor)) +
                                static_cast<__int128>(static_cast<int64_t>(withOffset));
        if (scaled >= std::numeric_limits<int64_t>::min() &&
            scaled <= std::numeric_limits<int64_t>::max()) {
            result.type = Physical::Type::Integer;
            result.integer = static_cast<int64_t>(scaled);
            return result;
        }
        if (scaled > 0 && scaled <= static_cast<__int128>(std::numeric_limits<uint64_t>::max())) {
            result.type = Physical::Type::Unsigned;
            result.natural = static_cast<uint64_t>(scaled);
            return result;
        }
        result.type = Physical::Type::Wide;
        result.wide = scaled;
        result.real = static_cast<double>(scaled);
        return result;
    }
    result.type = Physical::Type::Double;
    const double term = Value(raw) * withFactor;
    if (roundScale > 0.0 && RoundedBack(term, withOffset, roundScale, result.real)) return result;
    // More decimals than a double product keeps: exactly, in decimal.
    if (!ScaleDecimal(raw, decimal, result.real)) result.real = term + withOffset;
    return result;
}

Physical SignalCodec::PhysicalOf(uint64_t raw) const {
    uint64_t digits = 0;
    if (ReadsAsDecimal() && BcdValue(raw, digits)) {
        Physical result;
        result.integer = static_cast<int64_t>(digits);  // at most 8 digits
        result.real = static_cast<double>(digits);
        return result;
    }
    if (ranged_) {
        const int index = RangeIndex(raw);
        if (index >= 0) {
            const RangeScaling& scaling = lookups_->ranges[static_cast<size_t>(index)];
            const ScaledRange& range = ranges[static_cast<size_t>(index)];
            return Scale(raw, range.factor, range.offset, scaling.integer, scaling.roundScale,
                         scaling.decimal);
        }
    }
    return Scale(raw, factor, offset, integerScaling_, roundScale_, decimal_);
}

bool SignalCodec::ExactScaling(int64_t& factorOut, int64_t& offsetOut, int& decimals) const {
    if ((kind != ValueKind::Unsigned && kind != ValueKind::Signed) || ranged_) return false;
    if (ReadsAsDecimal()) return false;
    if (integerScaling_) {
        factorOut = static_cast<int64_t>(factor);
        offsetOut = static_cast<int64_t>(offset);
        decimals = 0;
        return true;
    }
    // The decimals that scaling rounds back to must be those the exact form has.
    if (roundScale_ <= 0.0 || !decimal_.usable || decimal_.decimals != roundDecimals_) return false;
    if (offset == 0.0 && std::signbit(offset)) return false;  // -0 would keep a sign
    const __int128 scaledFactor = __int128{decimal_.factor} * Pow10(decimal_.factorShift);
    const __int128 scaledOffset = __int128{decimal_.offset} * Pow10(decimal_.offsetShift);
    constexpr __int128 kLow = std::numeric_limits<int64_t>::min();
    constexpr __int128 kHigh = std::numeric_limits<int64_t>::max();
    if (scaledFactor < kLow || scaledFactor > kHigh || scaledOffset < kLow || scaledOffset > kHigh)
        return false;
    factorOut = static_cast<int64_t>(scaledFactor);
    offsetOut = static_cast<int64_t>(scaledOffset);
    decimals = decimal_.decimals;
    return true;
}

double SignalCodec::PhysicalDouble(uint64_t raw) const {
    if (ranged_ || integerScaling_) return PhysicalOf(raw).AsDouble();
    const double term = Value(raw) * factor;
    if (roundScale_ == 0.0) return decimal_.usable ? PhysicalOf(raw).real : term + offset;
    double physical;
    return RoundedBack(term, offset, roundScale_, physical) ? physical : PhysicalOf(raw).real;
}

int SignalCodec::TextIndex(uint64_t raw) const {
    if (texts.empty()) return -1;
    const uint64_t key = KeyOf(raw);
    if (!denseTexts_.empty()) {
        const uint64_t at = key - denseBase_;
        return at < denseTexts_.size() ? denseTexts_[at] : -1;
    }
    if (!lookups_) return -1;  // texts added after Prepare()
    const std::vector<Prepared>& keys = lookups_->textKeys;
    if (sortedExact_) {
        const std::vector<uint32_t>& sorted = lookups_->sortedTexts;
        const auto at =
            std::lower_bound(sorted.begin(), sorted.end(), key,
                             [&](uint32_t index, uint64_t k) { return keys[index].low < k; });
        if (at != sorted.end() && keys[*at].low == key) return static_cast<int>(*at);
        return -1;
    }
    for (size_t i = 0; i < keys.size(); ++i) {
        if (key >= keys[i].low && key <= keys[i].high) return static_cast<int>(i);
    }
    return -1;
}

bool SignalCodec::BcdValue(uint64_t raw, uint64_t& value) const {
    value = 0;
    for (size_t i = 0; i < ArrayBytes(); ++i) {
        const uint64_t digit = (raw >> (8 * i)) & 0xFF;
        if (digit > 9) return false;
        value = value * 10 + digit;
    }
    return true;
}

std::string SignalCodec::ArrayText(uint64_t raw) const {
    std::string bytes;
    for (size_t i = 0; i < ArrayBytes(); ++i) bytes += static_cast<char>(raw >> (8 * i));
    std::string text;
    for (size_t at = 0; at < bytes.size();)
        platform::AppendUtf8(text, platform::NextCodePoint(bytes, at));
    return text;
}

uint64_t SignalCodec::RawForBcd(double value) const {
    const size_t digits = ArrayBytes();
    double largest = 1.0;
    for (size_t i = 0; i < digits; ++i) largest *= 10.0;
    if (!(value >= 0.0 && value < largest) || value != std::floor(value)) {
        Fail(DoubleText(value) + " is no whole number of at most " + std::to_string(digits) +
             " digits");
    }
    auto number = static_cast<uint64_t>(value);
    uint64_t raw = 0;
    for (size_t i = digits; i-- > 0; number /= 10) raw |= (number % 10) << (8 * i);
    return raw;
}

int SignalCodec::RangeIndex(uint64_t raw) const {
    if (!lookups_) return -1;
    const uint64_t key = KeyOf(raw);
    const std::vector<RangeScaling>& scalings = lookups_->ranges;
    for (size_t i = 0; i < scalings.size(); ++i) {
        if (key >= scalings[i].key.low && key <= scalings[i].key.high) return static_cast<int>(i);
    }
    return -1;
}

void SignalCodec::Fail(const std::string& what) const {
    throw CodecError("signal '" + name + "': " + what);
}

std::string SignalCodec::RangeText() const {
    return "[" + DoubleText(minimum) + ", " + DoubleText(maximum) + "]";
}

uint64_t SignalCodec::RawForText(std::string_view text) const {
    if (ReadsAsText()) {
        // The text's bytes, the rest of the array zeros.
        if (text.size() > ArrayBytes()) {
            Fail("'" + std::string(text) + "' takes " + std::to_string(text.size()) +
                 " bytes; the array holds " + std::to_string(ArrayBytes()));
        }
        uint64_t raw = 0;
        for (size_t i = 0; i < text.size(); ++i)
            raw |= uint64_t{static_cast<uint8_t>(text[i])} << (8 * i);
        return raw;
    }
    for (const ValueText& entry : texts) {
        if (entry.text == text) return entry.low & Mask();
    }
    Fail("no value is named '" + std::string(text) + "'");
}

uint64_t SignalCodec::CheckedRaw(uint64_t raw) const {
    const uint32_t length = layout.Length();
    if (length >= 64 || (raw & ~Mask()) == 0) return raw;
    // A negative raw value of a signed field, given sign-extended.
    if (kind == ValueKind::Signed) {
        const auto value = static_cast<int64_t>(raw);
        const int64_t low = -(int64_t{1} << (length - 1));
        if (value < 0 && value >= low) return raw & Mask();
    }
    Fail("the raw value " + std::to_string(raw) + " does not fit " + std::to_string(length) +
         " bits");
}

bool SignalCodec::OutOfRange(double value, bool checkRange) const {
    if (!checkRange || (minimum == 0.0 && maximum == 0.0) || minimum > maximum ||
        std::isnan(value) || Within(value, minimum, maximum))
        return false;
    if (texts.empty() || factor == 0.0 || kind == ValueKind::Float32 || kind == ValueKind::Float64)
        return true;
    uint64_t bits = 0;
    return !FieldBits(std::nearbyint((value - offset) / factor), bits) || TextIndex(bits) < 0;
}

bool SignalCodec::FieldBits(double raw, uint64_t& bits) const {
    const uint32_t length = std::min<uint32_t>(layout.Length(), 64);
    double low = 0.0;
    double high = std::ldexp(1.0, static_cast<int>(length)) - 1.0;
    if (kind == ValueKind::Signed && length > 0) {
        low = -std::ldexp(1.0, static_cast<int>(length) - 1);
        high = std::ldexp(1.0, static_cast<int>(length) - 1) - 1.0;
    }
    if (!(raw >= low && raw <= high)) return false;
    if (raw < 0) {
        bits = static_cast<uint64_t>(static_cast<int64_t>(raw)) & Mask();
    } else if (raw >= 18446744073709551615.0) {
        bits = ~uint64_t{0} & Mask();
    } else {
        bits = static_cast<uint64_t>(raw);
    }
    return true;
}

uint64_t SignalCodec::RawForPhysical(double value, bool checkRange) const {
    const bool isFloat = kind == ValueKind::Float32 || kind == ValueKind::Float64;
    // A float field carries NaN (a decoded NaN encodes back); an integer field has no raw value
    // for it.
    if (std::isnan(value) && !(isFloat && ranges.empty())) Fail("NaN cannot be encoded");
    if (ReadsAsDecimal()) return RawForBcd(value);
    // Scaled ranges choose the range by the physical value.
    for (const ScaledRange& range : ranges) {
        const auto asBound = [&](uint64_t bound) {
            return kind == ValueKind::Signed ? static_cast<double>(static_cast<int64_t>(bound))
                                             : static_cast<double>(bound);
        };
        double low = asBound(range.low) * range.factor + range.offset;
        double high = asBound(range.high) * range.factor + range.offset;
        if (low > high) std::swap(low, high);
        if (range.factor == 0.0 || !Within(value, low, high)) continue;
        const double raw = std::clamp(std::nearbyint((value - range.offset) / range.factor),
                                      asBound(range.low), asBound(range.high));
        return raw < 0 ? static_cast<uint64_t>(static_cast<int64_t>(raw)) & Mask()
                       : static_cast<uint64_t>(raw);
    }
    if (!ranges.empty()) {
        // A number may still name a value of a text directly.
        for (const ValueText& text : texts) {
            if (value == std::floor(value) && value >= 0 &&
                Within(value, static_cast<double>(text.low), static_cast<double>(text.high))) {
                return static_cast<uint64_t>(value) & Mask();
            }
        }
        Fail(DoubleText(value) + " lies in none of its encoding's ranges");
    }
    if (OutOfRange(value, checkRange))
        Fail(DoubleText(value) + " is outside its range " + RangeText());
    if (factor == 0.0) Fail("a factor of 0 cannot be inverted");
    const double scaled = (value - offset) / factor;
    if (kind == ValueKind::Float32) {
        const auto single = static_cast<float>(scaled);
        uint32_t bits;
        std::memcpy(&bits, &single, sizeof(bits));
        return bits;
    }
    if (kind == ValueKind::Float64) {
        uint64_t bits;
        std::memcpy(&bits, &scaled, sizeof(bits));
        return bits;
    }
    const double raw = std::nearbyint(scaled);
    uint64_t bits = 0;
    if (!FieldBits(raw, bits)) {
        Fail(DoubleText(value) + " needs the raw value " + DoubleText(raw) +
             ", which does not fit " + std::to_string(layout.Length()) + " bits");
    }
    return bits;
}

uint64_t SignalCodec::RawForInteger(__int128 value, bool checkRange) const {
    if (!integerScaling_ || !ranges.empty() || factor == 0.0 || ReadsAsDecimal()) {
        return RawForPhysical(static_cast<double>(value), checkRange);
    }
    const auto scaledFactor = static_cast<__int128>(static_cast<int64_t>(factor));
    const __int128 shifted = value - static_cast<__int128>(static_cast<int64_t>(offset));
    if (shifted % scaledFactor != 0) return RawForPhysical(static_cast<double>(value), checkRange);
    if (OutOfRange(static_cast<double>(value), checkRange)) {
        Fail(DoubleText(static_cast<double>(value)) + " is outside its range " + RangeText());
    }
    const __int128 raw = shifted / scaledFactor;
    const uint32_t length = std::min<uint32_t>(layout.Length(), 64);
    __int128 low = 0;
    __int128 high = (static_cast<__int128>(1) << length) - 1;
    if (kind == ValueKind::Signed && length > 0) {
        low = -(static_cast<__int128>(1) << (length - 1));
        high = (static_cast<__int128>(1) << (length - 1)) - 1;
    }
    if (raw < low || raw > high) {
        Fail(DoubleText(static_cast<double>(value)) + " needs a raw value that does not fit " +
             std::to_string(layout.Length()) + " bits");
    }
    return static_cast<uint64_t>(raw) & Mask();
}

}  // namespace qm::codec
