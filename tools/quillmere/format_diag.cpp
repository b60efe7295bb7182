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
#include "diag_json.h"
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
        return {{"path", path},
                {"kind", "CDD"},
                {"status", "loaded"},
                {"format", Utf8(library.GetFormat())},
                {"ecus", EcuSummaries(library, options.grouping)},
                {"extDocuments", library.GetExtDocumentCount()},
                {"messages", ReaderMessages(library).size()}};
    }

    Json Dump(const std::string& path, const Options& options) override {
        LoadedCdd loaded = Require(path, options);
        CDiagnoseLib& library = *loaded.library;
        return {{"path", path},
                {"kind", "CDD"},
                {"format", Utf8(library.GetFormat())},
                {"ecus", EcusJson(library, options.grouping)},
                {"extDocuments", ExtDocumentsJson(library)}};
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
