#include "diag/cdd_parameters.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "diag/diag_tables.h"
#include "quillmere/xml.h"

namespace qm::diag {

namespace {

// Deeper nesting than this is a reference cycle or a hostile file, never a real structure.
constexpr int kMaxTypeNesting = 40;

// Component kinds are compared as plain lists: the comparison rejects a name of another length
// at once, which beats hashing each child's name.
constexpr std::string_view kMessageComponents[] = {
    "CONSTCOMP",           "STATICCOMP",         "MUXCOMP",     "SIMPLEPROXYCOMP",
    "GROUPOFDTCPROXYCOMP", "STATUSDTCPROXYCOMP", "EOSITERCOMP",
};

// Elements that become parameters inside structures, contents and cases.
constexpr std::string_view kNestedComponents[] = {
    "CONSTCOMP",
    "STATICCOMP",
    "MUXCOMP",
    "SIMPLEPROXYCOMP",
    "GROUPOFDTCPROXYCOMP",
    "STATUSDTCPROXYCOMP",
    "EOSITERCOMP",
    "NUMITERCOMP",
    "CONTENTCOMP",
    "GAPDATAOBJ",
    "DATAOBJ",
    "SPECDATAOBJ",
    "GODTCDATAOBJ",
    "RECORDDATAOBJ",
    "STRUCT",
    "UNION",
    "DIDREF",
    "DIDDATAREF",
    "DTCSTATUSBITGROUP",
};

template <size_t N>
bool IsOneOf(std::string_view name, const std::string_view (&names)[N]) {
    for (const std::string_view candidate : names) {
        if (candidate == name) return true;
    }
    return false;
}

// Data type elements that may stand inline in a data object.
bool IsDataTypeElement(NanoXML* element) {
    return element->GetChild("CVALUETYPE", false) != nullptr || element->name == "STRUCTDT" ||
           element->name == "MUXDT" || element->name == "RECORDDT" || element->name == "EOSITERDT";
}

std::unique_ptr<CParam> ReadParameterOf(CddContext& context, NanoXML* element, int depth);
void ApplyDataType(CddContext& context, NanoXML* type, CParam& param, int depth);

bool TakeBudget(CddContext& context) {
    if (context.parameterBudget > 0) {
        --context.parameterBudget;
        return true;
    }
    if (!context.budgetReported) {
        context.budgetReported = true;
        context.Warn("Structure expansion limit reached, further parameters skipped");
    }
    return false;
}

void AppendSubParam(CParam& owner, std::unique_ptr<CParam> sub, bool overlaid = false) {
    if (!sub) return;
    const CParam* previous =
        overlaid || owner.subParams.empty() ? nullptr : owner.subParams.back().get();
    PlaceAfter(*sub, previous);
    if (overlaid) sub->positionStated = 1;
    sub->CompleteType();
    sub->owner = reinterpret_cast<uint64_t>(&owner);
    owner.subParams.push_back(std::move(sub));
}

bool IsNestedComponent(const NanoXML* element) {
    return IsOneOf(element->name, kNestedComponents);
}

size_t CountNestedComponents(const NanoXML* element) {
    size_t count = 0;
    for (const NanoXML* child : element->children) count += IsNestedComponent(child) ? 1 : 0;
    return count;
}

// Every nested component below element becomes a sub-parameter of owner: one after the
// other, or (overlaid) each from the owner's start.
void ReadSubComponents(CddContext& context, NanoXML* element, CParam& owner, int depth,
                       bool overlaid = false) {
    const size_t count = CountNestedComponents(element);
    if (count == 0) return;
    owner.subParams.reserve(owner.subParams.size() + count);
    for (NanoXML* child : element->children) {
        if (!IsNestedComponent(child)) continue;
        AppendSubParam(owner, ReadComponent(context, child, depth + 1), overlaid);
    }
}

// The DID a DIDREF or DIDDATAREF names: CANdela writes "didRef", older documents "idref".
NanoXML* DidOf(const CddContext& context, const NanoXML& reference) {
    const std::string& didRef = AttributeText(reference, "didRef");
    return context.ById(didRef.empty() ? AttributeText(reference, "idref") : didRef);
}

// A union's members are views of the same bytes (a coding string as one number and as its
// fields): each starts where the union starts, and the union is as long as its longest.
void ReadUnion(CddContext& context, NanoXML* element, CParam& param, int depth) {
    ReadSubComponents(context, element, param, depth, true);
    param.overlaid = 1;
    int64_t longest = 0;
    for (const auto& member : param.subParams) longest = std::max(longest, member->BitsInAll());
    param.bitLength = static_cast<int32_t>(std::clamp<int64_t>(longest, 0, INT32_MAX));
    param.CompleteType();
}

void ReadCodedValueType(CddContext& context, NanoXML* coded, CParam& param, const std::string& id) {
    const std::string& order = AttributeText(*coded, "bo");
    // CANdela names the bytes by significance in the order they are sent: "21" sends the more
    // significant byte first (a data identifier 0xF18C goes out as F1 8C), "12" the less
    // significant. Read as written, byte order 2 (high byte first) is "21"; the described
    // build takes the digits the other way round.
    if (order == "21") {
        param.byteOrder = context.asWritten ? 2 : 1;
    } else if (order == "12") {
        param.byteOrder = context.asWritten ? 1 : 2;
    } else if (!order.empty()) {
        context.Warn("Unknown byte order \"" + order + "\" in data type " + id);
    }
    const std::string& encoding = AttributeText(*coded, "enc");
    bool valid = true;
    const int64_t bits = DecimalAttribute(coded, "bl", &valid);
    if (!valid || bits < 0 || bits > 0xFFFFFF) {
        context.Warn("Invalid bit length \"" + AttributeText(*coded, "bl") + "\" in data type " +
                     id);
    } else if (bits > 0) {
        param.bitLength = static_cast<int32_t>(bits);
    }
    // Read as written, "sig" is what it is in CANdela files, the significant digits shown
    // (0 to 3); signed numbers are the encoding "sgn".
    if (context.asWritten)
        param.typeSigned = encoding == "sgn" ? 1 : 0;
    else
        param.typeSigned = AttributeText(*coded, "sig") == "1" ? 1 : 0;
    if (encoding == "asc") {
        param.baseTypeCode = kTypeAscii;
        param.baseDataType = context.texts.Intern("ASCII");
    } else if (encoding == "utf") {
        param.baseTypeCode = kTypeUtf8;
        param.baseDataType = context.texts.Intern("UTF8STRING");
    } else if (context.asWritten && (encoding == "flt" || encoding == "dbl")) {
        // The described coding names only the text encodings; read as written, floating-point
        // encodings name their type instead of leaving the integer of their length.
        param.baseDataType =
            context.texts.Intern(param.bitLength > 32 || encoding == "dbl" ? "FLOAT64" : "FLOAT32");
    }
    const std::string& format = AttributeText(*coded, "df");
    if (format == "hex")
        param.displayFormat = 2;
    else if (format == "dec")
        param.displayFormat = 1;
    else if (format == "flt")
        param.displayFormat = 4;
    else if (format == "text" || format == "txt")
        param.displayFormat = 3;
    if (AttributeText(*coded, "qty") == "field") {
        param.arraySizeMin =
            static_cast<uint32_t>(std::clamp<int64_t>(DecimalAttribute(coded, "minsz"), 0, 65535));
        param.arraySizeMax =
            static_cast<uint32_t>(std::clamp<int64_t>(DecimalAttribute(coded, "maxsz"), 0, 65535));
    }
}

void ReadPhysicalValueType(CddContext& context, NanoXML* physical, CParam& param) {
    const std::string& format = AttributeText(*physical, "df");
    if (format == "hex")
        param.displayFormat = 2;
    else if (format == "dec")
        param.displayFormat = 1;
    else if (format == "flt")
        param.displayFormat = 4;
    else if (format == "text" || format == "txt")
        param.displayFormat = 3;
    if (NanoXML* unit = physical->GetChild("UNIT", false))
        param.unit = context.texts.Intern(unit->GetText());
}

void ReadConversion(NanoXML* conversion, CParam& param) {
    auto readDouble = [&](const char* name, double& field) {
        const std::string& text = AttributeText(*conversion, name);
        if (text.empty()) return;
        field = std::strtod(text.c_str(), nullptr);
        param.hasScaling = 1;
    };
    readDouble("f", param.factor);
    readDouble("div", param.divisor);
    readDouble("o", param.offset);
    auto readUnsigned = [&](const char* name, uint32_t& field) {
        const std::string& text = AttributeText(*conversion, name);
        if (!text.empty()) field = static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 0));
    };
    readUnsigned("s", param.rangeFirst);
    readUnsigned("e", param.rangeSecond);
}

