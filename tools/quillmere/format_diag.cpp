// The CDD format of the tool: ECU variants, functional classes (or service groups), services
// with their request and response layouts, DTCs and external documents.
#include <cstdio>
#include <functional>
#include <iostream>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>

#include "diag/diagnose_lib.h"
#include "format.h"
#include "text_encoding.h"

namespace qmtool {
namespace {

constexpr const char* kExampleName = "door_ecu.cdd";
constexpr const char* kTimingPrefix = "CDD Refs multicore: ";

// Texts are handed to the tool as the file holds them: the tool decodes everything a format
// prints with the file's encoding (UTF-8, else cp1252, or --encoding).
std::string Utf8(const std::string& text) {
    return text;
}

std::string Utf8(const char* text) {
    return Utf8(std::string(text ? text : ""));
}

struct LoadedCdd {
    std::unique_ptr<CDiagnoseLib> library = std::make_unique<CDiagnoseLib>();
    bool ok = false;
};

LoadedCdd LoadCdd(const std::string& path, const Options& options) {
    LoadedCdd loaded;
    loaded.ok = loaded.library->LoadCddFile(path.c_str(), 1) == 1;
    if (loaded.ok && options.grouping) loaded.library->SetGrouping(1);
    return loaded;
}

LoadedCdd Require(const std::string& path, const Options& options) {
    LoadedCdd loaded = LoadCdd(path, options);
    if (!loaded.ok) throw ToolError("cannot read '" + path + "' as a CDD file");
    return loaded;
}

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

// Messages longer than this are not encoded for display (a hostile file can declare any
// length).
constexpr uint64_t kMaxEncodedBytes = 1u << 20;

std::vector<uint8_t> EncodeBytes(IUDSFunction* function) {
    const uint64_t length = function->Encode(nullptr, 0);
    if (length > kMaxEncodedBytes) {
        throw ToolError("a message of " + std::to_string(length) + " bytes is too long to encode");
    }
    std::vector<uint8_t> bytes(length);
    if (!bytes.empty()) function->Encode(bytes.data(), bytes.size());
    return bytes;
}

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

std::vector<std::string> ReaderMessages(CDiagnoseLib& library) {
    std::vector<std::string> lines;
    for (const std::string& line : SplitLines(library.GetMessages())) {
        if (line.rfind(kTimingPrefix, 0) != 0) lines.push_back(Utf8(line));
    }
    return lines;
}

IECU* FindEcu(CDiagnoseLib& library, const std::string& name) {
    for (uint64_t i = 0; i < library.GetEcuCount(); ++i) {
        IECU* ecu = library.GetEcu(i);
        if (name == ecu->GetShortName() || name == ecu->GetLongName() || name == ecu->GetQual()) {
            return ecu;
        }
    }
    return nullptr;
}

IUDSService* FindService(IECU* ecu, const std::string& name) {
    for (uint64_t c = 0; c < ecu->GetFunctionalClassCount(); ++c) {
        IFunctionalClass* cls = ecu->GetFunctionalClass(c);
        for (uint64_t s = 0; s < cls->GetServiceCount(); ++s) {
            IUDSService* service = cls->GetService(s);
            if (name == service->GetName() || name == service->GetQual()) return service;
        }
    }
    return nullptr;
}

class DiagFormat : public FileFormat {
  public:
    std::string Name() const override { return "cdd"; }
    std::string ClassVersion() const override {
        CDiagnoseLib library;
        return library.GetVersion();
    }
    bool Accepts(const std::filesystem::path& path) const override {
        std::string extension = path.extension().string();
        for (char& c : extension)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return extension == ".cdd";
    }

    Json Info(const std::string& path, const Options& options) override {
        LoadedCdd loaded = Require(path, options);
        CDiagnoseLib& library = *loaded.library;
        Json ecus = Json::array();
        for (uint64_t i = 0; i < library.GetEcuCount(); ++i) {
            IECU* ecu = library.GetEcu(i);
            ecus.push_back(
                {{"shortName", Utf8(ecu->GetShortName())},
                 {"variant", Utf8(ecu->GetLongName())},
                 {"base", ecu->IsJobFile() != 0},
                 {options.grouping ? "groups" : "classes", ecu->GetFunctionalClassCount()},
                 {"services", ServiceCount(ecu)},
                 {"dtcs", ecu->GetDtcCount()}});
        }
        return {{"path", path},
                {"kind", "CDD"},
                {"status", "loaded"},
                {"format", Utf8(library.GetFormat())},
                {"ecus", ecus},
                {"extDocuments", library.GetExtDocumentCount()},
                {"messages", ReaderMessages(library).size()}};
    }

