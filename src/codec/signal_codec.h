#pragma once
// One signal of a frame codec: where it lies (BitLayout), how its bits read as a number (kind),
// how that number becomes a physical value (factor and offset, or the scaled range that covers
// it), which texts name which values, and which multiplexer value selects it. Every format's
// model becomes signal codecs (src/codec_models/); decoding and encoding know only these.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "codec/bit_layout.h"
#include "codec/compact_vector.h"

namespace qm::codec {

// How the raw bits read as a number.
enum class ValueKind : uint8_t { Unsigned, Signed, Float32, Float64 };

// How the bytes of a LIN byte array read: as they are, as a decimal of a digit a byte (the
// first byte the most significant: 01 02 is 12), or as text (41 42 is "AB").
enum class ArrayReading : uint8_t { Bytes, Bcd, Ascii };

const char* ValueKindName(ValueKind kind);  // "unsigned", "signed", "float32", "float64"

// std::nearbyint in the default rounding mode (to nearest, ties to even) for |x| < 2^52,
// without the library call that it is on a processor level without SSE4.1: adding and taking
// away 2^52 leaves no bits below the units. Scaling rounds each physical value back to its
// decimals with it, and the decode output its digits.
inline double NearestInteger(double x) {
    constexpr double kTwoTo52 = 4503599627370496.0;
    return std::copysign((std::fabs(x) + kTwoTo52) - kTwoTo52, x);
}

// A physical value term + offset (term: the raw value times the factor) rounded back to the
// decimals of factor and offset (roundScale: 10^decimals), as the file wrote it: 613 x 0.1 is
// 61.300000000000004 in binary, the nearest double to 61.3 is what was meant. While the terms
// times roundScale stay below 2^50, the double computation of physical x roundScale is within
// 0.375 of the integer it stands for, so rounding finds that integer. The error follows the
// terms, not the result: 203 x 0.78740157480315 - 100 scaled by 10^14 is 5.98e15, and
// 127 x 0.78740157480315 - 100 is 5e-14 but its terms are 100. False beyond that (more decimals
// than a double product keeps: the exact decimal value is needed).
// Whether RoundedBack rounds a term of up to |term| with this offset and scale.
inline bool RoundsBack(double term, double offset, double roundScale) {
    constexpr double kRoundableLimit = 1125899906842624.0;  // 2^50
    return std::max(std::fabs(term), std::fabs(offset)) * roundScale < kRoundableLimit;
}

inline bool RoundedBack(double term, double offset, double roundScale, double& physical) {
    if (!RoundsBack(term, offset, roundScale)) return false;
    // A sum that rounds to zero is zero: "+ 0.0" turns the -0.0 of a tiny negative sum
    // (63 x 0.35 - 22.05 = -3.6e-15) into 0, the exact result.
    physical = NearestInteger((term + offset) * roundScale) / roundScale + 0.0;
    return true;
}

// The raw value as a signed number, sign-extended from its `length` bits (64 and 0: as is).
inline int64_t SignExtend(uint64_t raw, uint32_t length) {
    if (length == 0 || length >= 64) return static_cast<int64_t>(raw);
    const uint64_t sign = uint64_t{1} << (length - 1);
    return static_cast<int64_t>((raw ^ sign) - sign);
}

// The raw value of a `length`-bit field as its kind reads it, before scaling: the IEEE value of
// the low 32 or 64 bits for floats, sign-extended for signed fields.
inline double ValueOfKind(ValueKind kind, uint64_t raw, uint32_t length) {
    switch (kind) {
        case ValueKind::Float32: {
            const auto bits = static_cast<uint32_t>(raw);
            float value;
            std::memcpy(&value, &bits, sizeof(value));
            return value;
        }
        case ValueKind::Float64: {
            double value;
            std::memcpy(&value, &raw, sizeof(value));
            return value;
        }
        case ValueKind::Signed:
            return static_cast<double>(SignExtend(raw, length));
        case ValueKind::Unsigned:
            break;
    }
    return static_cast<double>(raw);
}

// A physical value, exactly: an integer when the scaling keeps integers (integer raw value,
// integer factor and offset), else a double.
struct Physical {
    enum class Type : uint8_t { Integer, Unsigned, Double, Wide };
    Type type = Type::Integer;
    int64_t integer = 0;   // Type::Integer
    uint64_t natural = 0;  // Type::Unsigned: above INT64_MAX
    double real = 0.0;     // Type::Double; for Type::Wide the nearest double
    __int128 wide = 0;     // Type::Wide: beyond both (a 64-bit raw value times 3)

