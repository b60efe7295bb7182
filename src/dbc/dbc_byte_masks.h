#pragma once
// The bytes of a short piece of a statement that split it, as bit masks (bit i for byte i): a
// line is then cut into its pieces with a few bit operations instead of a test per byte.
#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "dbc/dbc_tokens.h"

namespace qm::dbc {

struct ByteMasks {
    static constexpr size_t kMaxBytes = 64;

    uint64_t white = 0;  // blank, tab, line feed, carriage return (kWhite)
    uint64_t quote = 0;
    uint64_t colon = 0;
};

// The masks of the first bytes of text, at most kMaxBytes of them. Only the bytes of the text
// are read: whole blocks of sixteen with vector compares, a rest after them as the last sixteen
// bytes (its bits from the overlap are the same again), a text shorter than that one by one.
inline ByteMasks MasksOf(const char* text, size_t bytes) {
    ByteMasks masks;
    size_t i = 0;
#if defined(__SSE2__)
    const auto addBlock = [text, &masks](size_t at) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + at));
        const auto equal = [block](char c) { return _mm_cmpeq_epi8(block, _mm_set1_epi8(c)); };
        const auto bits = [](__m128i matches) {
            return static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(matches)));
        };
        const __m128i white = _mm_or_si128(_mm_or_si128(equal(' '), equal('\t')),
                                           _mm_or_si128(equal('\r'), equal('\n')));
        masks.white |= bits(white) << at;
        masks.quote |= bits(equal('"')) << at;
        masks.colon |= bits(equal(':')) << at;
    };
    for (; i + 16 <= bytes; i += 16) addBlock(i);
    if (i < bytes && i >= 16) {
        addBlock(bytes - 16);
        i = bytes;
    }
#endif
    for (; i < bytes; ++i) {
        const uint64_t bit = uint64_t{1} << i;
        const char c = text[i];
        if (kWhite.Contains(c)) {
            masks.white |= bit;
        } else if (c == '"') {
            masks.quote |= bit;
        } else if (c == ':') {
            masks.colon |= bit;
        }
    }
    return masks;
}

// The bytes inside quoted runs: from each opening quote up to its closing quote (exclusive), or
// to the end when a quote is not closed. Quotes pair from the left, as SplitQuoted pairs them.
inline uint64_t QuotedRuns(uint64_t quotes) {
    uint64_t inside = 0;
    while (quotes != 0) {
        const uint64_t opening = quotes & (~quotes + 1);
        quotes &= quotes - 1;
        if (quotes == 0) return inside | ~(opening - 1);
        const uint64_t closing = quotes & (~quotes + 1);
        quotes &= quotes - 1;
        inside |= (closing - 1) & ~(opening - 1);
    }
    return inside;
}

// The first and last byte of each piece between separators, for a text of bytes bytes.
struct PieceBounds {
    uint64_t firsts = 0;
    uint64_t lasts = 0;
};

inline PieceBounds PiecesOf(uint64_t separators, size_t bytes) {
    const uint64_t inText = bytes >= 64 ? ~uint64_t{0} : (uint64_t{1} << bytes) - 1;
    const uint64_t inPiece = ~separators & inText;
    return PieceBounds{inPiece & ~(inPiece << 1), inPiece & ~(inPiece >> 1)};
}

}  // namespace qm::dbc