void ReadTextMap(CddContext& context, NanoXML* map, CParam& param) {
    auto entry = std::make_unique<CVTabValue>();
    entry->rangeStart =
        static_cast<uint32_t>(std::strtoul(AttributeText(*map, "s").c_str(), nullptr, 10));
    entry->rangeEnd =
        static_cast<uint32_t>(std::strtoul(AttributeText(*map, "e").c_str(), nullptr, 10));
    entry->text = context.texts.Intern(ChildLanguageText(map, "TEXT"));
    entry->xmlLocation = AttributeText(*map, "id");
    param.valueTable.push_back(std::move(entry));
}

void ReadRecord(CddContext& context, NanoXML* record, CParam& param) {
    auto entry = std::make_unique<CVTabValue>();
    const uint32_t value =
        static_cast<uint32_t>(std::strtoul(AttributeText(*record, "v").c_str(), nullptr, 10));
    entry->rangeStart = entry->rangeEnd = value;
    entry->text = context.texts.Intern(ChildLanguageText(record, "TEXT"));
    param.valueTable.push_back(std::move(entry));
}

// A DTC data type of a fault memory: the texts of its records name the trouble codes.
bool IsFaultMemoryType(const NanoXML& type) {
    return !AttributeText(type, "dtc").empty() && !AttributeText(type, "faultMemory").empty() &&
           !AttributeText(type, "rtSpec").empty();
}

