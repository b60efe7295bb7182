#include "codec/log_reader.h"

#include <unistd.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <array>
#include <bit>
#include <cerrno>
#include <cstring>

namespace qm::codec {

namespace {

constexpr uint32_t kCanErrorFlag = 0x20000000u;

inline bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view NextWord(std::string_view& rest) {
    size_t at = 0;
    while (at < rest.size() && IsSpace(rest[at])) ++at;
    size_t end = at;
    while (end < rest.size() && !IsSpace(rest[end])) ++end;
    const std::string_view word = rest.substr(at, end - at);
    rest.remove_prefix(end);
    return word;
}

// The value of each hex digit character; 0xFF for every other character.
constexpr std::array<uint8_t, 256> kHexValue = [] {
    std::array<uint8_t, 256> table{};
    for (auto& value : table) value = 0xFF;
    for (int c = 0; c < 10; ++c) table['0' + c] = static_cast<uint8_t>(c);
    for (int c = 0; c < 6; ++c) {
        table['a' + c] = static_cast<uint8_t>(10 + c);
        table['A' + c] = static_cast<uint8_t>(10 + c);
    }
    return table;
}();

inline uint8_t HexValue(char c) {
    return kHexValue[static_cast<unsigned char>(c)];
}

bool ParseHexNumber(std::string_view text, uint32_t& value) {
    if (text.empty() || text.size() > 8) return false;
    value = 0;
    for (char c : text) {
        const uint8_t digit = HexValue(c);
        if (digit > 15) return false;
        value = value << 4 | digit;
    }
    return true;
}

bool ParseDecimalNumber(std::string_view text, uint32_t& value) {
    if (text.empty() || text.size() > 10) return false;
    uint64_t number = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        number = number * 10 + static_cast<uint64_t>(c - '0');
    }
    if (number > 0xFFFFFFFFull) return false;
    value = static_cast<uint32_t>(number);
    return true;
}

// A decimal number as timestamps are written: digits with at most one point.
bool IsDecimal(std::string_view text) {
    if (text.empty()) return false;
    bool digits = false;
    bool point = false;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            digits = true;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digits;
}

bool AppendByte(std::string_view text, LogFrame& frame) {
    if (text.size() != 2 || frame.size >= sizeof(frame.data)) return false;
    const uint8_t high = HexValue(text[0]);
    const uint8_t low = HexValue(text[1]);
    if ((high | low) > 15) return false;
    frame.data[frame.size++] = static_cast<uint8_t>(high << 4 | low);
    return true;
}

// "DEADBEEF" or "DE.AD.BE.EF".
bool ParseCompactData(std::string_view text, LogFrame& frame) {
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '.') {
            ++i;
            continue;
        }
        if (i + 1 >= text.size() || frame.size >= sizeof(frame.data)) return false;
        const uint8_t high = HexValue(text[i]);
        const uint8_t low = HexValue(text[i + 1]);
        if ((high | low) > 15) return false;
        frame.data[frame.size++] = static_cast<uint8_t>(high << 4 | low);
        i += 2;
    }
    return true;
}

// A candump identifier: three digits standard, eight extended (with the error flag an error
// frame).
LogLineKind ParseCandumpId(std::string_view text, LogFrame& frame) {
    uint32_t id = 0;
    if (!ParseHexNumber(text, id)) return LogLineKind::Unreadable;
    if (text.size() == 8 && (id & kCanErrorFlag) != 0) return LogLineKind::Error;
    if (id > 0x1FFFFFFF) return LogLineKind::Unreadable;
    frame.id = id;
    frame.extended = text.size() == 8 || id > 0x7FF;
    return LogLineKind::Frame;
}

// "123#DEADBEEF", "123#R", "123##1DEADBEEF".
LogLineKind ParseCompact(std::string_view word, LogFrame& frame) {
    const size_t hash = word.find('#');
    const LogLineKind kind = ParseCandumpId(word.substr(0, hash), frame);
    if (kind != LogLineKind::Frame) return kind;
    std::string_view data = word.substr(hash + 1);
    if (!data.empty() && data[0] == '#') {
        if (data.size() < 2 || HexValue(data[1]) > 15) return LogLineKind::Unreadable;
        frame.fd = true;
        data.remove_prefix(2);
    } else if (!data.empty() && (data[0] == 'R' || data[0] == 'r')) {
        return LogLineKind::Remote;
    }
    return ParseCompactData(data, frame) ? LogLineKind::Frame : LogLineKind::Unreadable;
}

