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

// Appends the UTF-8 form of a code point (U+FFFD for a surrogate or a value past U+10FFFF).
void AppendUtf8(std::string& out, uint32_t code);

// The code point of the UTF-8 sequence at `at`, which moves past it; an ill-formed sequence
// (overlong, a surrogate, cut short) reads as U+FFFD and moves one byte on.
uint32_t NextCodePoint(std::string_view text, size_t& at);

// The code point of a Windows-1252 byte. The five bytes the page leaves undefined (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) stand for the control characters of their value.
uint32_t Windows1252CodePoint(uint8_t byte);

// The Windows-1252 byte of a code point; false when the page has none.
bool Windows1252Byte(uint32_t code, uint8_t& byte);

}  // namespace qm::platform
