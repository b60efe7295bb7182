#include "diag/odx_data_objects.h"

#include <algorithm>

#include "diag/odx_parameters.h"
#include "quillmere/xml.h"

namespace qm::diag {

namespace {

// Data object kinds a short-name reference may reach through the reference index when the
// container's data object properties do not name it.
bool IsDataObjectKind(std::string_view name) {
    return name == "DATA-OBJECT-PROP" || name == "STRUCTURE" || name == "END-OF-PDU-FIELD" ||
           name == "DTC-DOP" || name == "MUX" || name == "STATIC-FIELD" ||
           name == "DYNAMIC-LENGTH-FIELD" || name == "DYNAMIC-ENDMARKER-FIELD" ||
           name == "ENV-DATA-DESC" || name == "ENV-DATA";
}

// The text of a DOP warning after its kind: " : with ", the key name, "=" and the quoted value.
std::string ReferenceTail(bool byShortName, std::string_view value) {
    std::string tail = " : with ";
    tail += byShortName ? "SHORT-NAME" : "ID";
    tail += "=" + Quoted(value) + " \r\n";
    return tail;
}

// The whole number of a "COMPU-INVERSE-VALUE" ("V", else "VT"); false when it has none.
bool InverseValueOf(NanoXML* holder, uint32_t& value) {
    NanoXML* inverse = Child(holder, "COMPU-INVERSE-VALUE");
    if (inverse == nullptr) return false;
    const std::string number = TextOf(inverse, "V");
    return ParseLimit(number.empty() ? TextOf(inverse, "VT") : number, value);
}

// Text table: every "COMPU-SCALE" becomes a value-table entry. Read as written, the
// "COMPU-DEFAULT-VALUE" text names the values no entry holds, and a text encodes as its
// "COMPU-INVERSE-VALUE" where it has one.
void ReadTextTable(NanoXML* compu, CParam& param, bool decode) {
    NanoXML* scales = Child(Child(compu, "COMPU-INTERNAL-TO-PHYS"), "COMPU-SCALES");
    if (scales == nullptr) scales = Child(compu, "COMPU-SCALES");
    if (scales == nullptr) return;
    std::vector<std::pair<SharedText, uint32_t>> inverses;
    for (NanoXML* scale : scales->children) {
        if (scale->name != "COMPU-SCALE") continue;
        auto entry = std::make_unique<CVTabValue>();
        std::string text = TextOf(Child(scale, "COMPU-CONST"), "VT");
        if (decode) text = DecodeCharacterReferences(std::move(text));
        entry->text = RecentText(text);
        ParseLimit(TextOf(scale, "LOWER-LIMIT"), entry->rangeStart);
        entry->rangeEnd = entry->rangeStart;
        ParseLimit(TextOf(scale, "UPPER-LIMIT"), entry->rangeEnd);
        entry->xmlLocation = scale->GetAttribute("ID");
        uint32_t inverse = 0;
        if (decode && InverseValueOf(scale, inverse) && inverse != entry->rangeStart)
            inverses.emplace_back(entry->text, inverse);
        param.valueTable.push_back(std::move(entry));
    }
    if (!decode) return;
    auto computation = std::make_shared<CComputation>();
    computation->inverses = std::move(inverses);
    NanoXML* fallback = Child(Child(compu, "COMPU-INTERNAL-TO-PHYS"), "COMPU-DEFAULT-VALUE");
    const std::string text = DecodeCharacterReferences(TextOf(fallback, "VT"));
    if (!text.empty()) {
        computation->otherValuesText = RecentText(text);
        uint32_t inverse = 0;
        if (InverseValueOf(fallback, inverse)) computation->otherValuesCoded = inverse;
    }
    if (!computation->inverses.empty() || !text.empty()) param.computation = std::move(computation);
}

double NumberOf(NanoXML* element) {
    if (element == nullptr) return 0.0;
    const std::string text = element->GetText();
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    return end == text.c_str() ? 0.0 : value;
}

// The "V" children of a coefficient list.
std::vector<NanoXML*> ValuesOf(NanoXML* list) {
    std::vector<NanoXML*> values;
    if (list == nullptr) return values;
    for (NanoXML* v : list->children) {
        if (v->name == "V") values.push_back(v);
    }
    return values;
}

// The scaling of one COMPU-SCALE: physical = (offset + factor x coded) / divisor; false when it
// has no coefficients.
bool ReadScaling(NanoXML* scale, double& factor, double& offset, double& divisor) {
    NanoXML* coefficients = Child(scale, "COMPU-RATIONAL-COEFFS");
    if (coefficients == nullptr) return false;
    const std::vector<NanoXML*> numerator = ValuesOf(Child(coefficients, "COMPU-NUMERATOR"));
    const std::vector<NanoXML*> denominator = ValuesOf(Child(coefficients, "COMPU-DENOMINATOR"));
    if (numerator.empty()) return false;
    offset = NumberOf(numerator[0]);
    if (numerator.size() > 1) factor = NumberOf(numerator[1]);
    if (!denominator.empty() && NumberOf(denominator[0]) != 0.0) divisor = NumberOf(denominator[0]);
    return true;
}

// A limit of a COMPU-SCALE: "INFINITE" leaves that side open.
void ReadLimit(NanoXML* limit, double& value, bool& present, bool& excluded) {
    if (AttributeOf(limit, "INTERVAL-TYPE") == "INFINITE") return;
    present = true;
    value = NumberOf(limit);
    excluded = AttributeOf(limit, "INTERVAL-TYPE") == "OPEN";
}

// The limits of a piece. A scale that gives one limit only holds that one value (a lone
// LOWER-LIMIT 0 before a scale for 1 to 127 is the value 0, not everything from 0 on); one
// that gives neither holds every value.
void ReadLimits(NanoXML* scale, CLinearScale& piece) {
    NanoXML* lower = Child(scale, "LOWER-LIMIT");
    NanoXML* upper = Child(scale, "UPPER-LIMIT");
    if (lower != nullptr) ReadLimit(lower, piece.lower, piece.hasLower, piece.lowerExcluded);
    if (upper != nullptr) ReadLimit(upper, piece.upper, piece.hasUpper, piece.upperExcluded);
    if (lower != nullptr && upper == nullptr && piece.hasLower) {
        piece.hasUpper = true;
        piece.upper = piece.lower;
    } else if (upper != nullptr && lower == nullptr && piece.hasUpper) {
        piece.hasLower = true;
        piece.lower = piece.upper;
    }
}

// Linear computation from the first scale; a scale-linear one read as written keeps every
// scale with its limits as the pieces of the computation.
void ReadLinear(NanoXML* compu, CParam& param, bool piecewise) {
    NanoXML* scales = Child(Child(compu, "COMPU-INTERNAL-TO-PHYS"), "COMPU-SCALES");
    if (!ReadScaling(Child(scales, "COMPU-SCALE"), param.factor, param.offset, param.divisor))
        return;
    param.hasScaling = 1;
    if (!piecewise) return;
    auto computation = std::make_shared<CComputation>();
    for (NanoXML* scale : scales->children) {
        CLinearScale piece;
        if (scale->name != "COMPU-SCALE" ||
            !ReadScaling(scale, piece.factor, piece.offset, piece.divisor))
            continue;
        ReadLimits(scale, piece);
        computation->pieces.push_back(piece);
    }
    param.computation = std::move(computation);
}

// An interpolation table read as written: its points (coded LOWER-LIMIT, physical constant)
// joined by straight pieces, in document order; a coded value outside them has no physical
// value. Read as described it has no scaling.
void ReadInterpolation(NanoXML* compu, CParam& param) {
    NanoXML* scales = Child(Child(compu, "COMPU-INTERNAL-TO-PHYS"), "COMPU-SCALES");
    if (scales == nullptr) return;
    std::vector<std::pair<double, double>> points;
    for (NanoXML* scale : scales->children) {
        NanoXML* limit = Child(scale, "LOWER-LIMIT");
        NanoXML* value = Child(Child(scale, "COMPU-CONST"), "V");
        if (scale->name == "COMPU-SCALE" && limit != nullptr && value != nullptr)
            points.emplace_back(NumberOf(limit), NumberOf(value));
    }
    auto computation = std::make_shared<CComputation>();
    for (size_t i = 0; i + 1 < points.size(); ++i) {
        const auto [x0, y0] = points[i];
        const auto [x1, y1] = points[i + 1];
        if (!(x1 > x0)) continue;  // no piece between points out of order
        CLinearScale piece;
        piece.hasLower = piece.hasUpper = true;
        piece.lower = piece.origin = x0;
        piece.upper = x1;
        piece.base = y0;
        piece.offset = 0.0;
        piece.factor = y1 - y0;
        piece.divisor = x1 - x0;
        computation->pieces.push_back(piece);
    }
    // The interface's one scaling stays unset: no factor and offset stand for the table.
    if (!computation->pieces.empty()) param.computation = std::move(computation);
}

void ReadPhysicalType(NanoXML* physical, CParam& param) {
    if (physical == nullptr) return;
    const std::string_view radix = AttributeOf(physical, "DISPLAY-RADIX");
    const std::string_view base = AttributeOf(physical, "BASE-DATA-TYPE");
    if (radix == "HEX") {
        param.displayFormat = 2;
    } else if (radix == "DEC") {
        param.displayFormat = 1;
    } else if (base.find("STRING") != std::string_view::npos) {
        param.displayFormat = 3;
    } else if (base.find("FLOAT") != std::string_view::npos) {
        param.displayFormat = 4;
    }
}

void ReadUnit(NanoXML* dop, CParam& param) {
    NanoXML* unit = LinkEnd(Child(dop, "UNIT-REF"));
    if (unit == nullptr || unit->name != "UNIT") return;
    param.unit = RecentText(TextOf(unit, "DISPLAY-NAME"));
    if (param.unit.empty()) param.unit = RecentText(ShortNameOf(unit));
}

// A case of a multiplexer: its range selects it, its structure gives its parameters.
std::unique_ptr<CParam> ReadMuxCase(OdxContext& context, NanoXML* element, int depth) {
    if (!context.TakeBudget()) return nullptr;
    auto caseParam = std::make_unique<CParam>();
    caseParam->name = "Case " + std::string(ShortNameOf(element));
    caseParam->type = RecentText("OdxMuxCase");
    caseParam->xmlLocation = element->GetAttribute("ID");
    ParseLimit(TextOf(element, "LOWER-LIMIT"), caseParam->rangeFirst);
    caseParam->rangeSecond = caseParam->rangeFirst;
    ParseLimit(TextOf(element, "UPPER-LIMIT"), caseParam->rangeSecond);
    caseParam->valueStr = std::to_string(caseParam->rangeFirst);
    NanoXML* structure = LinkEnd(Child(element, "STRUCTURE-REF"));
    if (structure == nullptr) structure = LinkEnd(Child(element, "STRUCTURE-SNREF"));
    if (structure != nullptr) ApplyDataObject(context, structure, *caseParam, depth + 1);
    FinishOdxParam(*caseParam);
    return caseParam;
}

// The multiplexer: "MuxSwitchKey" selects, "Cases" holds one conditional parameter per case
// (the default case last, selected by no key entry).
void ApplyMux(OdxContext& context, NanoXML* mux, CParam& param, int depth) {
    auto key = std::make_unique<CParam>();
    key->name = "MuxSwitchKey";
    key->isKey = 1;
    NanoXML* switchKey = Child(mux, "SWITCH-KEY");
    if (switchKey != nullptr) {
        int64_t position = 0;
        if (ParseInteger(TextOf(switchKey, "BYTE-POSITION"), position))
            key->bytePosition =
                static_cast<int32_t>(std::clamp<int64_t>(position, 0, INT32_MAX / 8));
        if (ParseInteger(TextOf(switchKey, "BIT-POSITION"), position))
            key->bitPosition = static_cast<int32_t>(std::clamp<int64_t>(position, 0, 7));
        NanoXML* keyDop = LinkEnd(Child(switchKey, "DATA-OBJECT-PROP-REF"));
        if (keyDop == nullptr) keyDop = LinkEnd(Child(switchKey, "DOP-REF"));
        if (keyDop != nullptr && keyDop->name == "DATA-OBJECT-PROP") {
            ApplyCodedType(Child(keyDop, "DIAG-CODED-TYPE"), *key, context.asWritten);
        }
    }
    auto cases = std::make_unique<CParam>();
    cases->name = "Cases";
    cases->type = RecentText("OdxMuxCase");
    int64_t position = 0;
    if (ParseInteger(TextOf(mux, "BYTE-POSITION"), position))
        cases->bytePosition = static_cast<int32_t>(std::clamp<int64_t>(position, 0, INT32_MAX / 8));
    if (NanoXML* list = Child(mux, "CASES")) {
        for (NanoXML* element : list->children) {
            if (element->name != "CASE") continue;
            std::unique_ptr<CParam> caseParam = ReadMuxCase(context, element, depth);
            if (!caseParam) break;
            key->valueTable.push_back(std::make_unique<CVTabValue>(
                std::string(ShortNameOf(element)), caseParam->rangeFirst, caseParam->rangeSecond));
            caseParam->owner = reinterpret_cast<uint64_t>(cases.get());
            cases->conditionalParams.push_back(std::move(caseParam));
        }
    }
    if (NanoXML* fallback = Child(mux, "DEFAULT-CASE")) {
        if (std::unique_ptr<CParam> caseParam = ReadMuxCase(context, fallback, depth)) {
            caseParam->owner = reinterpret_cast<uint64_t>(cases.get());
            cases->conditionalParams.push_back(std::move(caseParam));
        }
    }
    cases->isConditional = cases->conditionalParams.empty() ? 0 : 1;
    for (const auto& caseParam : cases->conditionalParams)
        cases->bitLength = std::max(cases->bitLength, caseParam->bitLength);
    FinishOdxParam(*key);
    FinishOdxParam(*cases);
    // Both stand where the multiplexer says, relative to its start.
    key->owner = cases->owner = reinterpret_cast<uint64_t>(&param);
    param.subParams.push_back(std::move(key));
    param.subParams.push_back(std::move(cases));
    param.CompleteStructType();
}

// The structure a field repeats ("BASIC-STRUCTURE-REF" or "-SNREF"); null when unresolved.
NanoXML* BasicStructureOf(NanoXML* field) {
    NanoXML* structure = LinkEnd(Child(field, "BASIC-STRUCTURE-REF"));
    if (structure == nullptr) {
        if (NanoXML* snref = Child(field, "BASIC-STRUCTURE-SNREF"))
            structure = LinkEnd(snref->link);
    }
    return structure != nullptr && structure->name == "STRUCTURE" ? structure : nullptr;
}

uint32_t CountOf(NanoXML* element, std::string_view name, uint32_t fallback) {
    int64_t number = 0;
    if (!ParseInteger(TextOf(element, name), number)) return fallback;
    return static_cast<uint32_t>(std::clamp<int64_t>(number, 0, 65535));
}

void ApplyEndOfPduField(OdxContext& context, NanoXML* field, CParam& param, int depth) {
    param.arraySizeMin = CountOf(field, "MIN-NUMBER-OF-ITEMS", 0);
    param.arraySizeMax = CountOf(field, "MAX-NUMBER-OF-ITEMS", 65535);
    param.isVariableLength = 1;
    NanoXML* structure = BasicStructureOf(field);
    if (structure == nullptr) {
        context.Log("ODX Warning: unresolved END-OF-PDU-FIELD entry: " +
                    Quoted(ShortNameOf(field)) + "\r\n");
        return;
    }
    ApplyDataObject(context, structure, param, depth);
}

// A fixed number of items, each taking ITEM-BYTE-SIZE bytes whatever its structure uses.
void ApplyStaticField(OdxContext& context, NanoXML* field, CParam& param, int depth) {
    NanoXML* structure = BasicStructureOf(field);
    if (structure == nullptr) {
        context.Log("ODX Warning: unresolved STATIC-FIELD entry: " + Quoted(ShortNameOf(field)) +
                    "\r\n");
        return;
    }
    ApplyDataObject(context, structure, param, depth);
    const uint32_t items = CountOf(field, "FIXED-NUMBER-OF-ITEMS", 0);
    const uint32_t itemBytes = CountOf(field, "ITEM-BYTE-SIZE", 0);
    param.arraySizeMin = param.arraySizeMax = std::max<uint32_t>(items, 1);
    if (itemBytes > 0) param.bitLength = static_cast<int32_t>(itemBytes * 8);
    param.isVariableLength = 1;
    param.lengthKind = CParam::kLengthStaticField;
}

// A field of variable length made of two parts that the decoder reads in order.
void AdoptFieldParts(CParam& param, std::unique_ptr<CParam> first, std::unique_ptr<CParam> second,
                     uint8_t lengthKind) {
    first->owner = second->owner = reinterpret_cast<uint64_t>(&param);
    param.subParams.push_back(std::move(first));
    param.subParams.push_back(std::move(second));
    param.baseDataType = RecentText("BYTEFIELD");
    param.isVariableLength = 1;
    param.lengthKind = lengthKind;
}

// The item count stands at DETERMINE-NUMBER-OF-ITEMS, the items from OFFSET on (both counted
// from the field's start): "NumberOfItems" and "Items" hold the two.
void ApplyDynamicLengthField(OdxContext& context, NanoXML* field, CParam& param, int depth) {
    NanoXML* structure = BasicStructureOf(field);
    NanoXML* determine = Child(field, "DETERMINE-NUMBER-OF-ITEMS");
    if (structure == nullptr || determine == nullptr) {
        context.Log("ODX Warning: unresolved DYNAMIC-LENGTH-FIELD entry: " +
                    Quoted(ShortNameOf(field)) + "\r\n");
        return;
    }
    auto count = std::make_unique<CParam>();
    count->name = "NumberOfItems";
    count->type = RecentText("LENGTH-KEY");
    count->bytePosition = static_cast<int32_t>(CountOf(determine, "BYTE-POSITION", 0));
    count->bitPosition =
        static_cast<int32_t>(std::min<uint32_t>(CountOf(determine, "BIT-POSITION", 0), 7));
    count->positionStated = 1;
    NanoXML* countDop = LinkEnd(Child(determine, "DATA-OBJECT-PROP-REF"));
    if (countDop == nullptr) countDop = LinkEnd(Child(determine, "DOP-REF"));
    if (countDop != nullptr && countDop->name == "DATA-OBJECT-PROP")
        ApplyCodedType(Child(countDop, "DIAG-CODED-TYPE"), *count, context.asWritten);
    FinishOdxParam(*count);
    auto items = std::make_unique<CParam>();
    items->name = "Items";
    items->bytePosition = static_cast<int32_t>(CountOf(field, "OFFSET", 0));
    items->positionStated = 1;
    ApplyDataObject(context, structure, *items, depth);
    items->arraySizeMin = 0;
    items->arraySizeMax = 65535;
    items->isVariableLength = 1;
    FinishOdxParam(*items);
    // Without items the field takes its count and the bytes up to the offset.
    const int64_t countEnd = count->bytePosition + (count->bitPosition + count->bitLength + 7) / 8;
    param.bitLength = static_cast<int32_t>(
        std::min<int64_t>(std::max<int64_t>(countEnd, items->bytePosition) * 8, INT32_MAX));
    AdoptFieldParts(param, std::move(count), std::move(items), CParam::kLengthDynamicField);
}

// Items repeat until the termination value stands where the next item would begin, or the
// message ends: "Items" holds the item, "Termination" the coded termination value in the
// coding of the data object DYN-END-DOP-REF names.
void ApplyDynamicEndmarkerField(OdxContext& context, NanoXML* field, CParam& param, int depth) {
    NanoXML* structure = BasicStructureOf(field);
    NanoXML* endReference = Child(field, "DYN-END-DOP-REF");
    NanoXML* endDop = LinkEnd(endReference);
    if (endDop == endReference && endReference != nullptr) {
        const auto found = context.dopsById.find(AttributeOf(endReference, "ID-REF"));
        endDop = found == context.dopsById.end() ? nullptr : found->second;
    }
    int64_t value = 0;
    if (structure == nullptr || endDop == nullptr || endDop->name != "DATA-OBJECT-PROP" ||
        !ParseInteger(TextOf(endReference, "TERMINATION-VALUE"), value) || value < 0) {
        context.Log("ODX Warning: unresolved DYNAMIC-ENDMARKER-FIELD entry: " +
                    Quoted(ShortNameOf(field)) + "\r\n");
        return;
    }
    auto items = std::make_unique<CParam>();
    items->name = "Items";
    ApplyDataObject(context, structure, *items, depth);
    items->isVariableLength = 1;
    FinishOdxParam(*items);
    auto termination = std::make_unique<CParam>();
    termination->name = "Termination";
    termination->type = RecentText("CODED-CONST");
    ApplyCodedType(Child(endDop, "DIAG-CODED-TYPE"), *termination, context.asWritten);
    termination->valueStr = std::to_string(value);
    FinishOdxParam(*termination);
    // Without items the field is its termination.
    param.bitLength = termination->bitLength;
    AdoptFieldParts(param, std::move(items), std::move(termination), CParam::kLengthEndMarker);
}

// One ENV-DATA: its parameters as a case, selected by its DTC values (all DTCs for ALL-VALUE).
void AddEnvData(OdxContext& context, NanoXML* envData, CParam& param, int depth) {
    if (!context.TakeBudget()) return;
    auto data = std::make_unique<CParam>();
    data->name = ShortNameOf(envData);
    data->xmlLocation = envData->GetAttribute("ID");
    ReadOdxParams(context, envData, data->subParams, reinterpret_cast<uint64_t>(data.get()),
                  depth + 1, OdxPlacement::kAsStated);
    FinishOdxParam(*data);
    data->owner = reinterpret_cast<uint64_t>(&param);
    if (Child(envData, "ALL-VALUE") != nullptr) {
        data->type = RecentText("ENV-DATA-ALL");
        data->rangeSecond = UINT32_MAX;
        param.conditionalParams.push_back(std::move(data));
        return;
    }
    data->type = RecentText("ENV-DATA");
    NanoXML* values = Child(envData, "DTC-VALUES");
    if (values == nullptr) return;
    for (NanoXML* value : values->children) {
        uint32_t code = 0;
        if (value->name != "DTC-VALUE" || !ParseLimit(value->GetText(), code)) continue;
        auto copy = std::make_unique<CParam>(*data);
        copy->owner = data->owner;
        copy->rangeFirst = copy->rangeSecond = code;
        param.conditionalParams.push_back(std::move(copy));
    }
}

// Environment data of DTCs: what follows depends on the DTC parameter PARAM-SNREF names.
void ApplyEnvDataDesc(OdxContext& context, NanoXML* desc, CParam& param, int depth) {
    std::string key;
    if (NanoXML* snref = Child(desc, "PARAM-SNREF")) {
        key = snref->GetAttribute("SHORT-NAME");
    } else if (NanoXML* path = Child(desc, "PARAM-SNPATHREF")) {
        key = path->GetAttribute("SHORT-NAME-PATH");
        if (const size_t dot = key.rfind('.'); dot != std::string::npos) key.erase(0, dot + 1);
    }
    param.lengthKeyId = RecentText(key);
    param.lengthKind = CParam::kLengthEnvData;
    param.isVariableLength = 1;
    param.baseDataType = RecentText("BYTEFIELD");
    if (NanoXML* inline_ = Child(desc, "ENV-DATAS")) {
        for (NanoXML* envData : inline_->children) {
            if (envData->name == "ENV-DATA") AddEnvData(context, envData, param, depth);
        }
    }
    if (NanoXML* references = Child(desc, "ENV-DATA-REFS")) {
        for (NanoXML* reference : references->children) {
            NanoXML* envData = LinkEnd(reference->link);
            if (envData != nullptr && envData->name == "ENV-DATA")
                AddEnvData(context, envData, param, depth);
        }
    }
    // Encoded alone it is what every DTC carries (at least one byte).
    int64_t bits = 0;
    for (const auto& data : param.conditionalParams) {
        if (data->type == "ENV-DATA-ALL") bits += data->bitLength;
    }
    param.bitLength = static_cast<int32_t>(std::clamp<int64_t>(bits, 8, INT32_MAX));
}

// The computation method of a data object: a text table's entries, a linear scaling or, read
// as written, an interpolation table.
void ApplyComputation(NanoXML* compu, CParam& param, bool asWritten) {
    const std::string category = TextOf(compu, "CATEGORY");
    if (category == "TEXTTABLE") {
        ReadTextTable(compu, param, asWritten);
    } else if (category == "LINEAR" || category == "SCALE-LINEAR") {
        ReadLinear(compu, param, asWritten && category == "SCALE-LINEAR");
    } else if (category == "TAB-INTP" && asWritten) {
        ReadInterpolation(compu, param);
    }
}

// Each DTC of the DTC data object (inline or referenced) becomes a value-table entry whose
// text reads "short name - trouble code : text". Its coded type and computation method code
// the trouble code as those of any data object would.
void ApplyDtcDop(NanoXML* dop, CParam& param, bool asWritten) {
    ApplyCodedType(Child(dop, "DIAG-CODED-TYPE"), param, asWritten);
    ApplyComputation(Child(dop, "COMPU-METHOD"), param, asWritten);
    param.troubleCodes = asWritten ? 1 : 0;
    NanoXML* dtcs = Child(dop, "DTCS");
    if (dtcs == nullptr) return;
    for (NanoXML* child : dtcs->children) {
        NanoXML* dtc = child->name == "DTC-REF" ? LinkEnd(child) : child;
        if (dtc == nullptr || dtc->name != "DTC") continue;
        std::string code = TextOf(dtc, "TROUBLE-CODE");
        uint32_t value = 0;
        ParseLimit(code, value);
        std::string text = std::string(ShortNameOf(dtc)) + " - " + code;
        const std::string description = TextOf(dtc, "TEXT");
        if (!description.empty()) text += " : " + description;
        auto entry = std::make_unique<CVTabValue>(std::move(text), value, value);
        entry->xmlLocation = dtc->GetAttribute("ID");
        param.valueTable.push_back(std::move(entry));
    }
}

}  // namespace

void ApplyDataObjectProp(NanoXML* dop, CParam& param, bool asWritten) {
    ApplyCodedType(Child(dop, "DIAG-CODED-TYPE"), param, asWritten);
    ApplyComputation(Child(dop, "COMPU-METHOD"), param, asWritten);
    NanoXML* physical = Child(dop, "PHYSICAL-TYPE");
    ReadPhysicalType(physical, param);
    if (asWritten) {
        const std::string_view type = AttributeOf(physical, "BASE-DATA-TYPE");
        param.wholePhysical = type == "A_INT32" || type == "A_UINT32" ? 1 : 0;
    }
    ReadUnit(dop, param);
}

void ApplyStructure(OdxContext& context, NanoXML* structure, CParam& param, int depth) {
    ReadOdxParams(context, structure, param.subParams, reinterpret_cast<uint64_t>(&param),
                  depth + 1, OdxPlacement::kAsStated);
    // The size a structure states is taken only as written; as described its length is the
    // sum of its parameters.
    int64_t bytes = 0;
    if (context.asWritten && ParseInteger(TextOf(structure, "BYTE-SIZE"), bytes) && bytes > 0) {
        param.bitLength = static_cast<int32_t>(std::min<int64_t>(bytes * 8, INT32_MAX));
    } else if (context.asWritten && !param.subParams.empty()) {
        // As written the parts stand where they say: the structure ends after the last one.
        int64_t end = 0;
        for (const auto& sub : param.subParams) {
            const int64_t bits = int64_t{sub->bitPosition} +
                                 int64_t{sub->bitLength} * std::max<uint32_t>(1, sub->arraySizeMin);
            end = std::max<int64_t>(end, sub->bytePosition + (bits + 7) / 8);
        }
        param.bitLength = static_cast<int32_t>(std::min<int64_t>(end * 8, INT32_MAX));
        param.CompleteType();
    } else if (!param.subParams.empty()) {
        param.CompleteStructType();
    }
}

bool ApplyDataObject(OdxContext& context, NanoXML* target, CParam& param, int depth) {
    const std::string& kind = target->name;
    if (kind == "DATA-OBJECT-PROP") {
        ApplyDataObjectProp(target, param, context.asWritten);
        return true;
    }
    if (kind == "DTC-DOP") {
        ApplyDtcDop(target, param, context.asWritten);
        return true;
    }
    const bool asWrittenKind =
        context.asWritten && (kind == "STATIC-FIELD" || kind == "DYNAMIC-LENGTH-FIELD" ||
                              kind == "DYNAMIC-ENDMARKER-FIELD" || kind == "ENV-DATA-DESC");
    if (kind != "STRUCTURE" && kind != "END-OF-PDU-FIELD" && kind != "MUX" && !asWrittenKind)
        return false;
    // The nested kinds expand further data objects: guard against cycles and depth.
    if (depth >= kOdxMaxDepth || context.expanding.count(target) != 0) {
        context.LogOnce("ODX Warning: recursive data object " + Quoted(ShortNameOf(target)) +
                        " not expanded\r\n");
        return true;
    }
    context.expanding.insert(target);
    if (kind == "STRUCTURE") {
        ApplyStructure(context, target, param, depth);
    } else if (kind == "END-OF-PDU-FIELD") {
        ApplyEndOfPduField(context, target, param, depth);
    } else if (kind == "STATIC-FIELD") {
        ApplyStaticField(context, target, param, depth);
    } else if (kind == "DYNAMIC-LENGTH-FIELD") {
        ApplyDynamicLengthField(context, target, param, depth);
    } else if (kind == "DYNAMIC-ENDMARKER-FIELD") {
        ApplyDynamicEndmarkerField(context, target, param, depth);
    } else if (kind == "ENV-DATA-DESC") {
        ApplyEnvDataDesc(context, target, param, depth);
    } else {
        ApplyMux(context, target, param, depth);
    }
    context.expanding.erase(target);
    return true;
}

void ApplyParamDataObject(OdxContext& context, NanoXML* element, CParam& param, int depth) {
    NanoXML* reference = Child(element, "DOP-REF");
    if (reference == nullptr) reference = Child(element, "DATA-OBJECT-PROP-REF");
    NanoXML* target = nullptr;
    bool byShortName = false;
    std::string value;
    if (reference != nullptr) {
        value = reference->GetAttribute("ID-REF");
        param.dtrefId = RecentText(value);
        target = LinkEnd(reference->link);
        if (target == nullptr) {
            const auto found = context.dopsById.find(value);
            if (found != context.dopsById.end()) target = found->second;
        }
    } else if (NanoXML* snref = Child(element, "DOP-SNREF")) {
        byShortName = true;
        value = snref->GetAttribute("SHORT-NAME");
        // As written, the layer's own and inherited data objects (NOT-INHERITED-DOPS honoured).
        if (context.asWritten) target = context.LayerDataObject(element, value);
        if (target == nullptr) target = context.DataObjectByShortName(element, value);
        if (target == nullptr) {
            NanoXML* linked = LinkEnd(snref->link);
            if (linked != nullptr && IsDataObjectKind(linked->name)) target = linked;
        }
    } else {
        return;
    }
    const std::string sn = byShortName ? "SN" : "";
    if (target == nullptr) {
        context.Log("ODX Warning: unresolved DOP-" + sn + "REF of " + Quoted(param.name) +
                    ReferenceTail(byShortName, value));
        return;
    }
    if (!ApplyDataObject(context, target, param, depth)) {
        context.Log("ODX Warning: unhandled DOP-" + sn + "REF type: " + Quoted(target->name) +
                    ReferenceTail(byShortName, value));
    }
}

}  // namespace qm::diag
