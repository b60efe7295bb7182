#include "diag/diag_codec.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "diag/diag_tables.h"
#include "diag/message_index.h"

namespace qm::diag {

namespace {

// Nesting deeper than this is no real message (and keeps hostile models off the stack).
constexpr int kMaxDepth = 48;
// Repetitions of one field decoded at most (a field of empty items would never end).
constexpr size_t kMaxItems = 4096;
// Longer messages are no diagnostic message: a description that places a parameter beyond this
// (or makes one longer) is not encoded there, so a hostile file cannot make us allocate.
constexpr size_t kMaxMessageBytes = size_t{1} << 20;

enum class Shape {
    kNumber,
    kFloat,
    kBytes,
    kText,
    kStruct,
    kMux,
    kChoice,
    kRepeat,
    kDynamic,
    kEndMarker,
    kEnvData
};

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

// The bytes one occurrence of a fixed-length field takes from its bit position on.
int64_t FieldBytes(const CParam& param) {
    return (int64_t{param.bitPosition} + std::max<int32_t>(param.bitLength, 0) + 7) / 8;
}

// Reads a field of up to 64 bits at byte `at`; false when the message ends before it.
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

// The value a text gives (decimal or 0x hex); false when it is no whole number.
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

bool HasLinearScaling(const CParam& param) {
    return param.hasScaling != 0 && param.factor != 0.0 && param.divisor != 0.0 &&
           !(param.factor == 1.0 && param.divisor == 1.0 && param.offset == 0.0);
}

double Physical(const CParam& param, double raw) {
    return (param.offset + param.factor * raw) / param.divisor;
}

class Decoder {
  public:
    Decoder(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    // Decodes a list of parameters that starts at `base`; returns the byte after the last.
    size_t List(const std::vector<std::unique_ptr<CParam>>& params, size_t base, size_t limit,
                int depth, std::vector<DecodedParam>& out) {
        size_t end = base;
        // Where the description and the message end so far: variable lengths move the
        // parameters whose position follows the previous one by the difference.
        int64_t staticMax = static_cast<int64_t>(base);
        int64_t actualMax = staticMax;
        const CParam* lastKey = nullptr;
        uint64_t lastKeyValue = 0;
        for (const auto& holder : params) {
            const CParam& param = *holder;
            const int64_t staticAt = static_cast<int64_t>(base) + param.bytePosition;
            int64_t at = staticAt;
            if (param.positionStated == 0) at += actualMax - staticMax;
            if (at < 0 || static_cast<size_t>(at) > limit) break;
            DecodedParam decoded;
            decoded.name = param.name;
            decoded.unit = param.unit.c_str();
            size_t next = 0;
            if (!One(param, static_cast<size_t>(at), limit, depth, lastKey, lastKeyValue, decoded,
                     next))
                break;
            staticMax =
                std::max(staticMax,
                         staticAt + FieldBytes(param) * std::max<uint32_t>(1, param.arraySizeMin));
            actualMax = std::max(actualMax, static_cast<int64_t>(next));
            if (param.isKey != 0 && decoded.kind == DecodedParam::Kind::kNumber) {
                lastKey = &param;
                lastKeyValue = decoded.rawUnsigned;
            }
            if (decoded.kind == DecodedParam::Kind::kNumber)
                numbers_.emplace_back(&param, decoded.rawUnsigned);
            end = std::max(end, next);
            out.push_back(std::move(decoded));
        }
        return end;
    }

  private:
    bool One(const CParam& param, size_t at, size_t limit, int depth, const CParam* lastKey,
             uint64_t lastKeyValue, DecodedParam& out, size_t& next) {
        if (depth > kMaxDepth) return false;
        switch (ShapeOf(param)) {
            case Shape::kNumber:
                return Number(param, at, limit, out, next);
            case Shape::kFloat:
                return Float(param, at, limit, out, next);
            case Shape::kBytes:
            case Shape::kText:
                return Bytes(param, at, limit, out, next);
            case Shape::kStruct:
                out.kind = DecodedParam::Kind::kGroup;
                next = List(param.subParams, at, limit, depth + 1, out.parameters);
                if (param.bitLength > 0) next = std::max(next, at + FieldBytes(param));
                return true;
            case Shape::kRepeat:
                return Repeat(param, at, limit, depth, out, next);
            case Shape::kMux:
                return Mux(param, at, limit, depth, out, next);
            case Shape::kChoice:
                return Choice(param, at, limit, depth, lastKey, lastKeyValue, out, next);
            case Shape::kDynamic:
                return Dynamic(param, at, limit, depth, out, next);
            case Shape::kEndMarker:
                return EndMarker(param, at, limit, depth, out, next);
            case Shape::kEnvData:
                return EnvData(param, at, limit, depth, out, next);
        }
        return false;
    }

    // A dynamic length field: the count at its place, then that many items from the offset.
    bool Dynamic(const CParam& param, size_t at, size_t limit, int depth, DecodedParam& out,
                 size_t& next) {
        out.kind = DecodedParam::Kind::kGroup;
        const CParam& count = *param.subParams[0];
        const CParam& items = *param.subParams[1];
        DecodedParam countOut;
        size_t countEnd = 0;
        if (!Number(count, at + count.bytePosition, limit, countOut, countEnd)) {
            Problem(param, "the message ends before its item count");
            return false;
        }
        size_t cursor = at + static_cast<size_t>(items.bytePosition);
        next = std::max(countEnd, std::min(cursor, limit));
        for (uint64_t i = 0; i < countOut.rawUnsigned && i < kMaxItems; ++i) {
            std::vector<DecodedParam> item;
            const size_t end =
                cursor < limit ? List(items.subParams, cursor, limit, depth + 1, item) : cursor;
            if (end <= cursor || item.size() < items.subParams.size()) {
                Problem(param, std::to_string(countOut.rawUnsigned) + " items announced, " +
                                   std::to_string(i) + " in the message");
                break;
            }
            out.items.push_back(std::move(item));
            cursor = end;
        }
        next = std::max(next, cursor);
        return true;
    }

    // Items until the termination value stands where the next would begin, or the message ends.
    bool EndMarker(const CParam& param, size_t at, size_t limit, int depth, DecodedParam& out,
                   size_t& next) {
        out.kind = DecodedParam::Kind::kGroup;
        const CParam& items = *param.subParams[0];
        const CParam& termination = *param.subParams[1];
        const uint64_t mark = NumberOfText(termination.valueStr) & MaskBits(termination.bitLength);
        size_t cursor = at;
        while (cursor < limit && out.items.size() < kMaxItems) {
            uint64_t value = 0;
            if (ReadBits(data_, limit, cursor, termination, value) && value == mark) {
                cursor += static_cast<size_t>(FieldBytes(termination));
                break;
            }
            std::vector<DecodedParam> item;
            const size_t end = List(items.subParams, cursor, limit, depth + 1, item);
            if (end <= cursor || item.size() < items.subParams.size()) {
                Problem(param, "an item ends with the message, before the termination value");
                break;
            }
            out.items.push_back(std::move(item));
            cursor = end;
        }
        next = cursor;
        return true;
    }

    // Environment data of a DTC: the data for all DTCs, then the DTC's own.
    bool EnvData(const CParam& param, size_t at, size_t limit, int depth, DecodedParam& out,
                 size_t& next) {
        out.kind = DecodedParam::Kind::kGroup;
        next = at;
        // Copied: decoding the data below records numbers of its own, which may move the one
        // the pointer points at.
        const uint64_t* found = NumberOf(param.lengthKeyId.c_str(), true);
        const bool known = found != nullptr;
        const uint64_t dtc = known ? *found : 0;
        for (const bool forAll : {true, false}) {
            for (const auto& data : param.conditionalParams) {
                if ((data->type == "ENV-DATA-ALL") != forAll) continue;
                if (!forAll && (!known || !(data->rangeFirst <= dtc && dtc <= data->rangeSecond)))
                    continue;
                DecodedParam group;
                group.name = data->name;
                group.kind = DecodedParam::Kind::kGroup;
                next =
                    std::max(next, List(data->subParams, next, limit, depth + 1, group.parameters));
                out.parameters.push_back(std::move(group));
            }
        }
        return true;
    }

    bool Number(const CParam& param, size_t at, size_t limit, DecodedParam& out, size_t& next) {
        uint64_t value = 0;
        if (!ReadBits(data_, limit, at, param, value)) return false;
        out.kind = DecodedParam::Kind::kNumber;
        out.rawUnsigned = value;
        out.raw = static_cast<int64_t>(value);
        if (IsSignedCode(param.baseTypeCode) && param.bitLength > 0 && param.bitLength < 64 &&
            (value >> (param.bitLength - 1)) != 0)
            out.raw = static_cast<int64_t>(value | ~MaskBits(param.bitLength));
        for (const auto& entry : param.valueTable) {
            if (entry->Contains(value)) {
                out.text = entry->text.c_str();
                break;
            }
        }
        if (HasLinearScaling(param)) {
            out.scaled = true;
            out.physical = Physical(param, static_cast<double>(out.raw));
        }
        next = at + static_cast<size_t>(FieldBytes(param));
        return true;
    }

    bool Float(const CParam& param, size_t at, size_t limit, DecodedParam& out, size_t& next) {
        uint64_t value = 0;
        if (!ReadBits(data_, limit, at, param, value)) return false;
        out.kind = DecodedParam::Kind::kFloat;
        out.rawUnsigned = value;
        if (param.bitLength == 32) {
            float number = 0;
            const auto bits = static_cast<uint32_t>(value);
            std::memcpy(&number, &bits, sizeof number);
            out.physical = number;
        } else {
            std::memcpy(&out.physical, &value, sizeof out.physical);
        }
        next = at + static_cast<size_t>(FieldBytes(param));
        return true;
    }

    // The number of bytes a variable field takes and where its content starts.
    bool Extent(const CParam& param, size_t at, size_t limit, size_t& start, size_t& length,
                size_t& after) {
        start = at;
        const size_t available = limit - std::min(at, limit);
        const size_t unit = param.baseTypeCode == kTypeUtf16 ? 2 : 1;
        switch (param.lengthKind) {
            case CParam::kLengthMinMax: {
                size_t maximum = param.arraySizeMax > 0 ? param.arraySizeMax : available;
                maximum = std::min(maximum, available);
                length = maximum;
                after = at + maximum;
                if (param.termination != CParam::kEndOfPdu) {
                    const uint8_t mark = param.termination == CParam::kZero ? 0x00 : 0xFF;
                    for (size_t i = 0; i + unit <= maximum; i += unit) {
                        bool terminator = true;
                        for (size_t k = 0; k < unit; ++k) terminator &= data_[at + i + k] == mark;
                        if (terminator) {
                            length = i;
                            after = at + i + unit;
                            break;
                        }
                    }
                }
                if (length < param.arraySizeMin) {
                    Problem(param, std::to_string(length) + " bytes, at least " +
                                       std::to_string(param.arraySizeMin) + " expected");
                    return false;
                }
                return true;
            }
            case CParam::kLengthParamInfo: {
                const uint64_t* bits = NumberOf(param.lengthKeyId.c_str(), false);
                if (bits == nullptr) {
                    Problem(param, "its length key was not decoded before it");
                    return false;
                }
                length = static_cast<size_t>((*bits + 7) / 8);
                if (length > available) {
                    Problem(param, "its length key gives " + std::to_string(*bits) +
                                       " bits, the message has " + std::to_string(available) +
                                       " bytes left");
                    return false;
                }
                after = at + length;
                return true;
            }
            case CParam::kLengthLeading: {
                CParam prefix;
                prefix.bitLength = param.bitLength;
                prefix.byteOrder = param.byteOrder;
                uint64_t count = 0;
                if (!ReadBits(data_, limit, at, prefix, count)) return false;
                start = at + static_cast<size_t>(FieldBytes(prefix));
                if (start > limit || count > limit - start) {
                    Problem(param, "its leading length gives " + std::to_string(count) +
                                       " bytes, the message has " +
                                       std::to_string(limit - std::min(start, limit)) + " left");
                    return false;
                }
                if (param.arraySizeMax > 0 && count > param.arraySizeMax) {
                    Problem(param, "its leading length " + std::to_string(count) +
                                       " exceeds the maximum " +
                                       std::to_string(param.arraySizeMax));
                    return false;
                }
                length = static_cast<size_t>(count);
                after = start + length;
                return true;
            }
            default: {
                const int32_t bits = param.bitLength > 0 ? param.bitLength : 8;
                const size_t each = static_cast<size_t>((bits + 7) / 8);
                length = each * std::max<uint32_t>(1, param.arraySizeMin);
                // A field of min to max items (CDD "minsz"/"maxsz") takes what the message has.
                if (param.arraySizeMax > param.arraySizeMin && length <= available)
                    length =
                        std::min<size_t>(available - available % each, each * param.arraySizeMax);
                if (length > available) return false;
                after = at + length;
                return true;
            }
        }
    }

    bool Bytes(const CParam& param, size_t at, size_t limit, DecodedParam& out, size_t& next) {
        size_t start = 0;
        size_t length = 0;
        if (!Extent(param, at, limit, start, length, next)) return false;
        out.bytes.assign(data_ + start, data_ + start + length);
        if (IsStringCode(param.baseTypeCode)) {
            out.kind = DecodedParam::Kind::kText;
            if (param.baseTypeCode == kTypeUtf16) {
                for (size_t i = 0; i + 1 < out.bytes.size(); i += 2) {
                    const uint32_t code = param.byteOrder == 1
                                              ? out.bytes[i] | (out.bytes[i + 1] << 8)
                                              : (out.bytes[i] << 8) | out.bytes[i + 1];
                    if (code < 0x80) {
                        out.string += static_cast<char>(code);
                    } else if (code < 0x800) {
                        out.string += static_cast<char>(0xC0 | (code >> 6));
                        out.string += static_cast<char>(0x80 | (code & 0x3F));
                    } else {
                        out.string += static_cast<char>(0xE0 | (code >> 12));
                        out.string += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                        out.string += static_cast<char>(0x80 | (code & 0x3F));
                    }
                }
            } else {
                out.string.assign(out.bytes.begin(), out.bytes.end());
                while (!out.string.empty() && out.string.back() == '\0') out.string.pop_back();
            }
        } else {
            out.kind = DecodedParam::Kind::kBytes;
        }
        return true;
    }

    bool Repeat(const CParam& param, size_t at, size_t limit, int depth, DecodedParam& out,
                size_t& next) {
        out.kind = DecodedParam::Kind::kGroup;
        size_t cursor = at;
        const size_t maximum = param.arraySizeMax > 0 ? param.arraySizeMax : kMaxItems;
        const bool fixed = param.lengthKind == CParam::kLengthStaticField;
        const size_t itemBytes = static_cast<size_t>(std::max(param.bitLength, 0) / 8);
        while (cursor < limit && out.items.size() < std::min(maximum, kMaxItems)) {
            std::vector<DecodedParam> item;
            size_t end = List(param.subParams, cursor, limit, depth + 1, item);
            // Each item of a static field takes its stated size, used or not.
            if (fixed) end = cursor + itemBytes;
            if (end <= cursor || end > limit) break;
            out.items.push_back(std::move(item));
            cursor = end;
        }
        if (fixed && out.items.size() < param.arraySizeMin)
            Problem(param, std::to_string(param.arraySizeMin) + " items expected, " +
                               std::to_string(out.items.size()) + " in the message");
        next = cursor;
        return true;
    }

    bool Mux(const CParam& param, size_t at, size_t limit, int depth, DecodedParam& out,
             size_t& next) {
        out.kind = DecodedParam::Kind::kGroup;
        const CParam& key = *param.subParams[0];
        const CParam& cases = *param.subParams[1];
        DecodedParam keyOut;
        keyOut.name = key.name;
        size_t keyEnd = 0;
        if (!Number(key, at + key.bytePosition, limit, keyOut, keyEnd)) return false;
        next = keyEnd;
        const CParam* chosen = nullptr;
        for (const auto& candidate : cases.conditionalParams) {
            if (candidate->rangeFirst <= keyOut.rawUnsigned &&
                keyOut.rawUnsigned <= candidate->rangeSecond) {
                chosen = candidate.get();
                break;
            }
        }
        // The default case is the last one when no range holds the key.
        if (chosen == nullptr && !cases.conditionalParams.empty() &&
            key.valueTable.size() < cases.conditionalParams.size())
            chosen = cases.conditionalParams.back().get();
        out.parameters.push_back(std::move(keyOut));
        if (chosen == nullptr) return true;
        DecodedParam caseOut;
        caseOut.name = chosen->name;
        caseOut.kind = DecodedParam::Kind::kGroup;
        next = std::max(next, List(chosen->subParams, at + cases.bytePosition, limit, depth + 1,
                                   caseOut.parameters));
        out.parameters.push_back(std::move(caseOut));
        return true;
    }

    bool Choice(const CParam& param, size_t at, size_t limit, int depth, const CParam* lastKey,
                uint64_t keyValue, DecodedParam& out, size_t& next) {
        out.kind = DecodedParam::Kind::kGroup;
        next = at;
        if (lastKey == nullptr) return true;
        for (const auto& candidate : param.conditionalParams) {
            if (candidate->rangeFirst <= keyValue && keyValue <= candidate->rangeSecond) {
                DecodedParam row;
                row.name = candidate->name;
                row.kind = DecodedParam::Kind::kGroup;
                size_t end = at;
                if (!candidate->subParams.empty()) {
                    end = List(candidate->subParams, at, limit, depth + 1, row.parameters);
                } else if (ShapeOf(*candidate) != Shape::kChoice) {
                    DecodedParam value;
                    value.name = candidate->name;
                    if (One(*candidate, at, limit, depth + 1, nullptr, 0, value, end))
                        row.parameters.push_back(std::move(value));
                }
                next = end;
                out.parameters.push_back(std::move(row));
                return true;
            }
        }
        return true;
    }

    // The latest number decoded under a parameter whose ID (or name) is `key`.
    const uint64_t* NumberOf(std::string_view key, bool byName) const {
        for (auto it = numbers_.rbegin(); it != numbers_.rend(); ++it) {
            const std::string& own = byName ? it->first->name : it->first->xmlLocation;
            if (own == key) return &it->second;
        }
        return nullptr;
    }

    void Problem(const CParam& param, const std::string& what) {
        if (problem.empty()) problem = "parameter '" + param.name + "': " + what;
    }

    const uint8_t* data_;
    size_t size_;
    std::vector<std::pair<const CParam*, uint64_t>> numbers_;

  public:
    std::string problem;  // the first way the message breaks its description
};

bool IsConstantKind(const CParam& param) {
    const std::string_view type = param.type.c_str();
    return type == "CODED-CONST" || type == "PHYS-CONST" || type == "CONSTCOMP" ||
           type == "NRC-CONST";
}

// Constants compared when matching: the coded value must be known.
bool ComparableConstant(const CParam& param) {
    // A CDD static component holds the value its service gives it (an identifier): constant
    // for matching, though a request may set it.
    if (param.valueStr.empty()) return false;  // cheapest test first: most parameters fail it
    const bool fixed = IsConstantKind(param) || param.type == "STATICCOMP";
    if (!fixed) return false;
    if (param.type == "NRC-CONST") return false;  // a list of admissible values
    return ShapeOf(param) == Shape::kNumber;
}

std::string RangeText(const CParam& param) {
    const bool isSigned = IsSignedCode(param.baseTypeCode);
    const int32_t bits = std::clamp<int32_t>(param.bitLength, 1, 64);
    std::string text;
    if (isSigned) {
        const int64_t high = bits >= 64 ? INT64_MAX : (int64_t{1} << (bits - 1)) - 1;
        text = std::to_string(-high - 1) + ".." + std::to_string(high);
    } else {
        text = "0.." + std::to_string(MaskBits(bits));
    }
    if (HasLinearScaling(param)) {
        const double low = Physical(param, 0.0);
        const double high = Physical(param, static_cast<double>(MaskBits(bits)));
        char buffer[96];
        std::snprintf(buffer, sizeof buffer, " (physical %g..%g)", std::min(low, high),
                      std::max(low, high));
        text += buffer;
    }
    return text;
}

std::string TextsOf(const CParam& param) {
    std::string texts;
    for (const auto& entry : param.valueTable) {
        if (!texts.empty()) texts += ", ";
        texts += "'" + std::string(entry->text.c_str()) + "'";
    }
    return texts;
}

// The coded value of a text for a parameter; false with the reason in `error`.
bool CodedValueOf(const CParam& param, const std::string& text, uint64_t& coded,
                  std::string& error) {
    const std::string name = "parameter '" + param.name + "'";
    for (const auto& entry : param.valueTable) {
        if (text == entry->text.c_str()) {
            coded = entry->rangeStart;
            return true;
        }
    }
    bool negative = false;
    uint64_t whole = 0;
    const bool isHex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const int32_t bits = std::clamp<int32_t>(param.bitLength, 1, 64);
    const bool isSigned = IsSignedCode(param.baseTypeCode);
    if (ParseWhole(text, negative, whole) && (isHex || !HasLinearScaling(param))) {
        if (negative && !isSigned) {
            error = name + ": " + text + " is outside its valid range " + RangeText(param);
            return false;
        }
        if (isSigned && !isHex) {
            const uint64_t limit = uint64_t{1} << (bits - 1);
            if ((negative && whole > limit) || (!negative && whole >= limit)) {
                error = name + ": " + text + " is outside its valid range " + RangeText(param);
                return false;
            }
            coded = (negative ? ~whole + 1 : whole) & MaskBits(bits);
            return true;
        }
        if (whole > MaskBits(bits)) {
            error = name + ": " + text + " is outside its valid range " + RangeText(param);
            return false;
        }
        coded = whole;
        return true;
    }
    char* end = nullptr;
    const double physical = std::strtod(text.c_str(), &end);
    if (end != text.c_str() && *end == '\0' && std::isfinite(physical) &&
        (HasLinearScaling(param) || param.valueTable.empty())) {
        double raw = HasLinearScaling(param)
                         ? (physical * param.divisor - param.offset) / param.factor
                         : physical;
        raw = std::nearbyint(raw);
        const double low = isSigned ? -std::ldexp(1.0, bits - 1) : 0.0;
        const double high = isSigned ? std::ldexp(1.0, bits - 1) - 1 : std::ldexp(1.0, bits) - 1;
        if (raw < low || raw > high ||
            (!HasLinearScaling(param) && physical != std::nearbyint(physical))) {
            error = name + ": " + text + " is outside its valid range " + RangeText(param);
            return false;
        }
        coded = static_cast<uint64_t>(static_cast<int64_t>(raw)) & MaskBits(bits);
        return true;
    }
    if (!param.valueTable.empty()) {
        error = name + ": unknown text '" + text + "'; valid texts: " + TextsOf(param);
    } else {
        error = name + ": '" + text + "' is no number; valid range " + RangeText(param);
    }
    return false;
}

class Encoder {
  public:
    Encoder(const std::map<std::string, std::string>* values, bool check)
        : values_(values), check_(check) {}

