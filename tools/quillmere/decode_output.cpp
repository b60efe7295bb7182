#include "decode_output.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

#include "codec/number_text.h"
#include "text_encoding.h"

namespace qmtool {

using qm::codec::FrameCodec;
using qm::codec::SignalCodec;

namespace {

// The inside of a JSON string written at `at`: at most six bytes a byte of text.
char* WriteJsonEscaped(char* at, std::string_view text) {
    static const char kHex[] = "0123456789abcdef";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            *at++ = '\\';
            *at++ = c;
        } else if (byte >= 0x20) {
            *at++ = c;
        } else if (c == '\n' || c == '\r' || c == '\t') {
            *at++ = '\\';
            *at++ = c == '\n' ? 'n' : c == '\r' ? 'r' : 't';
        } else {
            std::memcpy(at, "\\u00", 4);
            at[4] = kHex[byte >> 4];
            at[5] = kHex[byte & 15];
            at += 6;
        }
    }
    return at;
}

}  // namespace

void AppendJsonEscaped(std::string& out, std::string_view text) {
    const size_t start = out.size();
    out.resize(start + 6 * text.size());
    out.resize(static_cast<size_t>(WriteJsonEscaped(out.data() + start, text) - out.data()));
}

void AppendCsvField(std::string& out, std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += text;
        return;
    }
    out += '"';
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