// The records listed by the record types of a record data object become value-table entries.
void ReadRecordTexts(CddContext& context, NanoXML* recordObject, CParam& param) {
    for (NanoXML* recordType : recordObject->children) {
        if (recordType->name != "RECORDDT") continue;
        for (NanoXML* record : recordType->children) {
            if (record->name == "RECORD") ReadRecord(context, record, param);
        }
    }
}

void ReadCases(CddContext& context, NanoXML* mux, CParam& param, int depth) {
    for (NanoXML* child : mux->children) {
        if (child->name != "CASE" && child->name != "SIMPLECOMPCONT") continue;
        if (!TakeBudget(context)) return;
        auto caseParam = std::make_unique<CParam>();
        caseParam->name = ChildLanguageText(child, "NAME");
        caseParam->qual = ChildText(child, "QUAL");
        caseParam->type = context.texts.Intern(child->name);
        caseParam->xmlLocation = AttributeText(*child, "id");
        if (!AttributeText(*child, "s").empty()) caseParam->valueStr = AttributeText(*child, "s");
        NanoXML* structure = child->GetChild("STRUCTURE", false);
        ReadSubComponents(context, structure ? structure : child, *caseParam, depth);
        caseParam->CompleteStructType();
        caseParam->owner = reinterpret_cast<uint64_t>(&param);
        param.conditionalParams.push_back(std::move(caseParam));
    }
    if (!param.conditionalParams.empty()) param.isConditional = 1;
}