    double AsDouble() const;
    // Appends the number: integers in full, doubles in their shortest exact text ("null" when
    // not finite).
    void AppendTo(std::string& out) const;
    // AppendTo for JSON: a double always reads as a JSON double ("2.0", "2.4e+20"), so that a
    // reader tells it from the integers of integer scaling.
    void AppendJsonTo(std::string& out) const;
};

// A text naming the values [low, high] of a signal (a value description, a logical value, a
// text-table scale). For signed signals the bounds are the signed values (two's complement in
// the 64 bits); for float signals the raw bit patterns.
struct ValueText {
    uint64_t low = 0;
    uint64_t high = 0;
    std::string text;
};

// A raw range with a scaling of its own (an LDF physical range, an AUTOSAR scale-linear scale);
// bounds as for ValueText. `text` is the range's own text (the unit of an LDF range), may be
// empty.
struct ScaledRange {
    uint64_t low = 0;
    uint64_t high = 0;
    double factor = 1.0;
    double offset = 0.0;
    std::string text;
};

enum class MuxRole : uint8_t { Plain, Switch, Multiplexed };

struct MuxRange {
    uint64_t minimum = 0;
    uint64_t maximum = 0;
};

// A value that cannot be encoded; the message names the signal ("signal 'X': ...").
struct CodecError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class alignas(64) SignalCodec {
  public:
    // Filled by a builder, then Prepare(). What a decode reads lies in the first 64 bytes and
    // nothing is padded: a large database holds hundreds of thousands of signals, and a frame's
    // decode reads each of its signals.
    BitLayout layout;
    double factor = 1.0;
    double offset = 0.0;

  private:
    double roundScale_ = 0.0;  // 10^decimals of factor and offset; 0 to keep the double as is
    bool sortedExact_ = false;
    bool integerScaling_ = false;
    bool integerEverywhere_ = false;
    bool ranged_ = false;       // has scaled ranges
    int8_t roundDecimals_ = 0;  // the decimals of roundScale_

  public:
    ValueKind kind = ValueKind::Unsigned;
    MuxRole mux = MuxRole::Plain;
    bool byteArray = false;  // LIN byte arrays: the value is the bytes, least significant first
    ArrayReading arrayReading = ArrayReading::Bytes;  // of a byte array
    // The lists are CompactVectors (one pointer each, no block when empty): 256 bytes a signal.
    // First match wins; a raw value no range covers uses factor/offset.
    CompactVector<ScaledRange> ranges;
    CompactVector<ValueText> texts;  // first match wins
    std::string name;
    std::string unit;
    // Physical range checked by encode; not checked when both are 0 or they are crossed.
    double minimum = 0.0;
    double maximum = 0.0;
    int64_t muxValue = -1;
    // Extended multiplexing: the raw values that select this signal and (below) the index (in
    // the frame) of the signal whose value selects it, -1 without.
    CompactVector<MuxRange> muxRanges;
    uint64_t defaultRaw = 0;  // what an encode writes for a signal the caller leaves out
    int extendedMux = -1;
    // The last encodeOnlyTexts of `texts` name values that a decode never gives them: an LDF
    // logical value written after a physical range that covers it (the entry written first
    // decides). Encoding by such a text still finds its value.
    uint32_t encodeOnlyTexts = 0;

    // Works out what decoding needs; call once the fields above are set.
    void Prepare();

    // The raw value as a signed number (sign-extended from the field's length).
    int64_t SignedValue(uint64_t raw) const;
    // The raw value as its kind reads it, before scaling.
    double Value(uint64_t raw) const;
    Physical PhysicalOf(uint64_t raw) const;
    // PhysicalOf(raw).AsDouble(), faster.
    double PhysicalDouble(uint64_t raw) const;
    // The index in `texts` of the text that names the raw value in a decode, -1 when none.
    int TextIndex(uint64_t raw) const;
    const std::string* TextOf(uint64_t raw) const {
        const int index = TextIndex(raw);
        return index < 0 ? nullptr : &texts[static_cast<size_t>(index)].text;
    }
    // Byte arrays read as a decimal or as text (ArrayReading). The decimal of a BCD array's
    // digits; false when a byte is no digit (the value then reads as its bytes).
    bool BcdValue(uint64_t raw, uint64_t& value) const;
    bool ReadsAsDecimal() const { return byteArray && arrayReading == ArrayReading::Bcd; }
    bool ReadsAsText() const { return byteArray && arrayReading == ArrayReading::Ascii; }
    // The bytes a byte array holds (at most 8).
    size_t ArrayBytes() const { return std::min<size_t>((layout.Length() + 7) / 8, 8); }
    // The text of an ASCII array: its bytes, zeros too, as UTF-8 (a byte that is no part of a
    // UTF-8 character reads as U+FFFD).
    std::string ArrayText(uint64_t raw) const;
    // The index in `ranges` of the scaled range that covers a raw value, -1 when none.
    int RangeIndex(uint64_t raw) const;
    // 10^decimals to which a physical double is rounded back (0: not rounded); see PhysicalOf.
    double RoundScale() const { return roundScale_; }
    // The decimals of RoundScale() (0 when it is 0).
    int RoundDecimals() const { return roundDecimals_; }
    // Whether the physical value is always an integer (no float kind, integer scaling everywhere).
    bool IntegerPhysical() const { return integerEverywhere_; }
    // Whether PhysicalDouble(raw) is Value(raw) x factor + offset in doubles as it stands: no
    // scaled ranges, no integer scaling, no decimals to round back to (floats, mostly).
    bool PlainScaling() const {
        return !ranged_ && !integerScaling_ && roundScale_ == 0.0 && !decimal_.usable;
    }
    // The scaling in integers, for writers of decimal text: an integer field whose factor and
    // offset are short decimals (no scaled ranges) has value x factor + offset = M, where
    // PhysicalOf(raw) is M itself as an Integer (decimals 0, when M fits 64 bits) or the double
    // nearest to M x 10^-decimals (decimals 1-15). False when the signal has no such form or its
    // factor and offset do not fit 64 bits so.
    bool ExactScaling(int64_t& factor, int64_t& offset, int& decimals) const;