    Json Dump(const std::string& path, const Options& options) override {
        LoadedCdd loaded = Require(path, options);
        CDiagnoseLib& library = *loaded.library;
        Json ecus = Json::array();
        for (uint64_t i = 0; i < library.GetEcuCount(); ++i) {
            IECU* ecu = library.GetEcu(i);
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
            ecus.push_back({{"shortName", Utf8(ecu->GetShortName())},
                            {"variant", Utf8(ecu->GetLongName())},
                            {"qual", Utf8(ecu->GetQual())},
                            {"base", ecu->IsJobFile() != 0},
                            {options.grouping ? "groups" : "classes", classes},
                            {"dtcs", dtcs}});
        }
        Json documents = Json::array();
        for (uint64_t i = 0; i < library.GetExtDocumentCount(); ++i) {
            IExtDocument* document = library.GetExtDocument(i);
            documents.push_back({{"fileName", Utf8(document->GetFileName())},
                                 {"jobFile", document->IsJobFile() != 0},
                                 {"length", document->GetContentLength()}});
        }
        return {{"path", path},
                {"kind", "CDD"},
                {"format", Utf8(library.GetFormat())},
                {"ecus", ecus},
                {"extDocuments", documents}};
    }

    CheckResult Check(const std::string& path, const Options& options) override {
        LoadedCdd loaded = LoadCdd(path, options);
        CheckResult result;
        if (!loaded.ok) {
            result.exitCode = kCheckFailed;
            result.status = "failed";
            result.messages.push_back("the file cannot be read as a CDD file");
            return result;
        }
        result.messages = ReaderMessages(*loaded.library);
        result.status = "loaded";
        result.exitCode = result.messages.empty() ? kCheckClean : kCheckWarnings;
        return result;
    }

    void Demo(const std::filesystem::path& examplesDir, std::ostream& out) override {
        const std::filesystem::path example = examplesDir / kExampleName;
        out << "Diagnostics (" << example.filename().string() << ")\n";
        LoadedCdd loaded = LoadCdd(example.string(), Options{});
        if (!loaded.ok) {
            out << "  cannot read " << example.string() << '\n';
            return;
        }
        CDiagnoseLib& library = *loaded.library;
        out << "  " << library.GetFormat() << ", " << library.GetEcuCount() << " ECU variant(s)\n";
        for (uint64_t i = 0; i < library.GetEcuCount(); ++i) {
            IECU* ecu = library.GetEcu(i);
            out << "  " << Utf8(ecu->GetShortName()) << " / " << Utf8(ecu->GetLongName()) << ": "
                << ServiceCount(ecu) << " services\n";
            for (uint64_t c = 0; c < ecu->GetFunctionalClassCount(); ++c) {
                IFunctionalClass* cls = ecu->GetFunctionalClass(c);
                for (uint64_t s = 0; s < cls->GetServiceCount(); ++s) {
                    IUDSService* service = cls->GetService(s);
                    IUDSFunction* request = service->GetRequest(0);
                    out << "    " << HexByte(service->GetServiceId()) << ' '
                        << Utf8(service->GetName()) << ": request "
                        << (request ? HexBytes(EncodeBytes(request), " ") : std::string("-"))
                        << '\n';
                }
            }
        }
        library.SetGrouping(1);
        IECU* ecu = library.GetEcu(0);
        if (ecu == nullptr) return;
        out << "  grouped by service identifier:\n";
        for (uint64_t c = 0; c < ecu->GetFunctionalClassCount(); ++c) {
            IFunctionalClass* group = ecu->GetFunctionalClass(c);
            out << "    " << Utf8(group->GetName()) << ": " << group->GetServiceCount()
                << " services\n";
        }
    }
};

}  // namespace

int RunEncodeRequest(const std::string& path, const std::string& ecuName,
                     const std::string& serviceName, const std::vector<std::string>& assignments,
                     const Options& options) {
    LoadedCdd loaded = Require(path, options);
    IECU* ecu = FindEcu(*loaded.library, ecuName);
    if (ecu == nullptr) throw ToolError("no ECU '" + ecuName + "' in '" + path + "'");
    IUDSService* service = FindService(ecu, serviceName);
    if (service == nullptr)
        throw ToolError("no service '" + serviceName + "' in ECU '" + ecuName + "'");
    IUDSFunction* request = service->GetRequest(0);
    if (request == nullptr) throw ToolError("service '" + serviceName + "' has no request");
    for (const std::string& assignment : assignments) {
        const size_t equals = assignment.find('=');
        if (equals == std::string::npos)
            throw ToolError("expected PARAM=VALUE, got '" + assignment + "'");
        const std::string name = assignment.substr(0, equals);
        IParam* param = request->FindParam(name.c_str());
        if (param == nullptr) throw ToolError("the request has no parameter '" + name + "'");
        param->SetValueText(assignment.substr(equals + 1).c_str());
    }
    const std::vector<uint8_t> bytes = EncodeBytes(request);
    if (options.json) {
        const TextDecoder decoder = TextDecoder::ForFile(path, options.encoding);
        Json result{{"ecu", decoder.ToUtf8(ecu->GetShortName())},
                    {"service", decoder.ToUtf8(service->GetName())},
                    {"length", bytes.size()},
                    {"bytes", HexBytes(bytes, "")}};
        std::cout << result.dump(2) << '\n';
    } else {
        std::cout << HexBytes(bytes, " ") << '\n';
    }
    return 0;
}

}  // namespace qmtool

using DiagFormat = qmtool::DiagFormat;
QM_REGISTER_FORMAT(DiagFormat)