namespace {

constexpr int64_t kShortDecimalLimit = 1000000000000000;  // 10^15: 15 digits, DBL_DIG

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes the decimal digits of value so that they end at `end`, two at a time; returns where
// they start.
inline char* DigitsBefore(char* end, uint64_t value) {
    while (value >= 100) {
        const uint64_t pair = value % 100;
        value /= 100;
        end -= 2;
        std::memcpy(end, kDigitPairs + 2 * pair, 2);
    }
    if (value >= 10) {
        end -= 2;
        std::memcpy(end, kDigitPairs + 2 * value, 2);
    } else {
        *--end = static_cast<char>('0' + value);
    }
    return end;
}

// The number of decimal digits of a nonzero value: from its bit width (times log10(2), as
// 1233 / 4096), one more when it reaches the next power of ten.
inline int DigitCount(uint64_t value) {
    static constexpr auto kPowers = [] {
        std::array<uint64_t, 20> powers{};
        uint64_t power = 1;
        for (uint64_t& p : powers) {
            p = power;
            power *= 10;  // wraps after 10^19, which is not kept
        }
        return powers;
    }();
    const int estimate = (64 - __builtin_clzll(value)) * 1233 >> 12;
    return estimate + (value >= kPowers[static_cast<size_t>(estimate)] ? 1 : 0);
}

// The digits of a value written at `at` where they end up (no buffer between: a copy would
// read the digits back before their stores have landed).
[[gnu::always_inline]] inline char* WriteDigits(char* at, uint64_t value) {
    if (value < 10) {
        *at = static_cast<char>('0' + value);
        return at + 1;
    }
    char* const end = at + DigitCount(value);
    DigitsBefore(end, value);
    return end;
}

// Whether a CSV field must be quoted: a loop over a few bytes (a channel name), where
// find_first_of would search the set once per byte.
inline bool NeedsCsvQuotes(std::string_view text) {
    for (const char c : text) {
        if (c == ',' || c == '"' || c == '\r' || c == '\n') return true;
    }
    return false;
}

// Copies a short text with fixed-size moves (timestamps, channels, digits), not a call.
[[gnu::always_inline]] inline char* CopyText(char* at, const char* text, size_t size) {
    if (size >= 8 && size <= 16) {
        std::memcpy(at, text, 8);
        std::memcpy(at + size - 8, text + size - 8, 8);
    } else if (size > 16 && size <= 32) {
        std::memcpy(at, text, 16);
        std::memcpy(at + size - 16, text + size - 16, 16);
    } else if (size >= 4 && size < 8) {
        std::memcpy(at, text, 4);
        std::memcpy(at + size - 4, text + size - 4, 4);
    } else if (size != 0) {  // an empty view may have no data at all
        std::memcpy(at, text, size);
    }
    return at + size;
}

constexpr uint64_t kSixteenDigits = 10000000000000000;  // 10^16

// The eight decimal digits of a value below 10^8, leading zeros included, as text in a 64-bit
// word (the first digit in the lowest byte): split into lanes of four, two and one digit, each
// lane divided by a multiplication.
inline uint64_t EightDigits(uint64_t value) {
    const uint64_t high = value / 10000;
    uint64_t lanes = high | (value - high * 10000) << 32;
    const uint64_t hundreds = (lanes * 10486 >> 20) & 0x0000007F0000007Full;
    lanes = hundreds | (lanes - hundreds * 100) << 16;
    const uint64_t tens = (lanes * 103 >> 10) & 0x000F000F000F000Full;
    lanes = tens | (lanes - tens * 10) << 8;
    return lanes | 0x3030303030303030ull;
}

// The sixteen decimal digits of a value below 10^16, leading zeros included.
inline unsigned __int128 SixteenDigits(uint64_t value) {
    const uint64_t high = value / 100000000;
    return EightDigits(high) | static_cast<unsigned __int128>(EightDigits(value - high * 100000000))
                                   << 64;
}

// How many of the `places` decimal characters (the first in the lowest byte of a word of
// characters) remain once their trailing zeros are dropped: the highest byte that is not "0".
inline int KeptDecimals(uint64_t decimals, int places) {
    const uint64_t digits = decimals ^ (0x3030303030303030ull >> (8 * (8 - places)));
    return digits != 0 ? 8 - __builtin_clzll(digits) / 8 : 0;
}
inline int KeptDecimals(unsigned __int128 decimals, int places) {
    if (places <= 8) return KeptDecimals(static_cast<uint64_t>(decimals), places);
    const auto high = static_cast<uint64_t>(decimals >> 64);
    const uint64_t digits = high ^ (0x3030303030303030ull >> (8 * (16 - places)));
    if (digits != 0) return 16 - __builtin_clzll(digits) / 8;
    return KeptDecimals(static_cast<uint64_t>(decimals), 8);
}

// An integer of at most 15 digits written at [at, end) rewritten as std::to_chars writes it: in
// scientific notation when that is shorter, as for five trailing zeros or more ("1e+05",
// "2.5e+07"). Returns its end.
[[gnu::noinline]] char* ShorterRoundInteger(char* at, char* end) {
    const auto length = static_cast<int>(end - at);
    if (end[-1] != '0') return end;
    int significant = length;
    while (at[significant - 1] == '0') --significant;
    if (significant + (significant > 1 ? 1 : 0) + 4 >= length) return end;  // "e+XX"
    if (significant > 1) {
        std::memmove(at + 2, at + 1, static_cast<size_t>(significant - 1));
        at[1] = '.';
        at += significant + 1;
    } else {
        ++at;
    }
    *at++ = 'e';
    *at++ = '+';
    std::memcpy(at, kDigitPairs + 2 * (length - 1), 2);
    return at + 2;
}

// The text of a decimal digits x 10^-places (digits nonzero, the sign written), digit by digit:
// the general form of WriteShortDecimal. From 1 on the fixed text is always the shorter (but
// for round integers); it is written in place, its trailing zeros dropped afterwards.
[[gnu::noinline]] char* WriteDecimalByDigits(char* at, uint64_t digits, int places) {
    int count = DigitCount(digits);
    if (places == 0) {
        DigitsBefore(at + count, digits);
        return count > 5 ? ShorterRoundInteger(at, at + count) : at + count;
    }
    if (places < count) {
        // The decimals from the back, two at a time, the point, the whole digits.
        char* end = at + count + 1;
        char* next = end;
        int left = places;
        for (; left >= 2; left -= 2) {
            const uint64_t pair = digits % 100;
            digits /= 100;
            next -= 2;
            std::memcpy(next, kDigitPairs + 2 * pair, 2);
        }
        if (left != 0) {
            *--next = static_cast<char>('0' + digits % 10);
            digits /= 10;
        }
        *--next = '.';
        DigitsBefore(next, digits);
        while (end[-1] == '0') --end;
        if (end[-1] != '.') return end;
        --end;
        return end - at > 5 ? ShorterRoundInteger(at, end) : end;
    }
    // Below 1: the notation depends on the digits left without trailing zeros.
    while (digits % 10 == 0) {
        digits /= 10;
        --places;
        --count;
    }
    const int exponent = count - 1 - places;  // of the leading digit, negative
    const int fixed = 2 + places;
    const int scientific = count + (count > 1 ? 1 : 0) + 2 + (exponent <= -100 ? 3 : 2);
    if (fixed <= scientific) {
        // "0.", the leading zeros of the decimals (at most three here), the digits.
        std::memcpy(at, "0.000000", 8);
        char* const end = at + fixed;
        DigitsBefore(end, digits);
        return end;
    }
    char buffer[24];
    char* const bufferEnd = buffer + sizeof(buffer);
    const char* const first = DigitsBefore(bufferEnd, digits);
    *at++ = *first;
    if (count > 1) {
        *at++ = '.';
        at = CopyText(at, first + 1, static_cast<size_t>(count - 1));
    }
    *at++ = 'e';
    *at++ = '-';
    const int absExponent = -exponent;
    if (absExponent >= 100) *at++ = static_cast<char>('0' + absExponent / 100);
    std::memcpy(at, kDigitPairs + 2 * (absExponent % 100), 2);
    return at + 2;
}

// The text of WriteShortDecimal from the digits as a word of characters (Text: 8 or 16 of
// them, leading zeros included, the first in the lowest byte): the fixed text is put together
// with shifts, its point inserted, its trailing zeros found by a bit count. digits has `count`
// digits; count + 1 and places are at most the characters of Text.
template <class Text>
char* WriteDecimalText(char* at, Text text, uint64_t digits, int count, int places) {
    constexpr int kChars = sizeof(Text);
    if (places < count) {
        // The digits moved to the start, the point put after the whole ones.
        const Text number = text >> (8 * (kChars - count));
        const int whole = count - places;
        const Text decimals = number >> (8 * whole);
        const Text fixed = (number & ((Text{1} << (8 * whole)) - 1)) | (Text{'.'} << (8 * whole)) |
                           (decimals << (8 * (whole + 1)));
        std::memcpy(at, &fixed, sizeof(fixed));
        const int kept = KeptDecimals(decimals, places);
        if (kept > 0) return at + whole + 1 + kept;
        return whole > 5 ? ShorterRoundInteger(at, at + whole) : at + whole;
    }
    // Below 1: "0.", the zeros and digits of the decimals but their trailing zeros, unless the
    // scientific text is shorter (then the general way).
    const Text decimals = text >> (8 * (kChars - places));
    const int kept = KeptDecimals(decimals, places);
    const int significant = count - (places - kept);
    if (2 + kept > significant + (significant > 1 ? 1 : 0) + 4) {
        return WriteDecimalByDigits(at, digits, places);
    }
    std::memcpy(at, "0.", 2);
    std::memcpy(at + 2, &decimals, sizeof(decimals));
    return at + 2 + kept;
}

// The text of the double nearest to a decimal of at most 15 significant digits, +-digits x
// 10^-places (digits nonzero): that decimal is its shortest text (two such decimals never share
// a double). std::to_chars writes the shorter of fixed and scientific notation (fixed on a
// tie): the fixed text when it is not longer, else "d.ddde-XX" as std::to_chars writes it.
// Up to 7 (15) digits with up to 8 (15) places, every decimal of a decode step and of a
// signal's rounding, are made as 8 (16) characters at once, without a branch per digit; others
// digit by digit. Writes up to 19 bytes.
char* WriteShortDecimal(char* at, bool negative, uint64_t digits, int places) {
    *at = '-';
    at += negative ? 1 : 0;
    const auto placesLess1 = static_cast<unsigned>(places - 1);
    if (digits < 10000000 && placesLess1 < 8) {
        return WriteDecimalText(at, EightDigits(digits), digits, DigitCount(digits), places);
    }
    if (digits < kSixteenDigits / 10 && placesLess1 < 15) {
        return WriteDecimalText(at, SixteenDigits(digits), digits, DigitCount(digits), places);
    }
    return WriteDecimalByDigits(at, digits, places);
}

// The text of an integer: std::to_chars's digits, a pair at a time.
char* WriteInteger(char* at, int64_t value) {
    *at = '-';
    at += value < 0 ? 1 : 0;
    return WriteDigits(
        at, value < 0 ? uint64_t{0} - static_cast<uint64_t>(value) : static_cast<uint64_t>(value));
}

// AppendDouble's text written at `at`.
char* WriteShortestDouble(char* at, double value) {
    if (!std::isfinite(value)) {
        std::memcpy(at, "null", 4);
        return at + 4;
    }
    return std::to_chars(at, at + kMostNumberBytes, value).ptr;
}

[[gnu::always_inline]] inline char* WriteText(char* at, std::string_view text) {
    return CopyText(at, text.data(), text.size());
}

// The bytes that may be read at a payload: all of a log line's buffer when the payload is in
// it, else only the payload (FrameCodec::Decode then pads a copy).
size_t ReadableBytes(const uint8_t* payload, const qm::codec::LogFrame* line) {
    return line && payload == line->data ? sizeof(line->data) : 0;
}

// Physical::AppendTo's text written at `at`.
char* WritePhysical(char* at, const SignalCodec& signal, uint64_t raw) {
    const qm::codec::Physical physical = signal.PhysicalOf(raw);
    switch (physical.type) {
        case qm::codec::Physical::Type::Double:
            return WritePhysicalDouble(at, physical.real, signal.RoundScale(),
                                       signal.RoundDecimals());
        case qm::codec::Physical::Type::Integer:
            return WriteInteger(at, physical.integer);
        case qm::codec::Physical::Type::Unsigned:
            return std::to_chars(at, at + kMostNumberBytes, physical.natural).ptr;
        case qm::codec::Physical::Type::Wide:
            break;
    }
    std::string text;
    physical.AppendTo(text);
    return WriteText(at, text);
}

// The text of a decoded value whose step has its decimal form: what WritePhysical writes, from
// integers only. Else WritePhysical.
[[gnu::always_inline]] inline char* WriteStepValue(char* at, const FrameCodec& frame, size_t index,
                                                   uint64_t raw, const FrameCodec::Step& step) {
    int64_t mantissa;
    if (!step.Decimal(raw, mantissa)) return WritePhysical(at, frame.signals[index], raw);
    if (step.Decimals() == 0) return WriteInteger(at, mantissa);
    if (mantissa == 0) {
        *at++ = '0';
        return at;
    }
    const uint64_t digits = mantissa < 0 ? uint64_t{0} - static_cast<uint64_t>(mantissa)
                                         : static_cast<uint64_t>(mantissa);
    return WriteShortDecimal(at, mantissa < 0, digits, step.Decimals());
}

}  // namespace