// Text read 8 bytes at a time as a little-endian word (the first byte lowest): flags in the high
// bit of each byte, computed without a borrow or carry crossing bytes.
constexpr uint64_t kHighBits = 0x8080808080808080ull;
constexpr uint64_t kLowBits = 0x0101010101010101ull;
constexpr bool kWordsByByte = std::endian::native == std::endian::little;

inline uint64_t LoadWord(const char* at) {
    uint64_t word;
    std::memcpy(&word, at, sizeof(word));
    return word;
}

// The high bit of each byte below 0x80 that is at least `least` (at most 0x80).
inline uint64_t AtLeast(uint64_t word, uint8_t least) {
    return ((word | kHighBits) - kLowBits * least) & kHighBits;
}

// The first byte from `at` on that is not a decimal digit (end when none is).
inline const char* SkipDigits(const char* at, const char* end) {
    if constexpr (kWordsByByte) {
        for (; end - at >= 8; at += 8) {
            const uint64_t word = LoadWord(at);
            const uint64_t other =
                (word & kHighBits) | AtLeast(word, ':') | (AtLeast(word, '0') ^ kHighBits);
            if (other != 0) return at + __builtin_ctzll(other) / 8;
        }
    }
    while (at < end && static_cast<unsigned>(*at - '0') <= 9) ++at;
    return at;
}

// Hex digit pairs from `at` on into frame.data from frame.size on, up to the first pair that is
// not one (or the end); returns where the pairs end, nullptr when they exceed 64 bytes.
inline const char* ReadHexPairs(const char* at, const char* end, uint8_t* data, size_t& size) {
    constexpr size_t kMost = sizeof(LogFrame::data);
#if defined(__SSE2__)
    // Eight bytes from sixteen digits (while eight fit), as the words below do it; all eight are
    // stored, those past the pairs are overwritten or lie past the payload.
    for (; end - at >= 16 && size + 8 <= kMost; at += 16) {
        const __m128i text = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        // Signed bytes: those from 0x80 on are negative and neither digit nor letter.
        const __m128i digit = _mm_and_si128(_mm_cmpgt_epi8(text, _mm_set1_epi8('0' - 1)),
                                            _mm_cmplt_epi8(text, _mm_set1_epi8('9' + 1)));
        const __m128i lower = _mm_or_si128(text, _mm_set1_epi8(0x20));  // "A"-"F" as "a"-"f"
        const __m128i letter = _mm_and_si128(_mm_cmpgt_epi8(lower, _mm_set1_epi8('a' - 1)),
                                             _mm_cmplt_epi8(lower, _mm_set1_epi8('f' + 1)));
        const auto invalid =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(digit, letter))) ^ 0xFFFFu;
        const size_t pairs = invalid == 0 ? 8 : static_cast<size_t>(__builtin_ctz(invalid)) / 2;
        const __m128i nibbles = _mm_add_epi8(_mm_and_si128(text, _mm_set1_epi8(0x0F)),
                                             _mm_and_si128(letter, _mm_set1_epi8(9)));
        // Each pair's high digit in the low byte of a 16-bit lane, its low digit in the high.
        const __m128i pairBytes =
            _mm_or_si128(_mm_slli_epi16(_mm_and_si128(nibbles, _mm_set1_epi16(0x00FF)), 4),
                         _mm_srli_epi16(nibbles, 8));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(data + size),
                         _mm_packus_epi16(pairBytes, pairBytes));
        size += pairs;
        if (pairs < 8) return at + 2 * pairs;
    }
#endif
    if constexpr (kWordsByByte) {
        // Four bytes from eight digits (while four fit): each digit's value found by masks, the
        // pairs joined by shifts; all four are stored, those past the pairs are overwritten.
        for (; end - at >= 8 && size + 4 <= kMost; at += 8) {
            const uint64_t word = LoadWord(at);
            const uint64_t lower = word | 0x2020202020202020ull;  // "A"-"F" as "a"-"f"
            const uint64_t digit = AtLeast(word, '0') & ~AtLeast(word, ':');
            const uint64_t letter = AtLeast(lower, 'a') & ~AtLeast(lower, 'g');
            const uint64_t valid = (digit | letter) & ~(word & kHighBits);
            const uint64_t invalid = valid ^ kHighBits;
            const size_t pairs =
                invalid == 0 ? 4 : static_cast<size_t>(__builtin_ctzll(invalid)) / 16;
            const uint64_t nibbles = (word & 0x0F0F0F0F0F0F0F0Full) + (letter >> 7) * 9;
            uint64_t bytes = ((nibbles << 4) | (nibbles >> 8)) & 0x00FF00FF00FF00FFull;
            bytes = (bytes | (bytes >> 8)) & 0x0000FFFF0000FFFFull;
            bytes = (bytes | (bytes >> 16)) & 0xFFFFFFFFull;
            const auto four = static_cast<uint32_t>(bytes);
            std::memcpy(data + size, &four, sizeof(four));
            size += pairs;
            if (pairs < 4) return at + 2 * pairs;
        }
    }
    for (; end - at >= 2; at += 2) {
        const uint8_t high = HexValue(at[0]);
        const uint8_t low = HexValue(at[1]);
        if ((high | low) > 15) break;
        if (size == kMost) return nullptr;
        data[size++] = static_cast<uint8_t>(high << 4 | low);
    }
    return at;
}

