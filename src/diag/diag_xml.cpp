#include "diag/diag_xml.h"

#include <charconv>
#include <cstring>

#include "diag/diag_tables.h"
#include "quillmere/xml.h"
#include "xml/text.h"

namespace qm::diag {

namespace {

void Put(NanoXML* node, const char* name, const std::string& value) {
    const std::string escaped = EscapeAttribute(value);
    node->attributes.push_back(NanoXMLAttribute{name, escaped});
}

void Put(NanoXML* node, const char* name, const SharedText& value) {
    Put(node, name, value.str());
}

void Put(NanoXML* node, const char* name, int64_t value) {
    Put(node, name, std::to_string(value));
}

void PutFlag(NanoXML* node, const char* name, uint8_t value) {
    Put(node, name, std::string(value ? "1" : "0"));
}

// The attribute's value (unescaped), or null when the element lacks it.
bool Get(const NanoXML* node, const char* name, std::string& out) {
    for (const NanoXMLAttribute& attribute : node->attributes) {
        if (attribute.name == name) {
            out = UnescapeAttribute(attribute.value);
            return true;
        }
    }
    return false;
}

void ReadText(const NanoXML* node, const char* name, std::string& field) {
    std::string value;
    if (Get(node, name, value)) field = std::move(value);
}

void ReadText(const NanoXML* node, const char* name, SharedText& field) {
    std::string value;
    if (Get(node, name, value)) field = RecentText(value);
}

int64_t DecimalOf(const std::string& text) {
    int64_t value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return 0;
    return value;
}

template <typename T>
void ReadNumber(const NanoXML* node, const char* name, T& field) {
    std::string value;
    if (Get(node, name, value)) field = static_cast<T>(DecimalOf(value));
}

void ReadFlag(const NanoXML* node, const char* name, uint8_t& field) {
    std::string value;
    if (Get(node, name, value)) field = value == "1" ? 1 : 0;
}

NanoXML* NewElement(const char* name) {
    return new NanoXML(name, "", 0);
}

void WriteFunctionList(NanoXML* parent, const char* name,
                       std::vector<std::unique_ptr<CUDSFunction>>& functions) {
    NanoXML* list = parent->AddChild(NewElement(name));
    for (auto& function : functions) list->AddChild(FunctionToElement(*function));
}

void ReadFunctionList(NanoXML* list, std::vector<std::unique_ptr<CUDSFunction>>& functions) {
    if (list == nullptr) return;
    for (NanoXML* child : list->children) {
        if (child->name != "Function") continue;
        auto function = std::make_unique<CUDSFunction>();
        if (FunctionFromElement(child, *function)) functions.push_back(std::move(function));
    }
}

}  // namespace

std::string EscapeAttribute(const std::string& text) {
    if (text.find_first_of("&<>\"") == std::string::npos) return text;
    std::string out;
    out.reserve(text.size() + 16);
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string UnescapeAttribute(const std::string& text) {
    if (text.find('&') == std::string::npos) return text;
    static constexpr std::pair<const char*, char> kEntities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}};
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        bool replaced = false;
        if (text[i] == '&') {
            for (const auto& [entity, c] : kEntities) {
                const size_t length = std::strlen(entity);
                if (text.compare(i, length, entity) == 0) {
                    out += c;
                    i += length;
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced) out += text[i++];
    }
    return out;
}

NanoXML* CVTabValueElement(CVTabValue& value) {
    NanoXML* node = NewElement("Value");
    Put(node, "text", value.text);
    Put(node, "rangeStart", int64_t{value.rangeStart});
    Put(node, "rangeEnd", int64_t{value.rangeEnd});
    return node;
}

NanoXML* FunctionToElement(CUDSFunction& function) {
    NanoXML* node = NewElement("Function");
    Put(node, "name", function.name);
    Put(node, "desc", function.desc);
    Put(node, "type", function.type);
    Put(node, "qual", function.qual);
    Put(node, "odxId", function.odxId);
    for (auto& param : function.params) node->AddChild(param->ToXml());
    return node;
}

NanoXML* ServiceToElement(CUDSService& service) {
    NanoXML* node = NewElement("Service");
    Put(node, "name", service.name);
    Put(node, "longName", service.longName);
    Put(node, "desc", service.desc);
    Put(node, "type", service.type);
    Put(node, "qual", service.qual);
    PutFlag(node, "isMandatory", service.isMandatory);
    PutFlag(node, "isActive", service.isActive);
    Put(node, "securityExecLevels", service.securityExecLevels);
    Put(node, "odxIdRef", service.odxIdRef);
    WriteFunctionList(node, "Requests", service.requests);
    WriteFunctionList(node, "PositiveResponses", service.positiveResponses);
    WriteFunctionList(node, "NegativeResponses", service.negativeResponses);
    NanoXML* sessions = node->AddChild(NewElement("SessionsAllowed"));
    for (uint8_t id : service.sessions) {
        NanoXML* session = sessions->AddChild(NewElement("Session"));
        Put(session, "id", int64_t{id});
    }
    return node;
}

NanoXML* FunctionalClassToElement(CFunctionalClass& cls) {
    NanoXML* node = NewElement("FunctionalClass");
    Put(node, "name", cls.name);
    Put(node, "desc", cls.desc);
    Put(node, "odxId", cls.odxId);
    Put(node, "qual", cls.qual);
    for (auto& service : cls.services) node->AddChild(ServiceToElement(*service));
    return node;
}

NanoXML* DtcToElement(CDTC& dtc) {
    NanoXML* node = NewElement("DTC");
    Put(node, "text", dtc.text);
    Put(node, "name", dtc.name);
    Put(node, "disp", dtc.disp);
    Put(node, "value", int64_t{dtc.value});
    Put(node, "level", int64_t{dtc.level});
    NanoXML* sdg = node->AddChild(NewElement("SDG"));
    for (auto& sd : dtc.sdg) {
        NanoXML* entry = sdg->AddChild(NewElement("SD"));
        Put(entry, "name", sd->name);
        Put(entry, "descr", sd->descr);
    }
    return node;
}

NanoXML* EcuToElement(CECU& ecu) {
    NanoXML* node = NewElement("ECU");
    Put(node, "shortName", ecu.shortName);
    Put(node, "longName", ecu.longName);
    Put(node, "variantName", ecu.variantName);
    PutFlag(node, "isJobFile", ecu.isJobFile);
    Put(node, "qual", ecu.qual);
    for (auto& cls : ecu.functionalClasses) node->AddChild(FunctionalClassToElement(*cls));
    for (auto& dtc : ecu.dtcs) node->AddChild(DtcToElement(*dtc));
    return node;
}

NanoXML* ExtDocumentToElement(CExtDocument& document) {
    NanoXML* node = NewElement("ExtDocument");
    Put(node, "fileName", document.fileName);
    Put(node, "creationDateTime", document.creationDateTime);
    Put(node, "changedDateTime", document.changedDateTime);
    Put(node, "syntax", document.syntax);
    Put(node, "version", document.version);
    Put(node, "usage", document.usage);
    PutFlag(node, "isJobFile", document.isJobFile);
    Put(node, "contentLength", static_cast<int64_t>(document.content.size()));
    if (!document.content.empty()) {
        node->text = Base64Encode(std::string(document.content.begin(), document.content.end()));
    }
    return node;
}

bool ValueFromElement(NanoXML* node, CVTabValue& value) {
    if (node == nullptr || node->name != "Value") return false;
    ReadText(node, "text", value.text);
    ReadNumber(node, "rangeStart", value.rangeStart);
    ReadNumber(node, "rangeEnd", value.rangeEnd);
    ReadText(node, "xmlLocation", value.xmlLocation);
    return true;
}

bool FunctionFromElement(NanoXML* node, CUDSFunction& function) {
    if (node == nullptr || node->name != "Function") return false;
    ReadText(node, "name", function.name);
    ReadText(node, "desc", function.desc);
    ReadText(node, "type", function.type);
    ReadText(node, "qual", function.qual);
    ReadText(node, "odxId", function.odxId);
    ReadText(node, "xmlLocation", function.xmlLocation);
    for (NanoXML* child : node->children) {
        if (child->name != "Param") continue;
        auto param = std::make_unique<CParam>();
        if (param->FromXml(child)) function.AddParam(std::move(param));
    }
    return true;
}

bool ServiceFromElement(NanoXML* node, CUDSService& service) {
    if (node == nullptr || node->name != "Service") return false;
    ReadText(node, "name", service.name);
    ReadText(node, "longName", service.longName);
    ReadText(node, "desc", service.desc);
    ReadText(node, "type", service.type);
    ReadText(node, "qual", service.qual);
    ReadFlag(node, "isMandatory", service.isMandatory);
    ReadFlag(node, "isActive", service.isActive);
    ReadText(node, "securityExecLevels", service.securityExecLevels);
    ReadText(node, "odxIdRef", service.odxIdRef);
    ReadText(node, "xmlLocation", service.xmlLocation);
    ReadFunctionList(node->GetChild(std::string("Requests")), service.requests);
    ReadFunctionList(node->GetChild(std::string("PositiveResponses")), service.positiveResponses);
    ReadFunctionList(node->GetChild(std::string("NegativeResponses")), service.negativeResponses);
    if (NanoXML* sessions = node->GetChild(std::string("SessionsAllowed"))) {
        for (NanoXML* session : sessions->children) {
            if (session->name != "Session") continue;
            uint8_t id = 0;
            ReadNumber(session, "id", id);
            service.sessions.push_back(id);
        }
    }
    return true;
}

bool FunctionalClassFromElement(NanoXML* node, CFunctionalClass& cls) {
    if (node == nullptr || node->name != "FunctionalClass") return false;
    ReadText(node, "name", cls.name);
    ReadText(node, "desc", cls.desc);
    ReadText(node, "odxId", cls.odxId);
    ReadText(node, "qual", cls.qual);
    ReadText(node, "xmlLocation", cls.xmlLocation);
    for (NanoXML* child : node->children) {
        if (child->name != "Service") continue;
        auto service = std::make_unique<CUDSService>();
        if (ServiceFromElement(child, *service)) cls.services.push_back(std::move(service));
    }
    return true;
}

bool DtcFromElement(NanoXML* node, CDTC& dtc) {
    if (node == nullptr || node->name != "DTC") return false;
    ReadText(node, "text", dtc.text);
    ReadText(node, "name", dtc.name);
    ReadText(node, "disp", dtc.disp);
    ReadNumber(node, "value", dtc.value);
    ReadNumber(node, "level", dtc.level);
    if (NanoXML* sdg = node->GetChild(std::string("SDG"))) {
        for (NanoXML* sd : sdg->children) {
            if (sd->name != "SD") continue;
            auto flag = std::make_unique<CDTCStatusFlag>();
            ReadText(sd, "name", flag->name);
            ReadText(sd, "descr", flag->descr);
            dtc.sdg.push_back(std::move(flag));
        }
    }
    return true;
}

bool EcuFromElement(NanoXML* node, CECU& ecu) {
    if (node == nullptr || node->name != "ECU") return false;
    ReadText(node, "shortName", ecu.shortName);
    ReadText(node, "longName", ecu.longName);
    ReadText(node, "variantName", ecu.variantName);
    ReadFlag(node, "isJobFile", ecu.isJobFile);
    ReadText(node, "qual", ecu.qual);
    ReadText(node, "xmlLocation", ecu.xmlLocation);
    for (NanoXML* child : node->children) {
        if (child->name == "FunctionalClass") {
            auto cls = std::make_unique<CFunctionalClass>();
            if (FunctionalClassFromElement(child, *cls))
                ecu.functionalClasses.push_back(std::move(cls));
        } else if (child->name == "DTC") {
            auto dtc = std::make_unique<CDTC>();
            if (DtcFromElement(child, *dtc)) ecu.dtcs.push_back(std::move(dtc));
        }
    }
    return true;
}

}  // namespace qm::diag

