// The diagnostic model as JSON. Texts are handed over as the file holds them: the tool decodes
// everything a format prints with the file's encoding (UTF-8, else cp1252, or --encoding).
#include "diag_json.h"

#include "diag/diag_codec.h"

#include <cstdio>
#include <functional>

namespace qmtool {
namespace {

std::string Utf8(const char* text) {
    return std::string(text ? text : "");
}

// Messages longer than this are not encoded for display (a hostile file can declare any
// length).
constexpr uint64_t kMaxEncodedBytes = 1u << 20;

Json ParamJson(IParam* param, int depth) {
    Json json{
        {"name", Utf8(param->GetName())},           {"bytePosition", param->GetBytePosition()},
        {"bitPosition", param->GetBitPosition()},   {"bitLength", param->GetBitLength()},
        {"byteOrder", param->GetByteOrder()},       {"baseType", Utf8(param->GetBaseDataType())},
        {"baseTypeCode", param->GetBaseTypeCode()}, {"dataType", Utf8(param->GetDataType())},
        {"value", Utf8(param->GetValueText())}};
    if (param->GetUnit()[0] != '\0') json["unit"] = Utf8(param->GetUnit());
    if (param->GetValueCount() > 0) {
        Json values = Json::array();
        for (uint64_t i = 0; i < param->GetValueCount(); ++i) {
            IVTabValue* value = param->GetValue(i);
            values.push_back({{"text", Utf8(value->GetText())},
                              {"start", value->GetRangeStart()},
                              {"end", value->GetRangeEnd()}});
        }
        json["valueTable"] = values;
    }
    // Structures nest; a hostile file cannot make the output deeper than this.
    if (depth < 16 && param->GetSubParamCount() > 0) {
        Json subs = Json::array();
        for (uint64_t i = 0; i < param->GetSubParamCount(); ++i) {
            subs.push_back(ParamJson(param->GetSubParam(i), depth + 1));
        }
        json["subParams"] = subs;
    }
    if (param->IsConditional()) json["cases"] = param->GetChoiceCount();
    return json;
}

Json FunctionJson(IUDSFunction* function) {
    Json params = Json::array();
    for (uint64_t i = 0; i < function->GetParamCount(); ++i) {
        params.push_back(ParamJson(function->GetParam(i), 0));
    }
    return {{"name", Utf8(function->GetName())},
            {"qual", Utf8(function->GetQual())},
            {"bytes", HexBytes(EncodeBytes(function), "")},
            {"params", params}};
}

Json FunctionsJson(uint64_t count, const std::function<IUDSFunction*(uint64_t)>& get) {
    Json list = Json::array();
    for (uint64_t i = 0; i < count; ++i) list.push_back(FunctionJson(get(i)));
    return list;
}

}  // namespace

std::string HexByte(unsigned value) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "0x%02X", value);
    return buffer;
}

std::string HexBytes(const std::vector<uint8_t>& bytes, const char* separator) {
    std::string out;
    char buffer[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i != 0) out += separator;
        std::snprintf(buffer, sizeof buffer, "%02X", bytes[i]);
        out += buffer;
    }
    return out;
}

namespace {
bool encodingAsWritten = false;
}  // namespace

void SetEncodingAsWritten(bool asWritten) {
    encodingAsWritten = asWritten;
}

std::vector<uint8_t> EncodeBytes(IUDSFunction* function) {
    if (encodingAsWritten) {
        if (auto* own = dynamic_cast<CUDSFunction*>(function))
            return qm::diag::EncodeDefaults(*own);
    }
    const uint64_t length = function->Encode(nullptr, 0);
    if (length > kMaxEncodedBytes) {
        throw ToolError("a message of " + std::to_string(length) + " bytes is too long to encode");
    }
    std::vector<uint8_t> bytes(length);
    if (!bytes.empty()) function->Encode(bytes.data(), bytes.size());
    return bytes;
}