void ApplyDataType(CddContext& context, NanoXML* type, CParam& param, int depth) {
    if (type == nullptr || depth > kMaxTypeNesting) return;
    const std::string& id = AttributeText(*type, "id");
    if (!id.empty()) param.dtrefId = context.texts.Intern(id);
    const std::string& mask = AttributeText(*type, "bm");
    if (!mask.empty()) {
        bool valid = true;
        const int64_t value = DecimalAttribute(type, "bm", &valid);
        if (valid && value >= 0 && value <= 0xFFFFFFFFll) {
            param.bitMask = static_cast<uint32_t>(value);
        } else {
            context.Warn("Bit mask \"" + mask + "\" is not a number in data type " + id);
        }
    }
    if (AttributeText(*type, "dtc") == "1" || !AttributeText(*type, "rtSpec").empty())
        param.isKey = 0;
    for (NanoXML* child : type->children) {
        const std::string_view name = child->name;
        if (name == "CVALUETYPE")
            ReadCodedValueType(context, child, param, id);
        else if (name == "PVALUETYPE")
            ReadPhysicalValueType(context, child, param);
        else if (name == "COMP")
            ReadConversion(child, param);
        else if (name == "TEXTMAP")
            ReadTextMap(context, child, param);
        else if (name == "RECORD")
            ReadRecord(context, child, param);
        else if (name == "RECORDDT")
            ApplyDataType(context, child, param, depth + 1);
        else if (name == "RECORDDATAOBJ" && IsFaultMemoryType(*type))
            ReadRecordTexts(context, child, param);
        else if (name == "CASE")
            continue;
        else if (name == "STRUCTURE")
            ReadSubComponents(context, child, param, depth);
    }
    if (type->name == "MUXDT") ReadCases(context, type, param, depth);
    if (type->name == "STRUCTDT" || type->name == "STRUCT" || type->name == "EOSITERDT") {
        ReadSubComponents(context, type, param, depth);
    }
    if (!param.subParams.empty() && param.bitLength == 0) param.CompleteStructType();
}

// Whether the data type acts on a parameter on its own: no structure, cases or nested record
// type, whose components would depend on the instance being built and on the budget.
bool IsSelfContainedType(const NanoXML* type) {
    const std::string& kind = type->name;
    if (kind == "MUXDT" || kind == "STRUCTDT" || kind == "STRUCT" || kind == "EOSITERDT")
        return false;
    for (const NanoXML* child : type->children) {
        if (child->name == "RECORDDT" || child->name == "STRUCTURE") return false;
    }
    return true;
}

// Gives a fresh parameter what a self-contained data type says: the fields its data type
// sets (reference, coding, display, unit, conversion, value table).
void TakeTypeFacts(const CParam& facts, CParam& param) {
    param.dtrefId = facts.dtrefId;
    param.bitMask = facts.bitMask;
    param.isKey = facts.isKey;
    param.byteOrder = facts.byteOrder;
    param.bitLength = facts.bitLength;
    param.typeSigned = facts.typeSigned;
    param.baseTypeCode = facts.baseTypeCode;
    param.baseDataType = facts.baseDataType;
    param.displayFormat = facts.displayFormat;
    param.arraySizeMin = facts.arraySizeMin;
    param.arraySizeMax = facts.arraySizeMax;
    param.unit = facts.unit;
    param.factor = facts.factor;
    param.divisor = facts.divisor;
    param.offset = facts.offset;
    param.hasScaling = facts.hasScaling;
    param.rangeFirst = facts.rangeFirst;
    param.rangeSecond = facts.rangeSecond;
    param.valueTable.reserve(param.valueTable.size() + facts.valueTable.size());
    for (const auto& entry : facts.valueTable)
        param.valueTable.push_back(std::make_unique<CVTabValue>(*entry));
}

// A data object: its data type is named by "dtref" or stands inline. Every caller hands in a
// parameter whose type fields are still fresh, which is what lets a named self-contained type
// be worked out once.
void ReadDataObject(CddContext& context, NanoXML* element, CParam& param, int depth) {
    const std::string& reference = AttributeText(*element, "dtref");
    if (!reference.empty()) {
        bool created = false;
        DataTypeMemos::Memo& known = context.dataTypeMemos.Find(reference, created);
        if (created) known.type = context.DataType(reference);
        NanoXML* type = known.type;
        if (type == nullptr) {
            context.Warn("Data type " + reference + " of " + element->name + " not found");
        }
        if (type == nullptr || depth + 1 > kMaxTypeNesting) {
            ApplyDataType(context, type, param, depth + 1);
            return;
        }
        if (created && IsSelfContainedType(type)) {
            known.facts = std::make_unique<CParam>();
            ApplyDataType(context, type, *known.facts, depth + 1);
        }
        if (known.facts) {
            TakeTypeFacts(*known.facts, param);
        } else {
            ApplyDataType(context, type, param, depth + 1);
        }
        return;
    }
    for (NanoXML* child : element->children) {
        if (IsDataTypeElement(child)) {
            ApplyDataType(context, child, param, depth + 1);
            return;
        }
    }
}