NanoXML* CVTabValue::ToXml() {
    return qm::diag::CVTabValueElement(*this);
}

NanoXML* CParam::ToXml() {
    using qm::diag::Put;
    using qm::diag::PutFlag;
    NanoXML* node = qm::diag::NewElement("Param");
    Put(node, "name", name);
    Put(node, "semantic", semantic);
    Put(node, "dataType", dataType);
    Put(node, "baseDataType", baseDataType);
    Put(node, "type", type);
    Put(node, "valueStr", valueStr);
    Put(node, "qual", qual);
    Put(node, "bitLength", int64_t{GetBitLength()});
    Put(node, "bitPosition", int64_t{bitPosition});
    Put(node, "bytePosition", int64_t{bytePosition});
    Put(node, "bitMask", int64_t{GetBitMask()});
    Put(node, "arraySizeMin", int64_t{arraySizeMin});
    Put(node, "arraySizeMax", int64_t{arraySizeMax});
    PutFlag(node, "typeSigned", typeSigned);
    PutFlag(node, "isVisible", isVisible);
    PutFlag(node, "isKey", isKey);
    PutFlag(node, "isConditional", isConditional);
    PutFlag(node, "isVariableLength", arraySizeMin != arraySizeMax ? 1 : 0);
    Put(node, "dtrefId", dtrefId);
    Put(node, "unit", unit);
    PutFlag(node, "isOptional", isOptional);
    NanoXML* table = node->AddChild(qm::diag::NewElement("ValueTable"));
    for (auto& value : valueTable) table->AddChild(value->ToXml());
    for (auto& sub : subParams) node->AddChild(sub->ToXml());
    if (!conditionalParams.empty()) {
        NanoXML* cases = node->AddChild(qm::diag::NewElement("ConditionalParams"));
        for (auto& sub : conditionalParams) cases->AddChild(sub->ToXml());
    }
    return node;
}