    // Encodes a list of parameters from `base`; `listEnd` (may be null) gets the byte after
    // the last. Fields of variable length move the parameters without a stated position
    // after them, as decoding does.
    bool List(const std::vector<std::unique_ptr<CParam>>& params, size_t base,
              std::vector<uint8_t>& bytes, int depth, size_t* listEnd = nullptr) {
        if (depth > kMaxDepth) return true;
        int64_t staticMax = static_cast<int64_t>(base);
        int64_t actualMax = staticMax;
        size_t end = base;
        for (const auto& holder : params) {
            const CParam& param = *holder;
            const int64_t staticAt = static_cast<int64_t>(base) + std::max(param.bytePosition, 0);
            int64_t position = staticAt;
            if (param.positionStated == 0) position += actualMax - staticMax;
            const size_t at = static_cast<size_t>(std::max<int64_t>(position, 0));
            const int64_t staticEnd = static_cast<int64_t>(at) +
                                      FieldBytes(param) * std::max<uint32_t>(1, param.arraySizeMin);
            if (static_cast<size_t>(std::max<int64_t>(staticEnd, 0)) > kMaxMessageBytes) {
                if (!check_) continue;
                error = "parameter '" + param.name + "' lies beyond " +
                        std::to_string(kMaxMessageBytes) + " bytes";
                return false;
            }
            size_t next = static_cast<size_t>(staticEnd);
            const Shape shape = ShapeOf(param);
            switch (shape) {
                case Shape::kStruct:
                    if (!List(param.subParams, at, bytes, depth + 1, &next)) return false;
                    next = std::max(next, at + static_cast<size_t>(FieldBytes(param)));
                    break;
                case Shape::kNumber: {
                    uint64_t coded = 0;
                    if (!Number(param, at, bytes, &coded)) return false;
                    if (param.isKey != 0) lastKey_ = coded;
                    if (param.type == "LENGTH-KEY" && !param.xmlLocation.empty())
                        lengthKeys_.emplace_back(&param, at);
                    break;
                }
                case Shape::kChoice:
                    if (!Choice(param, at, bytes, depth)) return false;
                    break;
                case Shape::kEndMarker:
                    // No items unless given as bytes: the termination value alone.
                    if (Given(param) != nullptr) {
                        if (!Other(param, at, bytes, next)) return false;
                    } else if (!Number(*param.subParams[1], at, bytes, nullptr)) {
                        return false;
                    }
                    break;
                default:
                    if (!Other(param, at, bytes, next)) return false;
                    break;
            }
            staticMax = std::max(staticMax, staticAt + staticEnd - static_cast<int64_t>(at));
            actualMax = std::max(actualMax, static_cast<int64_t>(next));
            end = std::max(end, next);
        }
        if (listEnd != nullptr) *listEnd = end;
        return true;
    }