// The decimal is value * 10^decimals rounded; dividing back must give the very same double.
char* WritePhysicalDouble(char* at, double value, double roundScale, int decimals) {
    if (value == 0.0) {
        // "0" or "-0", as std::to_chars writes them.
        if (std::signbit(value)) *at++ = '-';
        *at++ = '0';
        return at;
    }
    const double product = value * roundScale;
    if (roundScale > 0.0 && std::fabs(value) < 1e15 && std::fabs(product) < 1e15) {
        const double scaled = qm::codec::NearestInteger(product);
        const auto integer = static_cast<int64_t>(scaled);
        if (integer != 0 && integer > -kShortDecimalLimit && integer < kShortDecimalLimit &&
            scaled / roundScale == value) {
            return WriteShortDecimal(
                at, integer < 0, static_cast<uint64_t>(integer < 0 ? -integer : integer), decimals);
        }
    }
    return WriteShortestDouble(at, value);
}

DecodeWriter::DecodeWriter(const TextDecoder& decoder, DecodeStyle style)
    : decoder_(decoder), style_(style), json_(style == DecodeStyle::Json) {}

DecodeWriter::~DecodeWriter() = default;

void DecodeWriter::ServeCatalog(const qm::codec::FrameCatalog& frames) {
    const std::lock_guard lock(mutex_);
    if (indexSlots_ >= frames.Count()) return;
    auto slots = std::make_unique<std::atomic<FrameTexts*>[]>(frames.Count());
    for (size_t i = 0; i < frames.Count(); ++i) {
        slots[i].store(i < indexSlots_ ? byIndex_[i].load() : nullptr);
    }
    byIndex_ = std::move(slots);
    indexSlots_ = frames.Count();
}