// Takes over what a single content object says about the data into the proxy parameter.
void MergeContent(CParam& proxy, std::unique_ptr<CParam> content) {
    // The content object is dropped after the merge: its texts are moved, not copied.
    if (proxy.name.empty()) proxy.name = std::move(content->name);
    proxy.dtrefId = std::move(content->dtrefId);
    proxy.bitLength = content->bitLength;
    proxy.bitMask = content->bitMask;
    proxy.baseDataType = std::move(content->baseDataType);
    proxy.baseTypeCode = content->baseTypeCode;
    proxy.displayFormat = content->displayFormat;
    proxy.byteOrder = content->byteOrder;
    proxy.typeSigned = content->typeSigned;
    proxy.unit = std::move(content->unit);
    proxy.factor = content->factor;
    proxy.divisor = content->divisor;
    proxy.offset = content->offset;
    proxy.hasScaling = content->hasScaling;
    proxy.rangeFirst = content->rangeFirst;
    proxy.rangeSecond = content->rangeSecond;
    proxy.arraySizeMin = content->arraySizeMin;
    proxy.arraySizeMax = content->arraySizeMax;
    if (proxy.valueStr.empty()) proxy.valueStr = std::move(content->valueStr);
    proxy.isConditional = content->isConditional;
    proxy.overlaid = content->overlaid;
    const uint64_t self = reinterpret_cast<uint64_t>(&proxy);
    for (auto& sub : content->subParams) sub->owner = self;
    for (auto& sub : content->conditionalParams) sub->owner = self;
    proxy.subParams = std::move(content->subParams);
    proxy.conditionalParams = std::move(content->conditionalParams);
    proxy.valueTable = std::move(content->valueTable);
}

// The content objects of a "SIMPLECOMPCONT": one is merged into the parameter, several
// become its sub-parameters.
void ReadContent(CddContext& context, NanoXML* content, CParam& param, int depth) {
    if (CountNestedComponents(content) == 1) {
        for (NanoXML* child : content->children) {
            if (!IsNestedComponent(child)) continue;
            auto single = ReadComponent(context, child, depth + 1);
            if (single) MergeContent(param, std::move(single));
            return;
        }
    }
    ReadSubComponents(context, content, param, depth);
    if (!param.subParams.empty()) param.CompleteStructType();
}

// True when the shared element (SHPROXY or SHSTATIC) lists the component by "idref".
bool SharedElementNames(NanoXML* shared, const char* refName, const std::string& componentId) {
    if (shared == nullptr || componentId.empty()) return false;
    for (NanoXML* child : shared->children) {
        if (child->name == refName && AttributeText(*child, "idref") == componentId) return true;
    }
    return false;
}

// The element of the current instance that supplies the content of a proxy component: its
// "SIMPLECOMPCONT" (or "MUXCOMPCONT") whose shared proxy lists the component, or failing
// that one whose shared proxy has the component's "dest".
NanoXML* FindProxyContent(CddContext& context, NanoXML* component, const char* contentName) {
    if (context.instance == nullptr) return nullptr;
    const std::string& id = AttributeText(*component, "id");
    NanoXML* byDest = nullptr;
    const std::string& dest = AttributeText(*component, "dest");
    for (NanoXML* child : context.instance->children) {
        if (child->name != contentName) continue;
        NanoXML* proxy = context.ById(AttributeText(*child, "shproxyref"));
        if (SharedElementNames(proxy, "PROXYCOMPREF", id)) return child;
        if (byDest == nullptr && proxy != nullptr && !dest.empty() &&
            AttributeText(*proxy, "dest") == dest &&
            proxy->GetChild("PROXYCOMPREF", false) == nullptr) {
            byDest = child;
        }
    }
    return byDest;
}

