// Decoding and matching of diagnostic messages (declared in diag_codec.h): every parameter read
// at its position, variable lengths moving what follows them, constants compared for matching.
#include "diag/diag_codec.h"

#include <algorithm>
#include <cstring>

#include "diag/diag_conversions.h"
#include "diag/diag_tables.h"
#include "diag/message_index.h"

namespace qm::diag {

namespace {

class Decoder {
  public:
    explicit Decoder(const uint8_t* data) : data_(data) {}

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
        if (!ReadValue(data_, limit, at, param, value)) return false;
        out.kind = DecodedParam::Kind::kNumber;
        out.rawUnsigned = value;
        out.raw = static_cast<int64_t>(value);
        if (WholeRangeOf(param).mostNegative != 0 && param.bitLength > 0 && param.bitLength < 64 &&
            (value >> (param.bitLength - 1)) != 0)
            out.raw = static_cast<int64_t>(value | ~MaskBits(param.bitLength));
        for (const auto& entry : param.valueTable) {
            if (entry->Contains(value)) {
                out.text = entry->text.c_str();
                break;
            }
        }
        if (out.text.empty()) out.text = OtherValuesText(param);
        if (HasLinearScaling(param)) {
            out.scaled = PhysicalOf(param, static_cast<double>(out.raw), out.physical);
            if (!out.scaled)
                Problem(param, "no scale of its computation covers " + std::to_string(out.raw));
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
            out.string = TextOfField(param, out.bytes);
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
    std::vector<std::pair<const CParam*, uint64_t>> numbers_;

  public:
    // Whether every number decoded whose coding is a text table (texts, no scaling, not a list
    // of trouble codes) has a text.
    bool EveryValueNamed() const {
        for (const auto& number : numbers_) {
            const CParam& param = *number.first;
            const uint64_t value = number.second;
            if (param.valueTable.empty() || HasLinearScaling(param) || param.troubleCodes != 0 ||
                *OtherValuesText(param) != '\0')
                continue;
            const auto& table = param.valueTable;
            if (std::none_of(table.begin(), table.end(),
                             [value](const auto& entry) { return entry->Contains(value); }))
                return false;
        }
        return true;
    }

    std::string problem;  // the first way the message breaks its description
};

}  // namespace

std::vector<DecodedParam> DecodeFunction(const CUDSFunction& function, const uint8_t* data,
                                         size_t size, std::string* problem) {
    std::vector<DecodedParam> out;
    Decoder decoder(data);
    decoder.List(function.params, 0, size, 0, out);
    if (problem != nullptr) *problem = std::move(decoder.problem);
    return out;
}

int DecodeFit(const CUDSFunction& function, const uint8_t* data, size_t size) {
    std::vector<DecodedParam> out;
    Decoder decoder(data);
    const size_t end = decoder.List(function.params, 0, size, 0, out);
    if (!decoder.problem.empty() || end != size) return 0;
    return decoder.EveryValueNamed() ? 2 : 1;
}

int64_t MatchFunction(const CUDSFunction& function, const uint8_t* data, size_t size,
                      const std::vector<uint8_t>& requestBytes) {
    int64_t score = 0;
    for (const auto& holder : function.params) {
        const CParam& param = *holder;
        const size_t at = static_cast<size_t>(std::max(param.bytePosition, 0));
        if (ComparableConstant(param)) {
            uint64_t value = 0;
            if (!ReadValue(data, size, at, param, value)) return -1;
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
        WriteValue(bytes, at, param, NumberOfText(param.valueStr) & MaskBits(param.bitLength));
        fixed |= ((1u << count) - 1) << at;
    }
    size_t length = 0;
    while (length < kMax && (fixed >> length & 1u) != 0) {
        key[length] = bytes[length];
        ++length;
    }
    return length;
}

}  // namespace qm::diag