std::string DecodeWriter::Quoted(std::string_view text) const {
    const std::string utf8 = decoder_.ToUtf8(std::string(text));
    if (style_ == DecodeStyle::Csv) {
        std::string out;
        AppendCsvField(out, utf8);
        return out;
    }
    if (!json_) return utf8;
    std::string out = "\"";
    AppendJsonEscaped(out, utf8);
    out += '"';
    return out;
}

std::string DecodeWriter::NameOf(const FrameCodec& frame) const {
    return decoder_.ToUtf8(frame.name);
}

namespace {

// Bytes of a JSON object around its head and signals: "{", ",\"signals\":[", "]",
// ",\"truncated\":true" and "}\n".
constexpr size_t kJsonObjectFrame = 1 + 12 + 1 + 17 + 2;

// The most bytes a signal (the last one made) adds to a JSON object: a comma, its name text, the
// raw value, ",\"physical\":" and the value (with ".0"), the longest unit, ",\"valueText\":" and
// the longest value text, "}".
template <class FrameTexts, class SignalTexts>
size_t JsonSignalBound(const FrameTexts& texts, const SignalTexts& entry) {
    size_t unit = entry.unit.size;
    size_t text = 0;
    for (size_t i = entry.firstText; i < texts.values.size(); ++i) {
        if (i < entry.firstRange) {
            text = std::max<size_t>(text, texts.values[i].size);
        } else {
            unit = std::max<size_t>(unit, texts.values[i].size);
        }
    }
    return 1 + entry.name.size + kMostNumberBytes + 12 + kMostNumberBytes + 2 + unit + 13 + text +
           1;
}

}  // namespace