    std::string error;

  private:
    const std::string* Given(const CParam& param) const {
        if (values_ == nullptr) return nullptr;
        const auto found = values_->find(param.name);
        return found == values_->end() ? nullptr : &found->second;
    }

    // Parameters whose value the user need not give: the description or the message fills them.
    static bool FilledByItself(const CParam& param) {
        const std::string_view type = param.type.c_str();
        return param.isKey != 0 || type == "RESERVED" || type == "MATCHING-REQUEST-PARAM" ||
               type == "LENGTH-KEY" || type == "DYNAMIC" || type == "SYSTEM" ||
               type == "TABLE-KEY" || type == "TABLE-ENTRY" || type == "GAPDATAOBJ";
    }

    // A table structure: the row the preceding key selects, its structure or its value.
    bool Choice(const CParam& param, size_t at, std::vector<uint8_t>& bytes, int depth) {
        for (const auto& row : param.conditionalParams) {
            if (row->rangeFirst > lastKey_ || lastKey_ > row->rangeSecond) continue;
            if (!row->subParams.empty()) return List(row->subParams, at, bytes, depth + 1);
            if (ShapeOf(*row) == Shape::kNumber) {
                CParam value(*row);
                value.name = param.name;
                value.bytePosition = 0;
                value.type = "VALUE";
                return Number(value, at, bytes, nullptr);
            }
            return true;
        }
        return true;
    }

