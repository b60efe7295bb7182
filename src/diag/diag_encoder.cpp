// Encoding of diagnostic requests (declared in diag_codec.h): values checked against their
// parameter's range or texts, constants and defaults filled in, lengths written to their keys.
#include "diag/diag_codec.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "diag/diag_conversions.h"
#include "diag/diag_tables.h"

namespace qm::diag {

namespace {

std::string RangeText(const CParam& param) {
    const WholeRange range = WholeRangeOf(param);
    std::string text = range.mostNegative == 0 ? "0" : "-" + std::to_string(range.mostNegative);
    text += ".." + std::to_string(range.highest);
    if (!HasLinearScaling(param)) return text;
    const auto physicalRange = [](const CLinearScale& scale, double from, double to) {
        const double low = scale.Physical(from);
        const double high = scale.Physical(to);
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%g..%g", std::min(low, high), std::max(low, high));
        return std::string(buffer);
    };
    const double highest = static_cast<double>(range.highest);
    if (!HasPieces(param)) {
        return text + " (physical " + physicalRange(OneScaleOf(param), 0.0, highest) + ")";
    }
    // A piecewise computation: each piece over the part of the coded range it covers.
    const double lowest = -static_cast<double>(range.mostNegative);
    std::string pieces;
    for (const CLinearScale& scale : param.computation->pieces) {
        // Coded values are whole numbers: an open limit's nearest is one step inside.
        const double from =
            scale.hasLower ? std::max(scale.lower + (scale.lowerExcluded ? 1 : 0), lowest) : lowest;
        const double to = scale.hasUpper
                              ? std::min(scale.upper - (scale.upperExcluded ? 1 : 0), highest)
                              : highest;
        if (from > to) continue;
        pieces += (pieces.empty() ? "" : ", ") + physicalRange(scale, from, to);
    }
    return text + " (physical " + pieces + ")";
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
    if (CodedValueOfText(param, text, coded)) return true;
    bool negative = false;
    uint64_t whole = 0;
    const bool isHex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const int32_t bits = std::clamp<int32_t>(param.bitLength, 1, 64);
    const WholeRange range = WholeRangeOf(param);
    const bool isSigned = range.mostNegative != 0;
    if (ParseWhole(text, negative, whole) && (isHex || !HasLinearScaling(param))) {
        if (negative && !isSigned) {
            error = name + ": " + text + " is outside its valid range " + RangeText(param);
            return false;
        }
        if (isSigned && !isHex) {
            if ((negative && whole > range.mostNegative) || (!negative && whole > range.highest)) {
                error = name + ": " + text + " is outside its valid range " + RangeText(param);
                return false;
            }
            coded = (negative ? ~whole + 1 : whole) & MaskBits(bits);
            return true;
        }
        if (whole > (isSigned ? MaskBits(bits) : range.highest)) {
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
        double raw = physical;
        if (HasLinearScaling(param) && !CodedOfPhysical(param, physical, raw)) {
            error = name + ": " + text + " is outside its valid range " + RangeText(param);
            return false;
        }
        raw = std::nearbyint(raw);
        const double low = -static_cast<double>(range.mostNegative);
        const double high = static_cast<double>(range.highest);
        // Not a number either: a hostile computation (infinite coefficients) can make one.
        if (!(raw >= low && raw <= high) ||
            (!HasLinearScaling(param) && physical != std::nearbyint(physical))) {
            error = name + ": " + text + " is outside its valid range " + RangeText(param);
            return false;
        }
        // A double at the top of a 64-bit range rounds to 2^64, which no integer holds.
        constexpr double kTwoTo64 = 18446744073709551616.0;
        coded = (raw < 0.0         ? static_cast<uint64_t>(static_cast<int64_t>(raw))
                 : raw >= kTwoTo64 ? ~uint64_t{0}
                                   : static_cast<uint64_t>(raw)) &
                MaskBits(bits);
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
            if (!One(param, at, bytes, depth, next)) return false;
            staticMax = std::max(staticMax, staticAt + staticEnd - static_cast<int64_t>(at));
            actualMax = std::max(actualMax, static_cast<int64_t>(next));
            end = std::max(end, next);
        }
        if (listEnd != nullptr) *listEnd = end;
        return true;
    }

    std::string error;

  private:
    // One parameter at `at`; `next` holds the byte after its stated length and gets the byte
    // after what was written when that is further.
    bool One(const CParam& param, size_t at, std::vector<uint8_t>& bytes, int depth, size_t& next) {
        switch (ShapeOf(param)) {
            case Shape::kStruct:
                if (param.overlaid != 0) return Union(param, at, bytes, depth, next);
                if (!List(param.subParams, at, bytes, depth + 1, &next)) return false;
                next = std::max(next, at + static_cast<size_t>(FieldBytes(param)));
                return true;
            case Shape::kNumber: {
                uint64_t coded = 0;
                if (!Number(param, at, bytes, &coded)) return false;
                if (param.isKey != 0) lastKey_ = coded;
                if (param.type == "LENGTH-KEY" && !param.xmlLocation.empty())
                    lengthKeys_.emplace_back(&param, at);
                return true;
            }
            case Shape::kChoice:
                return Choice(param, at, bytes, depth);
            case Shape::kEndMarker:
                // No items unless given as bytes: the termination value alone.
                if (Given(param) != nullptr) return Other(param, at, bytes, next);
                return Number(*param.subParams[1], at, bytes, nullptr);
            default:
                return Other(param, at, bytes, next);
        }
    }

    // A union's members are views of the same bytes, so one of them is written: the first that
    // values are given for (it or any of its fields), else the first that its own values fill.
    bool Union(const CParam& param, size_t at, std::vector<uint8_t>& bytes, int depth,
               size_t& next) {
        next = std::max(next, at + static_cast<size_t>(FieldBytes(param)));
        if (depth > kMaxDepth || param.subParams.empty()) return true;
        for (const auto& member : param.subParams) {
            if (GivesAny(*member, depth)) return Member(*member, at, bytes, depth, next);
        }
        std::string firstError;
        for (const auto& member : param.subParams) {
            std::vector<uint8_t> trial = bytes;
            if (Member(*member, at, trial, depth, next)) {
                bytes.swap(trial);
                error.clear();
                return true;
            }
            if (firstError.empty()) firstError = error;
        }
        error = firstError;
        return false;
    }

    bool Member(const CParam& member, size_t at, std::vector<uint8_t>& bytes, int depth,
                size_t& next) {
        const size_t from = at + static_cast<size_t>(std::max(member.bytePosition, 0));
        size_t end = from + static_cast<size_t>(FieldBytes(member));
        if (!One(member, from, bytes, depth + 1, end)) return false;
        next = std::max(next, end);
        return true;
    }

    // Whether a value is given for the parameter or any parameter below it.
    bool GivesAny(const CParam& param, int depth) const {
        if (Given(param) != nullptr) return true;
        if (depth > kMaxDepth) return false;
        for (const auto& sub : param.subParams) {
            if (GivesAny(*sub, depth + 1)) return true;
        }
        return false;
    }

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
        WriteValue(bytes, at, param, coded);
        if (out != nullptr) *out = coded;
        return true;
    }

    // Fields that are no plain number: zero-filled to their stated length unless given as hex.
    bool Other(const CParam& param, size_t at, std::vector<uint8_t>& bytes, size_t& end) {
        const std::string* given = Given(param);
        std::string fallback;
        if (given == nullptr && !param.defaultText.empty()) {
            // The description's default stands for a value left out: for a byte field the
            // bytes in hex, as ODX writes byte values ("00" is one byte).
            fallback = param.defaultText.c_str();
            given = &fallback;
        }
        std::vector<uint8_t> content;
        if (given != nullptr) {
            const std::string& text = *given;
            if (IsStringCode(param.baseTypeCode)) {
                if (!FieldBytesOfText(param, text, content, error)) return false;
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