std::unique_ptr<DecodeWriter::FrameTexts> DecodeWriter::MakeTexts(const FrameCodec& frame) const {
    auto texts = std::make_unique<FrameTexts>();
    std::string head;
    if (json_) {
        head = "\"id\":" + std::to_string(frame.id) +
               ",\"extended\":" + (frame.extended ? "true" : "false") +
               ",\"name\":" + Quoted(frame.name);
    } else if (style_ == DecodeStyle::Csv) {
        head = "timestamp,channel";
        for (const SignalCodec& signal : frame.signals) head += "," + Quoted(signal.name);
    } else {
        head = Quoted(frame.name) + " (id " + std::to_string(frame.id) + ")";
    }
    texts->head = texts->Keep(head);
    for (const SignalCodec& signal : frame.signals) {
        SignalTexts entry;
        if (json_) {
            entry.name = texts->Keep("{\"name\":" + Quoted(signal.name) + ",\"raw\":");
            if (!signal.unit.empty()) entry.unit = texts->Keep(",\"unit\":" + Quoted(signal.unit));
        } else if (style_ == DecodeStyle::Text) {
            entry.name = texts->Keep("  " + Quoted(signal.name) + " = ");
            if (!signal.unit.empty()) entry.unit = texts->Keep(" " + Quoted(signal.unit));
        }
        entry.hasTexts = !signal.texts.empty();
        entry.hasRanges = !signal.ranges.empty();
        entry.firstText = static_cast<uint32_t>(texts->values.size());
        if (style_ != DecodeStyle::Csv) {
            for (const auto& text : signal.texts)
                texts->values.push_back(texts->Keep(Quoted(text.text)));
        }
        entry.firstRange = static_cast<uint32_t>(texts->values.size());
        if (style_ != DecodeStyle::Csv) {
            for (const auto& range : signal.ranges) {
                texts->values.push_back(texts->Keep(range.text.empty() ? std::string()
                                                    : json_ ? ",\"unit\":" + Quoted(range.text)
                                                            : " " + Quoted(range.text)));
            }
        }
        texts->signals.push_back(entry);
        // The text of an ASCII array: ",\"valueText\":", its quotes and 8 bytes escaped.
        if (json_) {
            texts->jsonBound +=
                JsonSignalBound(*texts, entry) + (signal.ReadsAsText() ? 13 + 2 + 6 * 8 : 0);
        }
    }
    if (json_) texts->jsonBound += texts->head.size + kJsonObjectFrame;
    texts->blob.shrink_to_fit();
    return texts;
}

