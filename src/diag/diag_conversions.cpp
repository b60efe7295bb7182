#include "diag/diag_conversions.h"

#include <algorithm>
#include <cmath>

#include "diag/diag_tables.h"
#include "platform/code_pages.h"

namespace qm::diag {

namespace {

// The decimal digits a binary-coded field holds: a nibble or a byte each.
int DecimalDigits(const CParam& param) {
    const int32_t bits = std::clamp<int32_t>(param.bitLength, 0, 64);
    return param.codedForm == CParam::kCodedBcdPacked ? bits / 4 : bits / 8;
}

uint64_t DecimalOfBcd(uint64_t bits, int digitBits) {
    uint64_t value = 0;
    uint64_t weight = 1;
    for (; bits != 0; bits >>= digitBits) {
        value += (bits & 0xF) * weight;  // a nibble above 9 counts as that many, unchecked
        weight *= 10;
    }
    return value;
}

uint64_t BcdOfDecimal(uint64_t value, int digits, int digitBits) {
    uint64_t bits = 0;
    for (int digit = 0; digit < digits && value != 0; ++digit, value /= 10)
        bits |= (value % 10) << (digit * digitBits);
    return bits;
}

// The top bit of the field (0 for a field of no bits).
uint64_t SignBit(const CParam& param) {
    return param.bitLength > 0 ? uint64_t{1} << (std::min(param.bitLength, 64) - 1) : 0;
}

}  // namespace

uint64_t ValueOfCoded(const CParam& param, uint64_t bits) {
    const uint64_t mask = MaskBits(param.bitLength);
    const uint64_t sign = SignBit(param);
    switch (param.codedForm) {
        case CParam::kCodedBcdPacked:
            return DecimalOfBcd(bits, 4);
        case CParam::kCodedBcdUnpacked:
            return DecimalOfBcd(bits, 8);
        case CParam::kCodedOnesComplement:
            return (bits & sign) != 0 ? (bits + 1) & mask : bits;  // all ones: minus zero, 0
        case CParam::kCodedSignMagnitude:
            return (bits & sign) != 0 ? (0 - (bits & ~sign)) & mask : bits;
        default:
            return bits;
    }
}

uint64_t CodedOfValue(const CParam& param, uint64_t value) {
    const uint64_t mask = MaskBits(param.bitLength);
    const uint64_t sign = SignBit(param);
    value &= mask;
    switch (param.codedForm) {
        case CParam::kCodedBcdPacked:
            return BcdOfDecimal(value, DecimalDigits(param), 4);
        case CParam::kCodedBcdUnpacked:
            return BcdOfDecimal(value, DecimalDigits(param), 8);
        case CParam::kCodedOnesComplement:
            return (value & sign) != 0 ? (value - 1) & mask : value;
        case CParam::kCodedSignMagnitude:
            return (value & sign) != 0 ? sign | ((0 - value) & (mask >> 1)) : value;
        default:
            return value;
    }
}

bool ReadValue(const uint8_t* data, size_t size, size_t at, const CParam& param, uint64_t& value) {
    if (!ReadBits(data, size, at, param, value)) return false;
    value = ValueOfCoded(param, value);
    return true;
}

void WriteValue(std::vector<uint8_t>& bytes, size_t at, const CParam& param, uint64_t value) {
    WriteBits(bytes, at, param, CodedOfValue(param, value));
}

namespace {

uint8_t TextForm(const CParam& param) {
    if (param.codedForm >= CParam::kTextLatin1) return param.codedForm;
    return param.baseTypeCode == kTypeUtf16 ? CParam::kTextUtf16 : CParam::kCodedPlain;
}

std::string TextOfUtf16(const std::vector<uint8_t>& bytes, bool lowFirst) {
    std::string text;
    const auto unitAt = [&](size_t i) -> uint32_t {
        return lowFirst ? bytes[i] | (bytes[i + 1] << 8) : (bytes[i] << 8) | bytes[i + 1];
    };
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        uint32_t code = unitAt(i);
        if (code >= 0xD800 && code < 0xDC00 && i + 3 < bytes.size()) {
            const uint32_t low = unitAt(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        platform::AppendUtf8(text, code);  // a lone surrogate becomes U+FFFD
    }
    return text;
}

}  // namespace

std::string TextOfField(const CParam& param, const std::vector<uint8_t>& bytes) {
    const uint8_t form = TextForm(param);
    if (form == CParam::kTextUtf16) return TextOfUtf16(bytes, param.byteOrder == 1);
    // A text as written keeps the zeros that fill its field, as odxtools reads it (a NUL is
    // a character of each of these pages); the plain reading ends the text at them.
    size_t end = bytes.size();
    if (param.codedForm < CParam::kTextLatin1) {
        while (end > 0 && bytes[end - 1] == 0) --end;
    }
    if (form != CParam::kTextLatin1 && form != CParam::kTextWindows1252)
        return std::string(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(end));
    std::string text;
    text.reserve(end);
    for (size_t i = 0; i < end; ++i) {
        platform::AppendUtf8(text, form == CParam::kTextLatin1
                                       ? bytes[i]
                                       : platform::Windows1252CodePoint(bytes[i]));
    }
    return text;
}

bool FieldBytesOfText(const CParam& param, std::string_view text, std::vector<uint8_t>& bytes,
                      std::string& error) {
    const uint8_t form = TextForm(param);
    bytes.clear();
    if (form != CParam::kTextLatin1 && form != CParam::kTextWindows1252 &&
        form != CParam::kTextUtf16) {
        bytes.assign(text.begin(), text.end());
        return true;
    }
    for (size_t at = 0; at < text.size();) {
        const uint32_t code = platform::NextCodePoint(text, at);
        if (form == CParam::kTextUtf16) {
            const auto put = [&](uint32_t unit) {
                const auto high = static_cast<uint8_t>(unit >> 8);
                const auto low = static_cast<uint8_t>(unit);
                bytes.push_back(param.byteOrder == 1 ? low : high);
                bytes.push_back(param.byteOrder == 1 ? high : low);
            };
            if (code < 0x10000) {
                put(code);
            } else {
                put(0xD800 + ((code - 0x10000) >> 10));
                put(0xDC00 + ((code - 0x10000) & 0x3FF));
            }
            continue;
        }
        auto byte = static_cast<uint8_t>(code);
        const bool held =
            form == CParam::kTextLatin1 ? code <= 0xFF : platform::Windows1252Byte(code, byte);
        if (!held) {
            std::string character;
            platform::AppendUtf8(character, code);
            error = "parameter '" + param.name + "': '" + character + "' is no character of " +
                    (form == CParam::kTextLatin1 ? "ISO-8859-1" : "Windows-1252");
            return false;
        }
        bytes.push_back(byte);
    }
    return true;
}

WholeRange WholeRangeOf(const CParam& param) {
    const int32_t bits = std::clamp<int32_t>(param.bitLength, 1, 64);
    if (param.codedForm == CParam::kCodedBcdPacked ||
        param.codedForm == CParam::kCodedBcdUnpacked) {
        uint64_t highest = 0;
        for (int digit = 0; digit < std::min(DecimalDigits(param), 19); ++digit)
            highest = highest * 10 + 9;
        return {0, highest};
    }
    if (!IsSignedCode(param.baseTypeCode)) return {0, MaskBits(bits)};
    const uint64_t half = uint64_t{1} << (bits - 1);
    // The complements spend a pattern on minus zero: their range is symmetric.
    const bool symmetric = param.codedForm == CParam::kCodedOnesComplement ||
                           param.codedForm == CParam::kCodedSignMagnitude;
    return {symmetric ? half - 1 : half, half - 1};
}

bool HasPieces(const CParam& param) {
    return param.computation != nullptr && !param.computation->pieces.empty();
}

const char* OtherValuesText(const CParam& param) {
    return param.computation != nullptr ? param.computation->otherValuesText.c_str() : "";
}

bool CodedValueOfText(const CParam& param, std::string_view text, uint64_t& coded) {
    const CComputation* computation = param.computation.get();
    if (computation != nullptr) {
        for (const auto& [inverseText, value] : computation->inverses) {
            if (text == inverseText.c_str()) {
                coded = value;
                return true;
            }
        }
    }
    for (const auto& entry : param.valueTable) {
        if (text == entry->text.c_str()) {
            coded = entry->rangeStart;
            return true;
        }
    }
    if (computation != nullptr && computation->otherValuesCoded &&
        text == computation->otherValuesText.c_str()) {
        coded = *computation->otherValuesCoded;
        return true;
    }
    return false;
}

bool HasLinearScaling(const CParam& param) {
    if (HasPieces(param)) return true;
    return param.hasScaling != 0 && param.factor != 0.0 && param.divisor != 0.0 &&
           !(param.factor == 1.0 && param.divisor == 1.0 && param.offset == 0.0);
}

CLinearScale OneScaleOf(const CParam& param) {
    CLinearScale scale;
    scale.factor = param.factor;
    scale.offset = param.offset;
    scale.divisor = param.divisor;
    return scale;
}

bool PhysicalOf(const CParam& param, double coded, double& physical) {
    bool covered = !HasPieces(param);
    if (covered) {
        physical = OneScaleOf(param).Physical(coded);
    } else {
        for (const CLinearScale& scale : param.computation->pieces) {
            if (!scale.Covers(coded)) continue;
            physical = scale.Physical(coded);
            covered = true;
            break;
        }
    }
    if (covered && param.wholePhysical != 0) physical = std::nearbyint(physical);
    return covered;
}

bool CodedOfPhysical(const CParam& param, double physical, double& coded) {
    if (!HasPieces(param)) {
        coded = OneScaleOf(param).Coded(physical);
        return true;
    }
    for (const CLinearScale& scale : param.computation->pieces) {
        if (scale.factor == 0.0) continue;  // a constant piece has no inverse
        const double candidate = scale.Coded(physical);
        if (!scale.Covers(std::nearbyint(candidate))) continue;
        coded = candidate;
        return true;
    }
    return false;
}

}  // namespace qm::diag