// The line candump -L writes, "(1436509052.249713) can0 123#DEADBEEF" or "... 123##1DEAD...",
// at the start of [begin, end), read in one pass with a table for the hex digits; the timestamp
// and channel stay views into the text. Returns where the next line starts (after "\n" or
// "\r\n"; end when the line ends there), or nullptr for any other form, anything after the
// data included (the line is then read word by word from the start), so a line reads the same
// either way. No part of a line may hold a line end, so every scan stops within the line.
const char* ParseCandumpLine(const char* begin, const char* end, LogFrame& frame) {
    const char* const stamp = begin + 1;  // after "("
    const char* at = SkipDigits(stamp, end);
    const bool point = at < end && *at == '.';
    if (point) at = SkipDigits(at + 1, end);
    if (end - at < 2 || *at != ')' || at - stamp <= (point ? 1 : 0) || at[1] != ' ') return nullptr;
    frame.timestamp = std::string_view(stamp, static_cast<size_t>(at - stamp));
    at += 2;
    const char* const channel = at;
    while (at < end && *at != '#' && static_cast<unsigned char>(*at) > ' ') ++at;
    if (at == end || at == channel || *at != ' ') return nullptr;
    frame.channel = std::string_view(channel, static_cast<size_t>(at - channel));
    const char* const idText = ++at;
    uint32_t id = 0;
    for (; at < end && *at != '#'; ++at) {
        const uint8_t digit = HexValue(*at);
        if (digit > 15 || at - idText >= 8) return nullptr;
        id = id << 4 | digit;
    }
    const auto idLength = static_cast<size_t>(at - idText);
    if (at == end || idLength == 0 || id > 0x1FFFFFFF) return nullptr;  // error frames too
    ++at;                                                               // "#"
    bool fd = false;
    if (at < end && *at == '#') {
        if (end - at < 2 || HexValue(at[1]) > 15) return nullptr;
        fd = true;
        at += 2;
    }
    size_t size = 0;
    at = ReadHexPairs(at, end, frame.data, size);
    if (at == nullptr) return nullptr;
    const char* next = nullptr;
    if (at == end) {
        next = end;
    } else if (*at == '\n') {
        next = at + 1;
    } else if (*at == '\r' && (end - at == 1 || at[1] == '\n')) {
        next = end - at == 1 ? end : at + 2;
    } else {
        return nullptr;
    }
    frame.id = id;
    frame.extended = idLength == 8 || id > 0x7FF;
    frame.fd = fd;
    frame.size = static_cast<uint8_t>(size);
    return next;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

void LogCounts::Count(LogLineKind kind) {
    ++lines;
    switch (kind) {
        case LogLineKind::Frame:
            ++frames;
            break;
        case LogLineKind::Remote:
            ++remote;
            break;
        case LogLineKind::Error:
            ++errorFrames;
            break;
        case LogLineKind::Skipped:
            ++skipped;
            break;
        case LogLineKind::Unreadable:
            ++unreadable;
            break;
    }
}

LogCounts& LogCounts::operator+=(const LogCounts& other) {
    lines += other.lines;
    frames += other.frames;
    decoded += other.decoded;
    unknown += other.unknown;
    truncated += other.truncated;
    remote += other.remote;
    errorFrames += other.errorFrames;
    skipped += other.skipped;
    unreadable += other.unreadable;
    return *this;
}

LogLineKind LogLineParser::Parse(std::string_view line, LogFrame& frame) {
    if (!line.empty() && line.front() == '(' &&
        ParseCandumpLine(line.data(), line.data() + line.size(), frame) ==
            line.data() + line.size()) {
        return LogLineKind::Frame;
    }
    frame.timestamp = {};
    frame.channel = {};
    frame.extended = false;
    frame.fd = false;
    frame.size = 0;
    std::string_view rest = line;
    const std::string_view first = NextWord(rest);
    if (first.empty() || first[0] == '#' || StartsWith(first, "//") || first[0] == ';') {
        return LogLineKind::Skipped;
    }
    if (first.front() == '(') return ParseCandump(first, rest, frame);
    if (IsDecimal(first)) {
        frame.timestamp = first;
        return ParseAsc(rest, frame);
    }
    // ASCII log headers and trailers.
    if (first == "date" || first == "internal" || first == "no" || first == "Begin" ||
        first == "End" || first == "base") {
        if (first == "base") TakeHeader(line);
        return LogLineKind::Skipped;
    }
    return ParseCandump(first, rest, frame);
}

LogLineKind LogLineParser::ParseFirst(std::string_view& block, LogFrame& frame) {
    if (block.front() == '(') {
        const char* end = block.data() + block.size();
        if (const char* next = ParseCandumpLine(block.data(), end, frame)) {
            block.remove_prefix(static_cast<size_t>(next - block.data()));
            return LogLineKind::Frame;
        }
    }
    const size_t end = block.find('\n');
    std::string_view line = block.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    block.remove_prefix(end == std::string_view::npos ? block.size() : end + 1);
    return Parse(line, frame);
}

void LogLineParser::TakeHeader(std::string_view line) {
    std::string_view rest = line;
    if (NextWord(rest) == "base") decimalIds_ = NextWord(rest) == "dec";
}

// Only lines whose first word is "base" change the state; they are found by that word.
void LogLineParser::FollowHeaders(std::string_view block) {
    size_t at = 0;
    while ((at = block.find("base", at)) != std::string_view::npos) {
        size_t begin = at;
        while (begin > 0 && IsSpace(block[begin - 1])) --begin;
        if (begin == 0 || block[begin - 1] == '\n') {
            const size_t end = block.find('\n', at);
            TakeHeader(block.substr(begin, end == std::string_view::npos ? end : end - begin));
        }
        at += 4;
    }
}

LogLineKind LogLineParser::ParseCandump(std::string_view first, std::string_view rest,
                                        LogFrame& frame) {
    std::string_view word = first;
    if (word.front() == '(') {
        if (word.size() < 3 || word.back() != ')' || !IsDecimal(word.substr(1, word.size() - 2))) {
            return LogLineKind::Unreadable;
        }
        frame.timestamp = word.substr(1, word.size() - 2);
        word = NextWord(rest);
    }
    // "123#..." alone, or after the interface.
    if (word.find('#') == std::string_view::npos) {
        frame.channel = word;
        word = NextWord(rest);
    }
    if (word.find('#') != std::string_view::npos) return ParseCompact(word, frame);
    // The screen form: id, "[n]", then n bytes.
    const LogLineKind kind = ParseCandumpId(word, frame);
    if (kind != LogLineKind::Frame) return kind;
    word = NextWord(rest);
    if (word.size() < 3 || word.front() != '[' || word.back() != ']') {
        return LogLineKind::Unreadable;
    }
    uint32_t count = 0;
    if (!ParseDecimalNumber(word.substr(1, word.size() - 2), count) || count > 64) {
        return LogLineKind::Unreadable;
    }
    std::string_view next = rest;
    if (NextWord(next) == "remote") return LogLineKind::Remote;
    for (uint32_t i = 0; i < count; ++i) {
        if (!AppendByte(NextWord(rest), frame)) return LogLineKind::Unreadable;
    }
    return LogLineKind::Frame;
}

// After the timestamp: "1 123x Rx d 8 01 02 ...", "1 123 Rx r", "1 ErrorFrame",
// "CANFD 1 Rx 123 name 1 0 8 8 01 02 ..."; everything else (statistics, triggers, other
// buses' events) is skipped.
LogLineKind LogLineParser::ParseAsc(std::string_view rest, LogFrame& frame) {
    std::string_view word = NextWord(rest);
    const bool fd = word == "CANFD";
    if (fd) word = NextWord(rest);
    uint32_t channel = 0;
    if (!ParseDecimalNumber(word, channel)) return LogLineKind::Skipped;
    frame.channel = word;
    word = NextWord(rest);
    if (word == "ErrorFrame") return LogLineKind::Error;
    std::string_view idText;
    if (fd) {
        // Direction first, then the identifier.
        if (word != "Rx" && word != "Tx") return LogLineKind::Skipped;
        idText = NextWord(rest);
    } else {
        idText = word;
    }
    if (idText.empty()) return LogLineKind::Unreadable;
    const bool extendedMark = idText.back() == 'x' || idText.back() == 'X';
    if (extendedMark) idText.remove_suffix(1);
    uint32_t id = 0;
    const bool readable = decimalIds_ ? ParseDecimalNumber(idText, id) : ParseHexNumber(idText, id);
    if (!readable) return LogLineKind::Skipped;  // another event of the channel
    if (id > 0x1FFFFFFF) return LogLineKind::Unreadable;
    frame.id = id;
    frame.extended = extendedMark;
    frame.fd = fd;
    if (fd) {
        // [symbolic name] BRS ESI DLC length bytes...: the name is optional, so the numbers are
        // found from the back of the four.
        std::string_view words[5];
        for (auto& w : words) w = NextWord(rest);
        size_t at = 0;
        if (words[0].size() != 1 || (words[0][0] != '0' && words[0][0] != '1')) at = 1;
        uint32_t length = 0;
        if (!ParseDecimalNumber(words[at + 3], length) || length > 64) {
            return LogLineKind::Unreadable;
        }
        // The words after the four numbers were consumed into words[4] when there is no name.
        std::string_view data = at == 0 ? words[4] : NextWord(rest);
        for (uint32_t i = 0; i < length; ++i) {
            if (i > 0) data = NextWord(rest);
            if (!AppendByte(data, frame)) return LogLineKind::Unreadable;
        }
        return LogLineKind::Frame;
    }
    word = NextWord(rest);  // direction
    if (word != "Rx" && word != "Tx") return LogLineKind::Unreadable;
    word = NextWord(rest);
    if (word == "r" || word == "R") return LogLineKind::Remote;
    if (word != "d" && word != "D") return LogLineKind::Unreadable;
    uint32_t dlc = 0;
    if (!ParseDecimalNumber(NextWord(rest), dlc) || dlc > 64) return LogLineKind::Unreadable;
    for (uint32_t i = 0; i < dlc; ++i) {
        if (!AppendByte(NextWord(rest), frame)) return LogLineKind::Unreadable;
    }
    return LogLineKind::Frame;
}

LineReader::LineReader(int fd, size_t chunkBytes)
    : fd_(fd), capacity_(chunkBytes < 64 ? 64 : chunkBytes), buffer_(new char[capacity_]) {}

LineReader::~LineReader() = default;

bool LineReader::Fill() {
    if (begin_ > 0) {
        std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
        end_ -= begin_;
        base_ += begin_;
        begin_ = 0;
    }
    while (end_ < capacity_) {
        const ssize_t got = ::read(fd_, buffer_.get() + end_, capacity_ - end_);
        if (got < 0) {
            if (errno == EINTR) continue;
            failed_ = true;
            eof_ = true;
            return false;
        }
        if (got == 0) {
            eof_ = true;
            return false;
        }
        end_ += static_cast<size_t>(got);
        return true;  // hand out what arrived: a pipe is decoded as it flows
    }
    return false;
}

bool LineReader::NextBlock(std::string_view& block) {
    while (true) {
        const char* data = buffer_.get();
        if (dropping_) {
            const void* lineEnd = std::memchr(data + begin_, '\n', end_ - begin_);
            if (lineEnd == nullptr) {
                begin_ = end_;
                if (eof_) return false;
                Fill();
                continue;
            }
            begin_ = static_cast<size_t>(static_cast<const char*>(lineEnd) - data) + 1;
            dropping_ = false;
        }
        // The last line end of what is buffered closes the block.
        size_t last = end_;
        while (last > begin_ && data[last - 1] != '\n') --last;
        if (last > begin_) {
            block = std::string_view(data + begin_, last - begin_);
            blockOffset_ = base_ + begin_;
            begin_ = last;
            return true;
        }
        if (eof_) {
            if (end_ > begin_) {
                block = std::string_view(data + begin_, end_ - begin_);
                blockOffset_ = base_ + begin_;
                begin_ = end_;
                return true;
            }
            return false;
        }
        if (begin_ == 0 && end_ == capacity_) {
            // A line longer than the chunk: its first chunk stands for it.
            block = std::string_view(data, end_);
            blockOffset_ = base_;
            begin_ = end_;
            dropping_ = true;
            return true;
        }
        Fill();
    }
}

bool LineReader::NextLine(std::string_view& line) {
    if (block_.empty() && !NextBlock(block_)) return false;
    const size_t end = block_.find('\n');
    line = block_.substr(0, end);
    block_.remove_prefix(end == std::string_view::npos ? block_.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return true;
}

}  // namespace qm::codec