const DecodeWriter::FrameTexts& DecodeWriter::TextsOf(const FrameCodec& frame) const {
    const size_t index = frame.CatalogIndex();
    if (index < indexSlots_) {
        if (FrameTexts* texts = byIndex_[index].load(std::memory_order_acquire)) return *texts;
    }
    const std::lock_guard lock(mutex_);
    if (index < indexSlots_) {
        if (FrameTexts* texts = byIndex_[index].load(std::memory_order_acquire)) return *texts;
    } else if (auto found = byAddress_.find(&frame); found != byAddress_.end()) {
        return *found->second;
    }
    owned_.push_back(MakeTexts(frame));
    FrameTexts* texts = owned_.back().get();
    if (index < indexSlots_) {
        byIndex_[index].store(texts, std::memory_order_release);
    } else {
        byAddress_.emplace(&frame, texts);
    }
    return *texts;
}

std::string DecodeWriter::CsvHeader(const FrameCodec& frame) const {
    const FrameTexts& texts = TextsOf(frame);
    return std::string(texts.View(texts.head)) + '\n';
}

namespace {

// What a signal's value adds to its name: the unit (of its scaled range when the signal has no
// unit of its own) and the index of its value text (-1 for none).
struct ValueWords {
    uint32_t unitAt;
    uint32_t unitSize;
    int text;
};

template <class FrameTexts, class SignalTexts>
ValueWords WordsOf(const SignalCodec& signal, const FrameTexts& frameTexts,
                   const SignalTexts& texts, uint64_t raw) {
    auto unit = texts.unit;
    if (unit.size == 0 && texts.hasRanges) {
        const int range = signal.RangeIndex(raw);
        if (range >= 0) unit = frameTexts.values[texts.firstRange + static_cast<uint32_t>(range)];
    }
    return {unit.at, unit.size, texts.hasTexts ? signal.TextIndex(raw) : -1};
}

// JSON gives a double as a double ("2.0"); the text and CSV forms write it as it reads.
char* WriteJsonPhysical(char* at, const SignalCodec& signal, uint64_t raw) {
    const qm::codec::Physical physical = signal.PhysicalOf(raw);
    if (physical.type != qm::codec::Physical::Type::Double) return WritePhysical(at, signal, raw);
    char* start = at;
    at = WritePhysicalDouble(at, physical.real, signal.RoundScale(), signal.RoundDecimals());
    return qm::codec::MarkJsonDouble(start, at, physical.real);
}

}  // namespace