    bool Number(const CParam& param, size_t at, std::vector<uint8_t>& bytes, uint64_t* out) {
        uint64_t coded = 0;
        const std::string* given = Given(param);
        const std::string_view type = param.type.c_str();
        // An ODX value parameter has no value of its own (a value text the model derived for
        // display is none); CDD components keep theirs as the default.
        const bool ownValue = !param.valueStr.empty() && type != "VALUE";
        if (IsConstantKind(param)) {
            coded = NumberOfText(param.valueStr);
            if (given != nullptr && check_) {
                uint64_t wanted = 0;
                if (!CodedValueOf(param, *given, wanted, error)) return false;
                if (wanted != (coded & MaskBits(param.bitLength))) {
                    error = "parameter '" + param.name + "' is a constant (" + param.valueStr + ")";
                    return false;
                }
            }
        } else if (given != nullptr) {
            if (!CodedValueOf(param, *given, coded, error)) return false;
        } else if (ownValue) {
            coded = NumberOfText(param.valueStr);
        } else if (!param.defaultText.empty()) {
            if (!CodedValueOf(param, param.defaultText.c_str(), coded, error)) {
                if (check_) return false;
                coded = 0;
                error.clear();
            }
        } else if (param.isKey != 0 && !param.valueTable.empty()) {
            coded = param.valueTable.front()->rangeStart;  // the first row or case
        } else if (check_ && !FilledByItself(param)) {
            error = "missing parameter '" + param.name + "' (" +
                    (param.valueTable.empty() ? "valid range " + RangeText(param)
                                              : "valid texts: " + TextsOf(param)) +
                    ")";
            return false;
        }
        WriteBits(bytes, at, param, coded);
        if (out != nullptr) *out = coded;
        return true;
    }