// The value the current instance gives a static component ("STATICVALUE" "v").
std::string FindStaticValue(CddContext& context, NanoXML* component) {
    if (context.instance == nullptr) return "";
    const std::string& id = AttributeText(*component, "id");
    for (NanoXML* child : context.instance->children) {
        if (child->name != "STATICVALUE") continue;
        if (SharedElementNames(context.ById(AttributeText(*child, "shstaticref")), "STATICCOMPREF",
                               id)) {
            return AttributeText(*child, "v");
        }
    }
    return "";
}

void ReadBitLength(CddContext& context, NanoXML* element, CParam& param, const char* attribute) {
    const std::string& text = AttributeText(*element, attribute);
    if (text.empty()) return;
    bool valid = true;
    const int64_t bits = DecimalAttribute(element, attribute, &valid);
    if (!valid || bits < 0 || bits > 0xFFFFFF) {
        context.Warn("Invalid bit length \"" + text + "\" in " + element->name + " " +
                     AttributeText(*element, "id"));
        return;
    }
    param.bitLength = static_cast<int32_t>(bits);
}

void ReadProxy(CddContext& context, NanoXML* element, CParam& param, int depth) {
    if (NanoXML* content = FindProxyContent(context, element, "SIMPLECOMPCONT")) {
        ReadContent(context, content, param, depth);
        return;
    }
    if (!AttributeText(*element, "dtref").empty()) {
        ReadDataObject(context, element, param, depth);
    } else if (element->name == "STATUSDTCPROXYCOMP" && context.dtcStatusMask != nullptr) {
        ReadDataObject(context, context.dtcStatusMask, param, depth);
    }
    if (param.bitLength == 0) ReadBitLength(context, element, param, "minbl");
}

void ReadMultiplexer(CddContext& context, NanoXML* element, CParam& param, int depth) {
    if (NanoXML* content = FindProxyContent(context, element, "MUXCOMPCONT")) {
        ReadCases(context, content, param, depth);
    } else if (NanoXML* type = context.DataType(AttributeText(*element, "dtref"))) {
        param.dtrefId = context.texts.Intern(AttributeText(*type, "id"));
        ReadCases(context, type, param, depth);
    }
    param.isConditional = 1;
    ReadBitLength(context, element, param, "minbl");
}

void ReadIteration(CddContext& context, NanoXML* element, CParam& param, int depth) {
    if (element->name == "EOSITERCOMP") {
        param.arraySizeMin = static_cast<uint32_t>(
            std::clamp<int64_t>(DecimalAttribute(element, "minNumOfItems"), 0, 65535));
        const std::string& max = AttributeText(*element, "maxNumOfItems");
        param.arraySizeMax = max.empty()
                                 ? 65535u
                                 : static_cast<uint32_t>(std::clamp<int64_t>(
                                       DecimalAttribute(element, "maxNumOfItems"), 0, 65535));
        param.isVariableLength = 1;
    }
    ReadSubComponents(context, element, param, depth);
    param.CompleteStructType();
}