void DecodeWriter::AppendSignal(std::string& out, const SignalCodec& signal,
                                const FrameTexts& frameTexts, const SignalTexts& texts,
                                uint64_t raw) const {
    const ValueWords words = WordsOf(signal, frameTexts, texts, raw);
    out += frameTexts.View(texts.name);
    char number[kMostNumberBytes];
    out.append(number, WritePhysical(number, signal, raw));
    out += frameTexts.View({words.unitAt, words.unitSize});
    out += "  (raw ";
    qm::codec::AppendUnsigned(out, raw);
    out += ')';
    if (words.text >= 0) {
        out += "  \"";
        out +=
            frameTexts.View(frameTexts.values[texts.firstText + static_cast<uint32_t>(words.text)]);
        out += '"';
    } else if (signal.ReadsAsText()) {
        out += "  \"";
        AppendJsonEscaped(out, signal.ArrayText(raw));
        out += '"';
    }
    out += '\n';
}

char* DecodeWriter::WriteJsonSignal(char* at, const SignalCodec& signal,
                                    const FrameTexts& frameTexts, const SignalTexts& texts,
                                    uint64_t raw) const {
    const ValueWords words = WordsOf(signal, frameTexts, texts, raw);
    at = WriteText(at, frameTexts.View(texts.name));
    at = std::to_chars(at, at + kMostNumberBytes, raw).ptr;
    at = WriteText(at, ",\"physical\":");
    at = WriteJsonPhysical(at, signal, raw);
    at = WriteText(at, frameTexts.View({words.unitAt, words.unitSize}));
    if (words.text >= 0) {
        at = WriteText(at, ",\"valueText\":");
        at = WriteText(at,
                       frameTexts.View(
                           frameTexts.values[texts.firstText + static_cast<uint32_t>(words.text)]));
    } else if (signal.ReadsAsText()) {
        at = WriteText(at, ",\"valueText\":\"");
        at = WriteJsonEscaped(at, signal.ArrayText(raw));
        *at++ = '"';
    }
    *at++ = '}';
    return at;
}

size_t DecodeWriter::CsvRowBound(const FrameCodec& frame, const qm::codec::LogFrame* line) {
    // A quoted channel doubles its quotes; every cell has its comma; the line end.
    const size_t head = line ? line->timestamp.size() + 2 * line->channel.size() + 3 : 1;
    return head + frame.signals.size() * (kMostNumberBytes + 1) + 1;
}

// `count` commas (one at least) written at `at`, before a cell of a row's bound: a fixed store
// of 32 bytes (the room of a cell) for up to 32, not a call.
[[gnu::always_inline]] inline char* WriteCommas(char* at, size_t count) {
    static constexpr char kCommas[] = ",,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,";
    if (count == 1) {
        *at = ',';
    } else if (count <= 32) {
        std::memcpy(at, kCommas, 32);
    } else {
        std::memset(at, ',', count);
    }
    return at + count;
}

// timestamp,channel then one cell per signal: the physical value, empty for a signal the frame
// does not carry (another multiplexer value, a short payload).
char* DecodeWriter::WriteCsvRow(char* at, const FrameCodec& frame, const uint8_t* payload,
                                size_t size, const qm::codec::LogFrame* line,
                                bool& complete) const {
    if (line) {
        at = WriteText(at, line->timestamp);
        *at++ = ',';
        if (!NeedsCsvQuotes(line->channel)) {
            at = WriteText(at, line->channel);
        } else {
            std::string field;
            AppendCsvField(field, line->channel);
            at = WriteText(at, field);
        }
    } else {
        *at++ = ',';
    }
    size_t next = 0;
    complete = frame.Decode(
        payload, size, ReadableBytes(payload, line),
        [&](size_t index, uint64_t raw, const FrameCodec::Step& step)
            __attribute__((always_inline)) {
                // The commas of the cells left empty before this one, and its own.
                at = WriteCommas(at, index + 1 - next);
                next = index + 1;
                at = WriteStepValue(at, frame, index, raw, step);
            });
    const size_t rest = frame.signals.size() - next;
    if (rest != 0) at = WriteCommas(at, rest);
    *at++ = '\n';
    return at;
}