    // Fields that are no plain number: zero-filled to their stated length unless given as hex.
    bool Other(const CParam& param, size_t at, std::vector<uint8_t>& bytes, size_t& end) {
        const std::string* given = Given(param);
        std::vector<uint8_t> content;
        if (given != nullptr) {
            const std::string& text = *given;
            if (IsStringCode(param.baseTypeCode)) {
                content.assign(text.begin(), text.end());
            } else {
                std::string hex = text;
                if (hex.rfind("0x", 0) == 0 || hex.rfind("0X", 0) == 0) hex = hex.substr(2);
                if (hex.size() % 2 != 0) hex = "0" + hex;
                for (size_t i = 0; i + 1 < hex.size(); i += 2) {
                    unsigned byte = 0;
                    const auto result =
                        std::from_chars(hex.data() + i, hex.data() + i + 2, byte, 16);
                    if (result.ec != std::errc()) {
                        error =
                            "parameter '" + param.name + "': '" + text + "' is no hex byte string";
                        return false;
                    }
                    content.push_back(static_cast<uint8_t>(byte));
                }
            }
        } else if (check_ &&
                   (param.lengthKind == CParam::kLengthMinMax ||
                    param.lengthKind == CParam::kLengthParamInfo ||
                    param.lengthKind == CParam::kLengthLeading) &&
                   param.arraySizeMin > 0 && param.defaultText.empty()) {
            error = "missing parameter '" + param.name + "' (at least " +
                    std::to_string(param.arraySizeMin) + " bytes)";
            return false;
        }
        std::vector<uint8_t> prefix;
        if (!FitLength(param, given != nullptr, content, prefix)) return false;
        const size_t length = prefix.size() + content.size();
        if (at + length > kMaxMessageBytes) {
            if (!check_) return true;
            error = "parameter '" + param.name + "' is longer than the message may be";
            return false;
        }
        if (bytes.size() < at + length) bytes.resize(at + length, 0);
        std::copy(prefix.begin(), prefix.end(), bytes.begin() + static_cast<ptrdiff_t>(at));
        std::copy(content.begin(), content.end(),
                  bytes.begin() + static_cast<ptrdiff_t>(at + prefix.size()));
        end = at + length;
        if (param.lengthKind == CParam::kLengthParamInfo)
            SetLengthKey(param, content.size(), bytes);
        return true;
    }

