#include "diag/diag_fields.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "diag/diag_tables.h"

namespace qm::diag {

bool IsStringCode(uint32_t code) {
    return code == kTypeAscii || code == kTypeUtf8 || code == kTypeUtf16;
}

bool IsByteField(const CParam& param) {
    return std::strstr(param.baseDataType.c_str(), "BYTEFIELD") != nullptr || param.bitLength > 64;
}

bool IsMux(const CParam& param) {
    return param.subParams.size() == 2 && param.subParams[0]->name == "MuxSwitchKey" &&
           param.subParams[0]->isKey != 0;
}

Shape ShapeOf(const CParam& param) {
    if (param.lengthKind == CParam::kLengthEnvData) return Shape::kEnvData;
    if (param.lengthKind == CParam::kLengthDynamicField && param.subParams.size() == 2)
        return Shape::kDynamic;
    if (param.lengthKind == CParam::kLengthEndMarker && param.subParams.size() == 2)
        return Shape::kEndMarker;
    if (!param.conditionalParams.empty()) return Shape::kChoice;
    if (!param.subParams.empty()) {
        if (IsMux(param)) return Shape::kMux;
        if (param.isVariableLength != 0) return Shape::kRepeat;
        return Shape::kStruct;
    }
    if (IsStringCode(param.baseTypeCode)) return Shape::kText;
    if ((param.baseTypeCode == kTypeFloat32 && param.bitLength == 32) ||
        (param.baseTypeCode == kTypeFloat64 && param.bitLength == 64))
        return Shape::kFloat;
    if (IsByteField(param) || param.lengthKind == CParam::kLengthMinMax ||
        param.lengthKind == CParam::kLengthParamInfo || param.lengthKind == CParam::kLengthLeading)
        return Shape::kBytes;
    return Shape::kNumber;
}

uint64_t MaskBits(int32_t bits) {
    if (bits <= 0) return 0;
    return bits >= 64 ? ~uint64_t{0} : (uint64_t{1} << bits) - 1;
}

bool IsSignedCode(uint32_t code) {
    return code == kTypeInt8 || code == kTypeInt16 || code == kTypeInt32 || code == kTypeInt64;
}

int64_t FieldBytes(const CParam& param) {
    return (int64_t{param.bitPosition} + std::max<int32_t>(param.bitLength, 0) + 7) / 8;
}

bool ReadBits(const uint8_t* data, size_t size, size_t at, const CParam& param, uint64_t& value) {
    const int64_t count = FieldBytes(param);
    if (count <= 0 || count > 9 || at + static_cast<size_t>(count) > size) return false;
    unsigned __int128 whole = 0;
    for (int64_t i = 0; i < count; ++i) {
        const size_t index = param.byteOrder == 1 ? at + static_cast<size_t>(count - 1 - i)
                                                  : at + static_cast<size_t>(i);
        whole = (whole << 8) | data[index];
    }
    value = static_cast<uint64_t>(whole >> param.bitPosition) & MaskBits(param.bitLength);
    return true;
}

void WriteBits(std::vector<uint8_t>& bytes, size_t at, const CParam& param, uint64_t value) {
    const int64_t count = FieldBytes(param);
    if (count <= 0 || count > 9) return;
    if (bytes.size() < at + static_cast<size_t>(count)) bytes.resize(at + count, 0);
    const unsigned __int128 shifted =
        static_cast<unsigned __int128>(value & MaskBits(param.bitLength)) << param.bitPosition;
    const unsigned __int128 mask = static_cast<unsigned __int128>(MaskBits(param.bitLength))
                                   << param.bitPosition;
    for (int64_t i = 0; i < count; ++i) {
        const int shift = static_cast<int>(8 * (count - 1 - i));
        const size_t index = param.byteOrder == 1 ? at + static_cast<size_t>(count - 1 - i)
                                                  : at + static_cast<size_t>(i);
        const auto keep = static_cast<uint8_t>(~static_cast<uint8_t>(mask >> shift));
        bytes[index] =
            static_cast<uint8_t>((bytes[index] & keep) | static_cast<uint8_t>(shifted >> shift));
    }
}

bool ParseWhole(std::string_view text, bool& negative, uint64_t& value) {
    negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) return false;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

bool IsConstantKind(const CParam& param) {
    const std::string_view type = param.type.c_str();
    return type == "CODED-CONST" || type == "PHYS-CONST" || type == "CONSTCOMP" ||
           type == "NRC-CONST";
}

bool ComparableConstant(const CParam& param) {
    // A CDD static component holds the value its service gives it (an identifier): constant
    // for matching, though a request may set it.
    if (param.valueStr.empty()) return false;  // cheapest test first: most parameters fail it
    const bool fixed = IsConstantKind(param) || param.type == "STATICCOMP";
    if (!fixed) return false;
    if (param.type == "NRC-CONST") return false;  // a list of admissible values
    return ShapeOf(param) == Shape::kNumber;
}

}  // namespace qm::diag