namespace qm::diag {
namespace {
// Parameters nest in structures; a container nested deeper than any real model is cut here, so
// that reading (and later walking) it cannot exhaust the stack.
constexpr int kMaxParamDepth = 64;
thread_local int paramDepth = 0;

struct DepthGuard {
    DepthGuard() { ++paramDepth; }
    ~DepthGuard() { --paramDepth; }
};
}  // namespace
}  // namespace qm::diag

bool CParam::FromXml(NanoXML* node) {
    const qm::diag::DepthGuard guard;
    const bool nestedTooDeep = qm::diag::paramDepth >= qm::diag::kMaxParamDepth;
    using qm::diag::ReadFlag;
    using qm::diag::ReadNumber;
    using qm::diag::ReadText;
    if (node == nullptr || node->name != "Param") return false;
    ReadText(node, "name", name);
    ReadText(node, "semantic", semantic);
    ReadText(node, "dataType", dataType);
    ReadText(node, "baseDataType", baseDataType);
    ReadText(node, "type", type);
    ReadText(node, "valueStr", valueStr);
    ReadText(node, "qual", qual);
    ReadNumber(node, "bitLength", bitLength);
    ReadNumber(node, "bitPosition", bitPosition);
    ReadNumber(node, "bytePosition", bytePosition);
    ReadNumber(node, "bitMask", bitMask);
    ReadNumber(node, "arraySizeMin", arraySizeMin);
    ReadNumber(node, "arraySizeMax", arraySizeMax);
    ReadFlag(node, "typeSigned", typeSigned);
    ReadFlag(node, "isVisible", isVisible);
    ReadFlag(node, "isKey", isKey);
    ReadFlag(node, "isConditional", isConditional);
    ReadText(node, "dtrefId", dtrefId);
    ReadText(node, "unit", unit);
    ReadFlag(node, "isOptional", isOptional);
    ReadText(node, "xmlLocation", xmlLocation);
    // The code is not part of the form: it follows from the type name, as when it was made.
    baseTypeCode =
        baseDataType == "PROXY" ? qm::diag::kTypeProxy : qm::diag::BaseTypeCodeOf(baseDataType);
    const uint64_t self = reinterpret_cast<uint64_t>(this);
    for (NanoXML* child : node->children) {
        if (nestedTooDeep && child->name != "ValueTable") continue;
        if (child->name == "ValueTable") {
            for (NanoXML* entry : child->children) {
                auto value = std::make_unique<CVTabValue>();
                if (qm::diag::ValueFromElement(entry, *value))
                    valueTable.push_back(std::move(value));
            }
        } else if (child->name == "Param") {
            auto sub = std::make_unique<CParam>();
            if (sub->FromXml(child)) {
                sub->owner = self;
                subParams.push_back(std::move(sub));
            }
        } else if (child->name == "ConditionalParams") {
            for (NanoXML* entry : child->children) {
                auto sub = std::make_unique<CParam>();
                if (sub->FromXml(entry)) {
                    sub->owner = self;
                    conditionalParams.push_back(std::move(sub));
                }
            }
        }
    }
    return true;
}