    // Brings the content to the length its coding gives it: fixed fields to their size,
    // min-max fields within their limits with their termination, a leading length before it.
    bool FitLength(const CParam& param, bool given, std::vector<uint8_t>& content,
                   std::vector<uint8_t>& prefix) {
        const std::string name = "parameter '" + param.name + "'";
        switch (param.lengthKind) {
            case CParam::kLengthEndMarker:
                return true;  // the items and their mark as given
            case CParam::kLengthMinMax: {
                const size_t unit = param.baseTypeCode == kTypeUtf16 ? 2 : 1;
                if (check_ && given && param.arraySizeMax > 0 &&
                    content.size() > param.arraySizeMax) {
                    error = name + ": " + std::to_string(content.size()) + " bytes, at most " +
                            std::to_string(param.arraySizeMax);
                    return false;
                }
                if (check_ && given && content.size() < param.arraySizeMin) {
                    error = name + ": " + std::to_string(content.size()) + " bytes, at least " +
                            std::to_string(param.arraySizeMin);
                    return false;
                }
                content.resize(std::max<size_t>(content.size(), param.arraySizeMin), 0);
                if (param.termination != CParam::kEndOfPdu &&
                    (param.arraySizeMax == 0 || content.size() + unit <= param.arraySizeMax)) {
                    content.insert(content.end(), unit,
                                   param.termination == CParam::kZero ? 0x00 : 0xFF);
                }
                return true;
            }
            case CParam::kLengthLeading: {
                CParam length;
                length.bitLength = param.bitLength;
                length.byteOrder = param.byteOrder;
                if (param.bitLength < 64 && content.size() > MaskBits(param.bitLength)) {
                    error = name + ": " + std::to_string(content.size()) +
                            " bytes do not fit its " + std::to_string(param.bitLength) +
                            "-bit length";
                    return false;
                }
                WriteBits(prefix, 0, length, content.size());
                return true;
            }
            case CParam::kLengthParamInfo:
                return true;
            default: {
                if (given && param.lengthKind == CParam::kLengthMatchingRequest) return true;
                const int32_t bits = param.bitLength > 0 ? param.bitLength : 8;
                size_t length =
                    static_cast<size_t>((bits + 7) / 8) * std::max<uint32_t>(1, param.arraySizeMin);
                if (!given && length > 4096) length = 0;
                content.resize(length, 0);
                return true;
            }
        }
    }

