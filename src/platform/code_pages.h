#pragma once
// Characters as code points: UTF-8 written and read, and the single-byte Windows-1252 page that
// files and messages hold their texts in where they are not UTF-8 (its upper half beyond 0x9F
// is Latin-1).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qm::platform {

inline constexpr uint32_t kReplacementCharacter = 0xFFFD;

namespace detail {

// Code points of the bytes 0x80 to 0x9F in Windows-1252.
inline constexpr uint16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

inline bool IsSurrogate(uint32_t code) {
    return code >= 0xD800 && code <= 0xDFFF;
}

}  // namespace detail

// Appends the UTF-8 form of a code point (U+FFFD for a surrogate or a value past U+10FFFF).
inline void AppendUtf8(std::string& out, uint32_t code) {
    if (detail::IsSurrogate(code) || code > 0x10FFFF) code = kReplacementCharacter;
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The code point of the UTF-8 sequence at `at`, which moves past it; an ill-formed sequence
// (overlong, a surrogate, cut short) reads as U+FFFD and moves one byte on.
inline uint32_t NextCodePoint(std::string_view text, size_t& at) {
    const auto lead = static_cast<uint8_t>(text[at]);
    size_t length = 0;
    uint32_t code = 0;
    uint32_t least = 0;  // below this the sequence is overlong
    if (lead < 0x80) {
        ++at;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, code = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, code = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, code = lead & 0x07, least = 0x10000;
    } else {
        ++at;
        return kReplacementCharacter;
    }
    if (at + length > text.size()) {
        ++at;
        return kReplacementCharacter;
    }
    for (size_t i = 1; i < length; ++i) {
        const auto next = static_cast<uint8_t>(text[at + i]);
        if ((next & 0xC0) != 0x80) {
            ++at;
            return kReplacementCharacter;
        }
        code = (code << 6) | (next & 0x3F);
    }
    if (code < least || code > 0x10FFFF || detail::IsSurrogate(code)) {
        ++at;
        return kReplacementCharacter;
    }
    at += length;
    return code;
}

// The code point of a Windows-1252 byte. The five bytes the page leaves undefined (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) stand for the control characters of their value.
inline uint32_t Windows1252CodePoint(uint8_t byte) {
    return byte >= 0x80 && byte < 0xA0 ? detail::kWindows1252High[byte - 0x80] : byte;
}

// The Windows-1252 byte of a code point; false when the page has none.
inline bool Windows1252Byte(uint32_t code, uint8_t& byte) {
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) {
        byte = static_cast<uint8_t>(code);
        return true;
    }
    for (uint32_t i = 0; i < 32; ++i) {
        if (detail::kWindows1252High[i] == code) {
            byte = static_cast<uint8_t>(0x80 + i);
            return true;
        }
    }
    return false;
}

}  // namespace qm::platform