    // Encoding. Each throws CodecError naming the signal and what is wrong.
    // The raw value of a value text (the first text of that name; its lowest value).
    uint64_t RawForText(std::string_view text) const;
    // The raw value of a physical value, checked against the field and, with checkRange,
    // against [minimum, maximum] unless a value text names the raw value (a text for "invalid"
    // or "not available" often lies beyond the range).
    uint64_t RawForPhysical(double value, bool checkRange = true) const;
    // The raw value of an integer physical value, exact for 64-bit fields when the scaling keeps
    // integers (falls back to RawForPhysical otherwise).
    uint64_t RawForInteger(__int128 value, bool checkRange = true) const;
    // Checks that a raw value fits the field (signed raw values may be given sign-extended).
    uint64_t CheckedRaw(uint64_t raw) const;
    // "[minimum, maximum]" as text, for messages.
    std::string RangeText() const;

  private:
    // factor and offset as the decimals they were written with, so that a product whose
    // decimals a double cannot hold is still the double nearest to raw x factor + offset.
    struct DecimalScaling {
        int64_t factor = 0;  // mantissas over 10^decimals
        int64_t offset = 0;
        int8_t decimals = 0;
        int8_t factorShift = 0;  // the factor's mantissa times 10^factorShift is over 10^decimals
        int8_t offsetShift = 0;
        bool usable = false;
    };
    struct Prepared {
        uint64_t low = 0;
        uint64_t high = 0;
    };
    struct RangeScaling {
        Prepared key;
        double roundScale = 0.0;
        DecimalScaling decimal;
        bool integer = false;
    };
    // What only some signals need, in one block shared by copies: texts that the dense table
    // below does not cover and scaled ranges. A signal of a large database costs its fields
    // and no empty vectors.
    struct Lookups {
        std::vector<Prepared> textKeys;
        std::vector<uint32_t> sortedTexts;  // indexes of texts by low key, when all are single
        std::vector<RangeScaling> ranges;
    };

    static DecimalScaling DecimalScalingOf(double factor, double offset);
    bool ScaleDecimal(uint64_t raw, const DecimalScaling& scaling, double& physical) const;

    uint64_t KeyOf(uint64_t raw) const;
    uint64_t KeyOfBound(uint64_t bound) const;
    Physical Scale(uint64_t raw, double withFactor, double withOffset, bool integer,
                   double roundScale, const DecimalScaling& decimal) const;
    [[noreturn]] void Fail(const std::string& what) const;
    // The raw value of a BCD array of a whole number's digits.
    uint64_t RawForBcd(double value) const;
    // Whether a value outside [minimum, maximum] fails: range checks asked for, a range stated,
    // and no value text naming the raw value the physical value gives.
    bool OutOfRange(double value, bool checkRange) const;
    // The field's bits of a whole raw value (two's complement for signed fields); false when
    // the field cannot hold it.
    bool FieldBits(double raw, uint64_t& bits) const;
    void PrepareTexts(Lookups& lookups);
    void PrepareRanges(Lookups& lookups, bool integerKind);

    // The texts as a table from key - denseBase_ to text index (-1: none), when all are single
    // values, few and close together (the common case of value descriptions).
    CompactVector<int32_t> denseTexts_;
    uint64_t denseBase_ = 0;
    std::shared_ptr<const Lookups> lookups_;  // null when neither is needed
    DecimalScaling decimal_;
    // The field's bits (for encoding).
    uint64_t Mask() const { return LowMask(layout.Length()); }
};

}  // namespace qm::codec