    // The length key of a param-length-info field holds the field's length in bits.
    void SetLengthKey(const CParam& param, size_t contentBytes, std::vector<uint8_t>& bytes) {
        for (auto it = lengthKeys_.rbegin(); it != lengthKeys_.rend(); ++it) {
            if (it->first->xmlLocation != param.lengthKeyId.c_str()) continue;
            WriteBits(bytes, it->second, *it->first, uint64_t{contentBytes} * 8);
            return;
        }
    }

    const std::map<std::string, std::string>* values_;
    bool check_;
    uint64_t lastKey_ = 0;
    std::vector<std::pair<const CParam*, size_t>> lengthKeys_;  // where each key was written
};

// Whether a parameter of that name stands anywhere in the list (structures and cases too).
bool HasParamNamed(const std::vector<std::unique_ptr<CParam>>& params, const std::string& name,
                   int depth) {
    if (depth > kMaxDepth) return false;
    for (const auto& param : params) {
        if (param->name == name || HasParamNamed(param->subParams, name, depth + 1) ||
            HasParamNamed(param->conditionalParams, name, depth + 1))
            return true;
    }
    return false;
}

}  // namespace

bool IsConstant(const CParam& param) {
    return IsConstantKind(param) || param.type == "RESERVED";
}

std::vector<DecodedParam> DecodeFunction(const CUDSFunction& function, const uint8_t* data,
                                         size_t size, std::string* problem) {
    std::vector<DecodedParam> out;
    Decoder decoder(data, size);
    decoder.List(function.params, 0, size, 0, out);
    if (problem != nullptr) *problem = std::move(decoder.problem);
    return out;
}

int64_t MatchFunction(const CUDSFunction& function, const uint8_t* data, size_t size,
                      const std::vector<uint8_t>& requestBytes) {
    int64_t score = 0;
    for (const auto& holder : function.params) {
        const CParam& param = *holder;
        const size_t at = static_cast<size_t>(std::max(param.bytePosition, 0));
        if (ComparableConstant(param)) {
            uint64_t value = 0;
            if (!ReadBits(data, size, at, param, value)) return -1;
            if (value != (NumberOfText(param.valueStr) & MaskBits(param.bitLength))) return -1;
            score += param.bitLength;
        } else if (param.type == "NRC-CONST" && !param.valueTable.empty()) {
            // Any of its admissible codes.
            uint64_t value = 0;
            if (!ReadBits(data, size, at, param, value)) return -1;
            const auto admits = [value](const auto& entry) { return entry->Contains(value); };
            if (std::none_of(param.valueTable.begin(), param.valueTable.end(), admits)) return -1;
            score += param.bitLength;
        } else if (param.lengthKind == CParam::kLengthMatchingRequest && !requestBytes.empty()) {
            const size_t length = static_cast<size_t>(std::max(param.bitLength, 0) / 8);
            const size_t from = static_cast<size_t>(param.requestBytePosition);
            if (at + length > size) return -1;
            if (from + length > requestBytes.size()) continue;
            if (!std::equal(data + at, data + at + length, requestBytes.begin() + from)) return -1;
            score += static_cast<int64_t>(length) * 8;
        }
    }
    return score;
}

size_t LeadingConstantBytes(const CUDSFunction& function, uint8_t* key) {
    constexpr size_t kMax = MessageIndex::kMaxKeyBytes;
    // Built once per ECU over every message: the cheap tests come first, and the bytes are
    // written in place.
    std::vector<uint8_t> bytes;
    uint32_t fixed = 0;  // bit i: byte i is fixed
    for (const auto& holder : function.params) {
        const CParam& param = *holder;
        // The parameters stand in position order after the build: past the key's bytes the
        // rest cannot add to it (and out of order, a shorter key only lets more through).
        if (param.bytePosition < 0) continue;
        if (static_cast<size_t>(param.bytePosition) >= kMax) break;
        // Only whole bytes that one constant owns: the match compares exactly these.
        if (param.bitPosition != 0 || param.bitLength <= 0 || param.bitLength % 8 != 0) continue;
        const size_t at = static_cast<size_t>(param.bytePosition);
        const size_t count = static_cast<size_t>(param.bitLength / 8);
        if (at + count > kMax || !ComparableConstant(param)) continue;
        if (bytes.empty()) bytes.reserve(kMax + 1);
        WriteBits(bytes, at, param, NumberOfText(param.valueStr) & MaskBits(param.bitLength));
        fixed |= ((1u << count) - 1) << at;
    }
    size_t length = 0;
    while (length < kMax && (fixed >> length & 1u) != 0) {
        key[length] = bytes[length];
        ++length;
    }
    return length;
}

bool EncodeFunction(const CUDSFunction& function, const std::map<std::string, std::string>& values,
                    std::vector<uint8_t>& bytes, std::string& error) {
    for (const auto& [name, value] : values) {
        const bool known = HasParamNamed(function.params, name, 0);
        if (!known) {
            error = "the request has no parameter '" + name + "'";
            return false;
        }
    }
    bytes.clear();
    Encoder encoder(&values, true);
    if (!encoder.List(function.params, 0, bytes, 0)) {
        error = encoder.error;
        return false;
    }
    return true;
}

std::vector<uint8_t> EncodeDefaults(const CUDSFunction& function) {
    std::vector<uint8_t> bytes;
    Encoder encoder(nullptr, false);
    encoder.List(function.params, 0, bytes, 0);
    return bytes;
}

}  // namespace qm::diag

// ---------------------------------------------------------------------------------------------
// The codec behind IUDSFunctionCodec.

namespace qm::diag {

struct CodecScratch {
    std::vector<DecodedParam> tree;
    std::vector<DiagDecodedField> flat;
    std::vector<uint8_t> encoded;
    std::string error;
};

void CodecScratchDeleter::operator()(CodecScratch* scratch) const {
    delete scratch;
}

namespace {

void Flatten(const std::vector<DecodedParam>& params, int64_t parent, int64_t item,
             std::vector<DiagDecodedField>& flat) {
    for (const DecodedParam& param : params) {
        DiagDecodedField field{};
        field.name = param.name.c_str();
        field.text = param.text.c_str();
        field.unit = param.unit.c_str();
        field.string = param.string.c_str();
        field.bytes = param.bytes.data();
        field.byteCount = param.bytes.size();
        field.raw = param.raw;
        field.rawUnsigned = param.rawUnsigned;
        field.physical = param.physical;
        field.kind = static_cast<uint32_t>(param.kind);
        field.scaled = param.scaled ? 1 : 0;
        field.parent = parent;
        field.item = item;
        const auto self = static_cast<int64_t>(flat.size());
        flat.push_back(field);
        Flatten(param.parameters, self, -1, flat);
        for (size_t i = 0; i < param.items.size(); ++i)
            Flatten(param.items[i], self, static_cast<int64_t>(i), flat);
    }
}

}  // namespace
}  // namespace qm::diag

CUDSFunction::CUDSFunction() = default;
CUDSFunction::~CUDSFunction() = default;

qm::diag::CodecScratch& CUDSFunction::Scratch() {
    if (!scratch_) scratch_.reset(new qm::diag::CodecScratch());
    return *scratch_;
}

int64_t CUDSFunction::MatchMessage(const uint8_t* data, uint64_t size, const uint8_t* request,
                                   uint64_t requestSize) {
    if (data == nullptr) return -1;
    const std::vector<uint8_t> requestBytes =
        request ? std::vector<uint8_t>(request, request + requestSize) : std::vector<uint8_t>{};
    return qm::diag::MatchFunction(*this, data, size, requestBytes);
}

uint64_t CUDSFunction::DecodeMessage(const uint8_t* data, uint64_t size) {
    qm::diag::CodecScratch& scratch = Scratch();
    scratch.tree =
        data ? qm::diag::DecodeFunction(*this, data, size) : std::vector<qm::diag::DecodedParam>{};
    scratch.flat.clear();
    qm::diag::Flatten(scratch.tree, -1, -1, scratch.flat);
    return scratch.flat.size();
}

const DiagDecodedField* CUDSFunction::GetDecodedFields() {
    return Scratch().flat.data();
}

uint8_t CUDSFunction::EncodeMessage(uint64_t count, const char* const* names,
                                    const char* const* values, uint8_t checked) {
    qm::diag::CodecScratch& scratch = Scratch();
    scratch.error.clear();
    if (checked == 0) {
        scratch.encoded = qm::diag::EncodeDefaults(*this);
        return 1;
    }
    std::map<std::string, std::string> given;
    for (uint64_t i = 0; i < count; ++i) {
        if (names == nullptr || values == nullptr || names[i] == nullptr || values[i] == nullptr)
            continue;
        given[names[i]] = values[i];
    }
    return qm::diag::EncodeFunction(*this, given, scratch.encoded, scratch.error) ? 1 : 0;
}

const uint8_t* CUDSFunction::GetEncodedBytes() {
    return Scratch().encoded.data();
}

uint64_t CUDSFunction::GetEncodedSize() {
    return Scratch().encoded.size();
}

const char* CUDSFunction::GetEncodeError() {
    return Scratch().error.c_str();
}
