#pragma once
// Character scanning primitives of the XML reader: classification of bytes the way the reader's
// tokenizer sees them, and fast searches for the few bytes that end a run of character data.
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qm::xml {

// Byte classes of the tokenizer outside quoted strings.
enum class CharClass : uint8_t {
    kOrdinary,   // part of a run of ordinary characters
    kDelimiter,  // "<", ">", "=", "/": always a token of its own
    kSpace,      // space, tab, line feed, carriage return: always a token of its own
    kQuote,      // opens a quoted string inside a tag, ordinary outside
};

struct CharClassTable {
    CharClass entries[256];
    constexpr CharClassTable() : entries() {
        for (auto& entry : entries) entry = CharClass::kOrdinary;
        for (unsigned char c : {'<', '>', '=', '/'}) entries[c] = CharClass::kDelimiter;
        for (unsigned char c : {' ', '\t', '\n', '\r'}) entries[c] = CharClass::kSpace;
        entries[static_cast<unsigned char>('"')] = CharClass::kQuote;
        entries[static_cast<unsigned char>('\'')] = CharClass::kQuote;
    }
};

inline constexpr CharClassTable kCharClasses{};

inline CharClass ClassOf(char c) {
    return kCharClasses.entries[static_cast<unsigned char>(c)];
}

inline bool IsTokenSpace(char c) {
    return ClassOf(c) == CharClass::kSpace;
}

#if defined(__SSE2__)
inline int MatchMask(__m128i block, char a) {
    return _mm_movemask_epi8(_mm_cmpeq_epi8(block, _mm_set1_epi8(a)));
}
#endif

// The first of a or b in [p, end), or end.
inline const char* FindEither(const char* p, const char* end, char a, char b) {
#if defined(__SSE2__)
    while (end - p >= 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int mask = MatchMask(block, a) | MatchMask(block, b);
        if (mask != 0) return p + __builtin_ctz(static_cast<unsigned>(mask));
        p += 16;
    }
#endif
    for (; p < end; ++p) {
        if (*p == a || *p == b) return p;
    }
    return end;
}

// The first of "<", ">", double or single quote in [p, end), or end.
inline const char* FindMarkupOrQuote(const char* p, const char* end) {
#if defined(__SSE2__)
    while (end - p >= 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int mask = MatchMask(block, '<') | MatchMask(block, '>') | MatchMask(block, '"') |
                         MatchMask(block, '\'');
        if (mask != 0) return p + __builtin_ctz(static_cast<unsigned>(mask));
        p += 16;
    }
#endif
    for (; p < end; ++p) {
        if (*p == '<' || *p == '>' || *p == '"' || *p == '\'') return p;
    }
    return end;
}

// The first byte in [p, end) that is not a space, tab, line feed or carriage return, or end.
inline const char* SkipTokenSpace(const char* p, const char* end) {
#if defined(__SSE2__)
    while (end - p >= 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int spaces = MatchMask(block, ' ') | MatchMask(block, '\t') | MatchMask(block, '\n') |
                           MatchMask(block, '\r');
        if (spaces != 0xFFFF) return p + __builtin_ctz(static_cast<unsigned>(~spaces & 0xFFFF));
        p += 16;
    }
#endif
    while (p < end && IsTokenSpace(*p)) ++p;
    return p;
}

// The first byte c in [p, end), or end.
inline const char* FindByte(const char* p, const char* end, char c) {
    const void* hit = std::memchr(p, c, static_cast<size_t>(end - p));
    return hit ? static_cast<const char*>(hit) : end;
}

}  // namespace qm::xml