bool DecodeWriter::AppendCsvRow(std::string& out, const FrameCodec& frame, const uint8_t* payload,
                                size_t size, const qm::codec::LogFrame* line) const {
    const size_t bound = CsvRowBound(frame, line);
    char onStack[4096];
    std::unique_ptr<char[]> onHeap;
    char* buffer = onStack;
    if (bound > sizeof(onStack)) {
        onHeap = std::make_unique<char[]>(bound);
        buffer = onHeap.get();
    }
    bool complete = true;
    char* end = WriteCsvRow(buffer, frame, payload, size, line, complete);
    out.append(buffer, end);
    return complete;
}

size_t DecodeWriter::JsonBound(const FrameTexts& texts, const qm::codec::LogFrame* line) {
    size_t bound = texts.jsonBound;
    // "\"timestamp\":" with a 0 before or after the digits and a comma; the channel escaped.
    if (line) bound += 12 + line->timestamp.size() + 3 + 11 + 6 * line->channel.size() + 2;
    return bound;
}

char* DecodeWriter::WriteJson(char* at, const FrameTexts& texts, const FrameCodec& frame,
                              const uint8_t* payload, size_t size, const qm::codec::LogFrame* line,
                              bool& complete) const {
    *at++ = '{';
    if (line && !line->timestamp.empty()) {
        at = WriteText(at, "\"timestamp\":");
        // Written as the log wrote it: a decimal number, exact.
        if (line->timestamp.front() == '.') *at++ = '0';
        at = WriteText(at, line->timestamp);
        if (line->timestamp.back() == '.') *at++ = '0';
        *at++ = ',';
    }
    if (line && !line->channel.empty()) {
        at = WriteText(at, "\"channel\":\"");
        at = WriteJsonEscaped(at, line->channel);
        at = WriteText(at, "\",");
    }
    at = WriteText(at, texts.View(texts.head));
    at = WriteText(at, ",\"signals\":[");
    bool first = true;
    complete =
        frame.Decode(payload, size, ReadableBytes(payload, line), [&](size_t index, uint64_t raw) {
            if (!first) *at++ = ',';
            first = false;
            at = WriteJsonSignal(at, frame.signals[index], texts, texts.signals[index], raw);
        });
    *at++ = ']';
    if (!complete) at = WriteText(at, ",\"truncated\":true");
    return WriteText(at, "}\n");
}

bool DecodeWriter::AppendJson(std::string& out, const FrameCodec& frame, const uint8_t* payload,
                              size_t size, const qm::codec::LogFrame* line) const {
    // The string grows by the bound and is cut back to what was written.
    struct StringRoom {
        std::string& out;
        char* Room(size_t bytes) {
            const size_t at = out.size();
            out.resize(at + bytes);
            return out.data() + at;
        }
        void SetEnd(const char* end) { out.resize(static_cast<size_t>(end - out.data())); }
    } room{out};
    return AppendJsonTo(room, frame, payload, size, line);
}

bool DecodeWriter::Append(std::string& out, const FrameCodec& frame, const uint8_t* payload,
                          size_t size, const qm::codec::LogFrame* line) const {
    // A row holds numbers only (its table's header has the names).
    if (style_ == DecodeStyle::Csv) return AppendCsvRow(out, frame, payload, size, line);
    if (json_) return AppendJson(out, frame, payload, size, line);
    const FrameTexts& texts = TextsOf(frame);
    if (line && !line->timestamp.empty()) {
        out += '(';
        out += line->timestamp;
        out += ") ";
    }
    if (line && !line->channel.empty()) {
        out += line->channel;
        out += ' ';
    }
    out += texts.View(texts.head);
    out += '\n';
    const bool complete =
        frame.Decode(payload, size, ReadableBytes(payload, line), [&](size_t index, uint64_t raw) {
            AppendSignal(out, frame.signals[index], texts, texts.signals[index], raw);
        });
    if (!complete) {
        out += "  (truncated: " + std::to_string(size) + " of " + std::to_string(frame.size) +
               " bytes)\n";
    }
    return complete;
}

}  // namespace qmtool