Json ServiceJson(IUDSService* service) {
    Json sessions = Json::array();
    for (uint64_t i = 0; i < service->GetSessionCount(); ++i)
        sessions.push_back(service->GetSession(i));
    return {
        {"id", HexByte(service->GetServiceId())},
        {"name", Utf8(service->GetName())},
        {"qual", Utf8(service->GetQual())},
        {"active", service->IsActive() != 0},
        {"securityExecLevels", Utf8(service->GetSecurityExecLevels())},
        {"sessions", sessions},
        {"requests", FunctionsJson(service->GetRequestCount(),
                                   [&](uint64_t i) { return service->GetRequest(i); })},
        {"positiveResponses",
         FunctionsJson(service->GetPositiveResponseCount(),
                       [&](uint64_t i) { return service->GetPositiveResponse(i); })},
        {"negativeResponses", FunctionsJson(service->GetNegativeResponseCount(), [&](uint64_t i) {
             return service->GetNegativeResponse(i);
         })}};
}

uint64_t ServiceCount(IECU* ecu) {
    uint64_t count = 0;
    for (uint64_t c = 0; c < ecu->GetFunctionalClassCount(); ++c) {
        count += ecu->GetFunctionalClass(c)->GetServiceCount();
    }
    return count;
}

// The ODX layer kind read as written ("FUNCTIONAL-GROUP", ...), empty otherwise.
std::string LayerKind(IECU* ecu) {
    auto* layer = dynamic_cast<IECULayer*>(ecu);
    return layer != nullptr ? layer->GetLayerKind() : "";
}

// Adds "layer" where the ECU is an ODX layer read as written.
Json WithLayer(Json ecu, IECU* source) {
    const std::string kind = LayerKind(source);
    if (!kind.empty()) ecu["layer"] = kind;
    return ecu;
}

Json EcuSummary(IECU* ecu, bool grouping) {
    return WithLayer({{"shortName", Utf8(ecu->GetShortName())},
                      {"variant", Utf8(ecu->GetLongName())},
                      {"base", ecu->IsJobFile() != 0},
                      {grouping ? "groups" : "classes", ecu->GetFunctionalClassCount()},
                      {"services", ServiceCount(ecu)},
                      {"dtcs", ecu->GetDtcCount()}},
                     ecu);
}

Json EcuJson(IECU* ecu, bool grouping) {
    Json classes = Json::array();
    for (uint64_t c = 0; c < ecu->GetFunctionalClassCount(); ++c) {
        IFunctionalClass* cls = ecu->GetFunctionalClass(c);
        Json services = Json::array();
        for (uint64_t s = 0; s < cls->GetServiceCount(); ++s) {
            services.push_back(ServiceJson(cls->GetService(s)));
        }
        classes.push_back({{"name", Utf8(cls->GetName())},
                           {"qual", Utf8(cls->GetQual())},
                           {"services", services}});
    }
    Json dtcs = Json::array();
    for (uint64_t d = 0; d < ecu->GetDtcCount(); ++d) {
        IDTC* dtc = ecu->GetDtc(d);
        dtcs.push_back({{"name", Utf8(dtc->GetName())},
                        {"value", dtc->GetValue()},
                        {"text", Utf8(dtc->GetText())}});
    }
    return WithLayer({{"shortName", Utf8(ecu->GetShortName())},
                      {"variant", Utf8(ecu->GetLongName())},
                      {"qual", Utf8(ecu->GetQual())},
                      {"base", ecu->IsJobFile() != 0},
                      {grouping ? "groups" : "classes", classes},
                      {"dtcs", dtcs}},
                     ecu);
}

Json EcuSummaries(IDiagnoseLib& library, bool grouping) {
    Json ecus = Json::array();
    for (uint64_t i = 0; i < library.GetEcuCount(); ++i) {
        ecus.push_back(EcuSummary(library.GetEcu(i), grouping));
    }
    return ecus;
}

Json EcusJson(IDiagnoseLib& library, bool grouping) {
    Json ecus = Json::array();
    for (uint64_t i = 0; i < library.GetEcuCount(); ++i) {
        ecus.push_back(EcuJson(library.GetEcu(i), grouping));
    }
    return ecus;
}

Json ExtDocumentsJson(IDiagnoseLib& library) {
    Json documents = Json::array();
    for (uint64_t i = 0; i < library.GetExtDocumentCount(); ++i) {
        IExtDocument* document = library.GetExtDocument(i);
        documents.push_back({{"fileName", Utf8(document->GetFileName())},
                             {"jobFile", document->IsJobFile() != 0},
                             {"length", document->GetContentLength()}});
    }
    return documents;
}

}  // namespace qmtool
