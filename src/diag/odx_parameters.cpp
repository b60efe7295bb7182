#include "diag/odx_parameters.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "diag/cdd_parameters.h"
#include "diag/diag_fields.h"
#include "diag/diag_tables.h"
#include "diag/diagnose_lib.h"
#include "diag/odx_data_objects.h"
#include "diag/odx_tables.h"
#include "quillmere/xml.h"
#include "xml/text.h"

namespace qm::diag {

namespace {

int32_t PositionOf(NanoXML* element, std::string_view name) {
    int64_t value = 0;
    if (!ParseInteger(TextOf(element, name), value)) return 0;
    return static_cast<int32_t>(std::clamp<int64_t>(value, 0, INT32_MAX / 8));
}

uint32_t LengthOf(NanoXML* element, std::string_view name, bool& present) {
    int64_t value = 0;
    present = ParseInteger(TextOf(element, name), value);
    return present ? static_cast<uint32_t>(std::clamp<int64_t>(value, 0, INT32_MAX / 8)) : 0;
}

void ReadCodedValues(NanoXML* element, CParam& param) {
    if (NanoXML* value = Child(element, "CODED-VALUE")) {
        param.valueStr = value->GetText();
    } else if (NanoXML* values = Child(element, "CODED-VALUES")) {
        // A list of admissible values: the first stands for the parameter.
        if (NanoXML* first = Child(values, "CODED-VALUE")) param.valueStr = first->GetText();
    }
    Trim(param.valueStr);
    if (NanoXML* value = Child(element, "PHYSICAL-DEFAULT-VALUE")) {
        param.defaultText = RecentText(value->GetText());
    }
    if (NanoXML* value = Child(element, "PHYS-CONSTANT-VALUE")) {
        if (param.defaultText.empty()) param.defaultText = RecentText(value->GetText());
    }
}

}  // namespace

namespace {

uint32_t WorkOutBaseTypeCode(std::string_view baseDataType) {
    const uint32_t code = BaseTypeCodeOf(baseDataType);
    if (code != kTypeUnknown || baseDataType.empty()) return code;
    const std::string upper = ToUpper(std::string(baseDataType));
    if (upper.find("UNICODE") != std::string::npos) return kTypeUtf16;
    if (upper.find("STRING") != std::string::npos) return kTypeAscii;
    if (upper.find("BYTE") != std::string::npos) return kTypeByteField;
    if (upper.find("UINT") != std::string::npos) return kTypeUint32;
    if (upper.find("INT") != std::string::npos) return kTypeInt32;
    return kTypeUnknown;
}

}  // namespace

uint32_t OdxBaseTypeCode(std::string_view baseDataType) {
    // A file names a handful of base data types, hundreds of thousands of times: the last few
    // are remembered (per thread) instead of matched against every known name again.
    struct Remembered {
        std::string name;
        uint32_t code = 0;
    };
    constexpr size_t kRemembered = 8;
    thread_local Remembered remembered[kRemembered];
    thread_local size_t next = 0;
    for (const Remembered& entry : remembered) {
        if (!entry.name.empty() && entry.name == baseDataType) return entry.code;
    }
    const uint32_t code = WorkOutBaseTypeCode(baseDataType);
    if (!baseDataType.empty()) {
        remembered[next] = {std::string(baseDataType), code};
        next = (next + 1) % kRemembered;
    }
    return code;
}

namespace {

// The characters of a text's BASE-TYPE-ENCODING, else of its base type. ISO-8859-2 is kept as
// its bytes.
uint8_t TextFormOf(std::string_view encoding, uint32_t baseTypeCode) {
    if (encoding == "ISO-8859-1") return CParam::kTextLatin1;
    if (encoding == "WINDOWS-1252") return CParam::kTextWindows1252;
    if (encoding == "UTF-8") return CParam::kTextUtf8;
    if (encoding == "UCS-2") return CParam::kTextUtf16;
    if (!encoding.empty() && encoding != "NONE") return CParam::kCodedPlain;
    if (baseTypeCode == kTypeUtf16) return CParam::kTextUtf16;
    // What real tools take an "ASCII" string for: a byte a character, all 256 of them.
    return baseTypeCode == kTypeAscii ? CParam::kTextLatin1 : CParam::kTextUtf8;
}

// The coded form of a BASE-TYPE-ENCODING. Binary-coded decimals are read for any integer
// type; the complements only mean something for signed types. Other encodings ("NONE", "2C")
// leave the plain bits.
uint8_t CodedFormOf(std::string_view encoding, uint32_t baseTypeCode) {
    if (IsStringCode(baseTypeCode)) return TextFormOf(encoding, baseTypeCode);
    const bool integer = baseTypeCode >= kTypeUint8 && baseTypeCode <= kTypeInt64;
    if (!integer) return CParam::kCodedPlain;
    if (encoding == "BCD-P") return CParam::kCodedBcdPacked;
    if (encoding == "BCD-UP") return CParam::kCodedBcdUnpacked;
    if (!IsSignedCode(baseTypeCode)) return CParam::kCodedPlain;
    if (encoding == "1C" || encoding == "ONEC") return CParam::kCodedOnesComplement;
    if (encoding == "SM") return CParam::kCodedSignMagnitude;
    return CParam::kCodedPlain;
}

}  // namespace

void ApplyCodedType(NanoXML* coded, CParam& param, bool asWritten) {
    if (coded == nullptr) return;
    const std::string baseType = coded->GetAttribute("BASE-DATA-TYPE");
    if (!baseType.empty()) {
        param.baseDataType = RecentText(baseType);
        param.baseTypeCode = OdxBaseTypeCode(baseType);
    }
    if (asWritten) {
        param.codedForm = CodedFormOf(AttributeOf(coded, "BASE-TYPE-ENCODING"), param.baseTypeCode);
    }
    const std::string_view order = AttributeOf(coded, "IS-HIGHLOW-BYTE-ORDER");
    if (order == "true" || order == "1") {
        param.byteOrder = 2;
    } else if (order == "false" || order == "0") {
        param.byteOrder = 1;
    }
    bool present = false;
    const uint32_t bits = LengthOf(coded, "BIT-LENGTH", present);
    if (present && bits > 0) param.bitLength = static_cast<int32_t>(bits);
    const uint32_t bytes = LengthOf(coded, "BYTE-LENGTH", present);
    if (present && bytes > 0 && param.bitLength == 0)
        param.bitLength = static_cast<int32_t>(bytes * 8);
    // A hex-binary mask ("FF00"); one wider than 32 bits or not hex is ignored.
    std::string mask = TextOf(coded, "BIT-MASK");
    Trim(mask);
    uint32_t maskValue = 0;
    const auto parsed = std::from_chars(mask.data(), mask.data() + mask.size(), maskValue, 16);
    if (!mask.empty() && parsed.ec == std::errc() && parsed.ptr == mask.data() + mask.size()) {
        param.bitMask = maskValue;
    }
    const std::string_view kind = AttributeOf(coded, "xsi:type");
    if (kind == "MIN-MAX-LENGTH-TYPE") {
        param.lengthKind = CParam::kLengthMinMax;
        const std::string_view termination = AttributeOf(coded, "TERMINATION");
        param.termination = termination == "ZERO"     ? CParam::kZero
                            : termination == "HEX-FF" ? CParam::kHexFF
                                                      : CParam::kEndOfPdu;
    } else if (kind == "PARAM-LENGTH-INFO-TYPE") {
        param.lengthKind = CParam::kLengthParamInfo;
        if (NanoXML* key = Child(coded, "LENGTH-KEY-REF"))
            param.lengthKeyId = RecentText(key->GetAttribute("ID-REF"));
    } else if (kind == "LEADING-LENGTH-INFO-TYPE") {
        param.lengthKind = CParam::kLengthLeading;
    }
    const uint32_t minimum = LengthOf(coded, "MIN-LENGTH", present);
    if (present) param.arraySizeMin = minimum;
    const uint32_t maximum = LengthOf(coded, "MAX-LENGTH", present);
    if (present) param.arraySizeMax = maximum;
    if (param.baseTypeCode != kTypeUnknown && param.bitLength == 0) {
        const BaseTypeDefaults defaults = DefaultsOf(param.baseTypeCode);
        param.bitLength = defaults.bitLength;
        param.typeSigned = defaults.typeSigned;
    } else if (param.baseTypeCode != kTypeUnknown) {
        param.typeSigned = DefaultsOf(param.baseTypeCode).typeSigned;
    }
}

void FinishOdxParam(CParam& param) {
    if (param.semantic == "SERVICE-ID" || param.semantic == "SUBFUNCTION")
        param.type = RecentText("CONSTCOMP");
    if (!param.subParams.empty() && param.bitLength == 0) param.CompleteStructType();
    if (param.baseDataType.empty()) {
        if (!param.isKey && !param.isConditional && param.subParams.size() == 1) {
            param.baseDataType = param.subParams.front()->baseDataType;
        } else if (param.bitLength <= 64) {
            param.baseDataType = IntegerTypeName(false, param.bitLength);
        }
        if (param.baseTypeCode == kTypeUnknown) {
            param.baseTypeCode = OdxBaseTypeCode(param.baseDataType);
            if (param.bitLength == 0) {
                const BaseTypeDefaults defaults = DefaultsOf(param.baseTypeCode);
                param.bitLength = defaults.bitLength;
                if (defaults.bitLength != 0) param.typeSigned = defaults.typeSigned;
            }
        }
    }
    if (param.bitLength == 0) {
        const int64_t bits = param.arraySizeMin != 0 ? int64_t{param.arraySizeMax} * 8 : 8;
        param.bitLength = bits == 0 ? 8 : static_cast<int32_t>(std::min<int64_t>(bits, INT32_MAX));
    }
    param.CompleteType();
}

namespace {

// The coded value of a physical constant: its text-table entry, else the inverse of a linear
// computation, else the number itself.
void CodePhysicalConstant(CParam& param) {
    const std::string physical(param.defaultText.c_str());
    if (physical.empty()) return;
    for (const auto& entry : param.valueTable) {
        if (physical == entry->text.c_str()) {
            param.valueStr = std::to_string(entry->rangeStart);
            return;
        }
    }
    char* end = nullptr;
    const double number = std::strtod(physical.c_str(), &end);
    if (end == physical.c_str()) return;
    double coded = number;
    if (param.hasScaling != 0 && param.factor != 0.0) {
        coded = (number * param.divisor - param.offset) / param.factor;
    }
    if (coded < 0 || coded > 1.8e19) return;
    param.valueStr = std::to_string(static_cast<uint64_t>(std::llround(coded)));
}

// Every admissible value of a negative response code becomes a value-table entry with the
// code's UDS name, so that matching accepts each of them and decoding names it.
void ReadAdmissibleCodes(NanoXML* element, CParam& param) {
    NanoXML* values = Child(element, "CODED-VALUES");
    if (values == nullptr) return;
    for (NanoXML* value : values->children) {
        uint32_t code = 0;
        if (value->name != "CODED-VALUE" || !ParseLimit(value->GetText(), code)) continue;
        const char* name = UdsNegativeResponseName(code);
        param.valueTable.push_back(
            std::make_unique<CVTabValue>(std::string(name ? name : ""), code, code));
    }
}

// The length rules of the parameter kinds that carry their own: a reserved field its
// BIT-LENGTH, a matching-request parameter its BYTE-LENGTH (and where the request holds it).
void ApplyKindLength(NanoXML* element, CParam& param) {
    const std::string_view kind = param.type.c_str();
    int64_t value = 0;
    if (kind == "RESERVED") {
        if (ParseInteger(TextOf(element, "BIT-LENGTH"), value) && value > 0)
            param.bitLength = static_cast<int32_t>(std::min<int64_t>(value, INT32_MAX / 8));
    } else if (kind == "MATCHING-REQUEST-PARAM") {
        param.lengthKind = CParam::kLengthMatchingRequest;
        if (ParseInteger(TextOf(element, "BYTE-LENGTH"), value) && value > 0)
            param.bitLength = static_cast<int32_t>(std::min<int64_t>(value * 8, INT32_MAX / 8));
        if (ParseInteger(TextOf(element, "REQUEST-BYTE-POS"), value) && value >= 0)
            param.requestBytePosition = static_cast<int32_t>(std::min<int64_t>(value, INT32_MAX));
    } else if (kind == "PHYS-CONST") {
        CodePhysicalConstant(param);
    } else if (kind == "NRC-CONST") {
        ReadAdmissibleCodes(element, param);
    }
}

// The byte after a placed parameter (its repetitions included).
int64_t EndByte(const CParam& param) {
    const int64_t bits = int64_t{param.bitPosition} +
                         int64_t{param.bitLength} * std::max<uint32_t>(1, param.arraySizeMin);
    return param.bytePosition + (bits + 7) / 8;
}

}  // namespace

std::unique_ptr<CParam> ReadOdxParam(OdxContext& context, NanoXML* element, int depth) {
    if (!context.TakeBudget()) return nullptr;
    auto param = std::make_unique<CParam>();
    param->name = TextOf(element, "SHORT-NAME");
    param->xmlLocation = element->GetAttribute("ID");
    param->type = RecentText(element->GetAttribute("xsi:type"));
    param->bytePosition = PositionOf(element, "BYTE-POSITION");
    param->bitPosition = PositionOf(element, "BIT-POSITION");
    param->semantic = RecentText(element->GetAttribute("SEMANTIC"));
    if (param->semantic.empty()) param->semantic = RecentText(TextOf(element, "SEMANTIC"));
    ReadCodedValues(element, *param);
    ApplyCodedType(Child(element, "DIAG-CODED-TYPE"), *param, context.asWritten);
    ApplyParamDataObject(context, element, *param, depth);
    ApplyTableParts(context, element, *param, depth);
    if (context.asWritten) {
        param->name = DecodeCharacterReferences(std::move(param->name));
        param->positionStated = Child(element, "BYTE-POSITION") != nullptr ? 1 : 0;
        ApplyKindLength(element, *param);
    }
    FinishOdxParam(*param);
    return param;
}

void ReadOdxParams(OdxContext& context, NanoXML* element,
                   std::vector<std::unique_ptr<CParam>>& into, uint64_t owner, int depth,
                   OdxPlacement placement) {
    NanoXML* params = Child(element, "PARAMS");
    if (params == nullptr) return;
    int64_t nextFree = 0;  // the byte after everything placed so far
    for (const auto& placed : into) nextFree = std::max(nextFree, EndByte(*placed));
    for (NanoXML* child : params->children) {
        if (child->name != "PARAM") continue;
        std::unique_ptr<CParam> param = ReadOdxParam(context, child, depth);
        if (!param) return;
        if (context.asWritten) {
            // Read as written: a stated position stands, any other follows what came before.
            if (param->positionStated == 0)
                param->bytePosition =
                    static_cast<int32_t>(std::min<int64_t>(nextFree, INT32_MAX / 8));
            nextFree = std::max(nextFree, EndByte(*param));
        } else if (placement == OdxPlacement::kFromPredecessor &&
                   !(context.library->GetOdxStatedPositions() != 0 &&
                     Child(child, "BYTE-POSITION") != nullptr)) {
            PlaceAfter(*param, into.empty() ? nullptr : into.back().get());
        }
        param->owner = owner;
        into.push_back(std::move(param));
    }
}

}  // namespace qm::diag