std::unique_ptr<CParam> ReadParameterOf(CddContext& context, NanoXML* element, int depth) {
    auto param = std::make_unique<CParam>();
    param->isOptional = AttributeText(*element, "must") == "0" ? 1 : 0;
    param->qual = ChildText(element, "QUAL");
    param->name = ChildLanguageText(element, "NAME");
    param->type = context.texts.Intern(element->name);
    param->semantic = context.texts.Intern(AttributeText(*element, "spec"));
    param->xmlLocation = AttributeText(*element, "id");
    if (depth > kMaxTypeNesting) {
        context.Warn("Structure nested too deeply at " + element->name + " " + param->xmlLocation);
        return param;
    }
    const std::string_view kind = element->name;
    if (kind == "CONSTCOMP") {
        if (!AttributeText(*element, "dtref").empty())
            ReadDataObject(context, element, *param, depth);
        ReadBitLength(context, element, *param, "bl");
        param->valueStr = AttributeText(*element, "v");
    } else if (kind == "STATICCOMP") {
        if (!AttributeText(*element, "dtref").empty())
            ReadDataObject(context, element, *param, depth);
        ReadBitLength(context, element, *param, "bl");
        param->valueStr = FindStaticValue(context, element);
        ReadSubComponents(context, element, *param, depth);
        // With children it is a structure: its length is theirs, whatever "bl" says.
        if (!param->subParams.empty()) param->CompleteStructType();
    } else if (kind == "GAPDATAOBJ") {
        ReadBitLength(context, element, *param, "bl");
        if (param->bitLength == 0) ReadBitLength(context, element, *param, "minbl");
    } else if (kind == "SIMPLEPROXYCOMP" || kind == "GROUPOFDTCPROXYCOMP" ||
               kind == "STATUSDTCPROXYCOMP") {
        ReadProxy(context, element, *param, depth);
    } else if (kind == "MUXCOMP") {
        ReadMultiplexer(context, element, *param, depth);
    } else if (kind == "EOSITERCOMP" || kind == "NUMITERCOMP") {
        ReadIteration(context, element, *param, depth);
    } else if (kind == "CONTENTCOMP") {
        if (NanoXML* content = element->GetChild("SIMPLECOMPCONT", false)) {
            ReadContent(context, content, *param, depth);
        }
    } else if (kind == "UNION" && context.asWritten) {
        ReadUnion(context, element, *param, depth);
    } else if (kind == "STRUCT" || kind == "UNION" || kind == "STRUCTURE") {
        ReadSubComponents(context, element, *param, depth);
        param->CompleteStructType();
    } else if (kind == "DIDREF" || kind == "DIDDATAREF") {
        NanoXML* did = element->link ? element->link : DidOf(context, *element);
        if (did != nullptr) {
            if (param->name.empty()) param->name = ChildLanguageText(did, "NAME");
            // A DIDREF stands for the identifier; a DIDDATAREF for the data record behind it,
            // whose value is its fields'.
            if (kind == "DIDREF") param->valueStr = AttributeText(*did, "n");
            if (NanoXML* structure = did->GetChild("STRUCTURE", false)) {
                ReadSubComponents(context, structure, *param, depth);
            }
            param->CompleteStructType();
        }
    } else {
        // Data objects: DATAOBJ, SPECDATAOBJ, GODTCDATAOBJ, RECORDDATAOBJ, DTCSTATUSBITGROUP.
        ReadDataObject(context, element, *param, depth);
        if (param->bitLength == 0) ReadBitLength(context, element, *param, "bl");
    }
    return param;
}

}  // namespace

bool IsMessageComponent(const std::string& name) {
    return IsOneOf(name, kMessageComponents);
}

std::unique_ptr<CParam> ReadComponent(CddContext& context, NanoXML* element, int depth) {
    if (!TakeBudget(context)) return nullptr;
    return ReadParameterOf(context, element, depth);
}

void PlaceAfter(CParam& param, const CParam* previous) {
    if (previous == nullptr) {
        if (param.bitPosition < 1) param.bitPosition = 0;
        if (param.bytePosition <= 0) param.bytePosition = 0;
        return;
    }
    const int64_t length = previous->bitLength;
    int64_t bit = param.bitPosition;
    int64_t byte = param.bytePosition;
    if (bit <= 0) {
        bit = previous->bitPosition + length;
        if (previous->arraySizeMin > 1) bit += (int64_t{previous->arraySizeMin} - 1) * length;
    }
    if (byte <= 0) {
        byte = 0;
        bit += int64_t{previous->bytePosition} * 8;
    }
    if ((bit == 0 && byte == 0) || byte < previous->bytePosition) {
        byte = previous->bytePosition;
        bit = previous->bitPosition + length;
    }
    if (bit >= 8) {
        byte += bit / 8;
        bit %= 8;
    }
    param.bitPosition = static_cast<int32_t>(std::clamp<int64_t>(bit, INT32_MIN, INT32_MAX));
    param.bytePosition = static_cast<int32_t>(std::clamp<int64_t>(byte, INT32_MIN, INT32_MAX));
}

}  // namespace qm::diag
