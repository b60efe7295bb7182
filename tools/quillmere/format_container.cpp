// The container file view of the tool (--format container, or a ".xml" file whose root is
// "KOVR"): what the container holds, in the shapes of the network and diagnostic models.
#include "format_container.h"

#include <unistd.h>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "diag_json.h"
#include "document_checks.h"
#include "facade/quillmere.h"
#include "netmodel_json.h"
#include "network_load.h"

namespace qmtool {
namespace {

namespace fs = std::filesystem;

// A facade holding one network configuration and one diagnostic library, into which files and
// containers are loaded.
struct Holder {
    Holder()
        : config(static_cast<NetConfig*>(facade.CreateNetConfig())),
          library(static_cast<CDiagnoseLib*>(facade.CreateDiagnoseLib())) {}
    // The readers the files go through: as the tool reads them (tolerant DBC and LDF, whole
    // ARXML documents, diagnostics as written) unless --exact asks for the described ones.
    explicit Holder(const Options& options) : Holder() {
        UseNetworkReaders(*config, options);
        library->SetReadingAsWritten(options.exact ? 0 : 1);
        if (!options.language.empty()) library->SetCddLanguage(options.language.c_str());
    }

    Quillmere facade;
    NetConfig* config;
    CDiagnoseLib* library;
};

// The stored library content moves into the library on load; its ECUs come with the build.
bool LoadContainer(Holder& holder, const std::string& path) {
    NanoXML::ClearMessageLog();
    if (!holder.facade.LoadFromFile(path.c_str())) return false;
    holder.library->BuildModel();
    return true;
}

bool IsOdxExtension(const std::string& extension) {
    return extension.rfind(".odx", 0) == 0;
}

bool IsDiagnosticInput(const std::string& path) {
    const std::string extension = LowerExtension(path);
    return extension == ".cdd" || extension == ".pdx" || IsOdxExtension(extension) ||
           fs::is_directory(path);
}

// CDD, ODX and PDX files and folders of ODX files go into the one library; the model is built
// once, after the last of them.
void LoadDiagnosticInput(Holder& holder, const std::string& path) {
    const std::string extension = LowerExtension(path);
    uint8_t loaded = 0;
    if (fs::is_directory(path)) {
        RequireOdxFolder(path, false);
        loaded = holder.library->LoadOdxFolder((path + "/*.*").c_str(), 1, 0);
    } else if (extension == ".cdd") {
        loaded = holder.library->LoadCddFile(path.c_str(), 0);
    } else if (extension == ".pdx") {
        loaded = holder.library->LoadPdxFile(path.c_str(), 0);
    } else {
        loaded = holder.library->LoadOdxFile(path.c_str(), 0);
    }
    if (loaded == 0) throw ToolError("'" + path + "' did not load; not converted");
}

void LoadInput(Holder& holder, const std::string& path) {
    const std::string extension = LowerExtension(path);
    uint8_t code = kNetLoadOk;
    if (IsDiagnosticInput(path)) {
        LoadDiagnosticInput(holder, path);
        return;
    } else if (extension == ".dbc") {
        code = holder.config->LoadDbc(path.c_str());
    } else if (extension == ".ldf") {
        code = holder.config->LoadLdf(path.c_str());
    } else if (extension == ".arxml") {
        code = holder.config->LoadArxml(path.c_str());
    } else if (IsContainerFile(path)) {
        if (!LoadContainer(holder, path)) throw ToolError("cannot read container '" + path + "'");
        return;
    } else {
        throw ToolError("'" + path + "' is no DBC, LDF, ARXML, CDD, ODX, PDX or container file");
    }
    if (code > kNetLoadWithWarnings) throw ToolError("'" + path + "' did not load; not converted");
}

// Lines about the stored library that the (silent) diagnostic build does not give: elements it
// skipped and a library that came back without ECUs.
std::vector<std::string> LibraryFindings(CDiagnoseLib& library) {
    std::vector<std::string> lines;
    const std::vector<NanoXML*>& stored = library.SourceTree()->children;
    for (const NanoXML* child : stored) {
        if (child->name != "ECU" && child->name != "ExtDocument") {
            lines.push_back("element \"" + child->name + "\" in \"DiagnoseLib\" skipped");
        }
    }
    if (!stored.empty() && library.GetEcuCount() == 0) {
        lines.push_back("the diagnostic library holds no ECU");
    }
    return lines;
}

Json Diagnostics(CDiagnoseLib& library, bool whole, const Options& options) {
    if (options.grouping) library.SetGrouping(1);
    return Json{{"version", library.GetVersion()},
                {"ecus", whole ? EcusJson(library, options.grouping)
                               : EcuSummaries(library, options.grouping)}};
}

Json Databases(NetConfig& config, bool whole) {
    Json databases = Json::array();
    for (uint64_t i = 0; i < config.GetDataBaseCount(); ++i) {
        INetDataBase& db = *config.GetDataBase(i);
        databases.push_back(whole ? DatabaseJson(db) : DatabaseSummary(db));
    }
    return databases;
}

class ContainerFormat : public FileFormat {
  public:
    std::string Name() const override { return "container"; }
    std::string ClassVersion() const override { return Quillmere::kVersion; }
    bool Accepts(const fs::path& path) const override {
        return LowerExtension(path.string()) == ".xml" && IsContainerFile(path.string());
    }

    Json Info(const std::string& path, const Options& options) override {
        Holder holder;
        Load(holder, path);
        return Json{{"path", path},
                    {"kind", "container"},
                    {"status", "loaded"},
                    {"databases", Databases(*holder.config, false)},
                    {"diagnostics", Diagnostics(*holder.library, false, options)}};
    }

    Json Dump(const std::string& path, const Options& options) override {
        Holder holder;
        Load(holder, path);
        return Json{{"path", path},
                    {"status", "loaded"},
                    {"databases", Databases(*holder.config, true)},
                    {"diagnostics", Diagnostics(*holder.library, true, options)}};
    }

    // The lines of the XML reader and of every restored file object.
    CheckResult Check(const std::string& path, const Options&) override {
        Holder holder;
        CheckResult result;
        ForgetDocumentEnds();
        const bool loaded = LoadContainer(holder, path);
        // Any root will do when it holds a "Quillmere" element, which the load looks for.
        const DocumentFindings findings = ExamineDocuments("a container", {}, true);
        if (!loaded) {
            result.exitCode = kCheckFailed;
            result.status = "not read";
            result.messages = SplitLines(NanoXML::MessageLog());
            if (result.messages.empty()) result.messages.push_back("no \"Quillmere\" element");
            ApplyFindings(findings, result);
            return result;
        }
        ApplyFindings(findings, result);
        // The reader's own lines (such as the parsed length) are no findings of a good container.
        for (uint64_t i = 0;; ++i) {
            INetFile* file = holder.config->GetFile(i);
            if (file == nullptr) break;
            for (std::string& line : SplitLines(file->GetMessages())) {
                result.messages.push_back(std::move(line));
            }
        }
        for (std::string& line : LibraryFindings(*holder.library)) {
            result.messages.push_back(std::move(line));
        }
        result.status = "loaded";
        result.exitCode = result.messages.empty() ? kCheckClean : kCheckWarnings;
        return result;
    }

    // To DBC or LDF: the bus chosen by --cluster, else the first of the output's kind; to a
    // container: the container rewritten.
    bool Convert(const std::string& in, const std::string& out, const Options& options) override {
        const std::string extension = LowerExtension(out);
        if (extension == ".xml") {
            ConvertToContainer({in}, out, options);
            return true;
        }
        const uint32_t busType = extension == ".dbc"   ? kNetBusCan
                                 : extension == ".ldf" ? kNetBusLin
                                                       : kNetBusUnknown;
        if (busType == kNetBusUnknown) return false;
        Holder holder;
        Load(holder, in);
        for (uint64_t i = 0; i < holder.config->GetDataBaseCount(); ++i) {
            INetDataBase* db = holder.config->GetDataBase(i);
            const bool named = options.cluster.empty() || options.cluster == db->GetName();
            if (!named || db->GetBusType() != busType) continue;
            if (!db->SaveAs(out.c_str())) throw WriteFailure(out);
            return true;
        }
        throw ToolError("no " + std::string(BusTypeText(busType)) + " bus in '" + in + "'");
    }

    // Every network and diagnostic example saved into one container and read back into a
    // fresh facade.
    void Demo(const fs::path& examplesDir, std::ostream& out) override {
        out << "Container file (every DBC, LDF, ARXML and CDD example saved and read back)\n";
        std::vector<std::string> inputs;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(examplesDir, error)) {
            const std::string extension = LowerExtension(entry.path().string());
            if (extension == ".dbc" || extension == ".ldf" || extension == ".arxml" ||
                extension == ".cdd") {
                inputs.push_back(entry.path().string());
            }
        }
        std::sort(inputs.begin(), inputs.end());
        const fs::path target = fs::temp_directory_path(error) /
                                ("quillmere-demo-" + std::to_string(::getpid()) + ".xml");
        Holder saved{Options{}};
        for (const std::string& input : inputs) {
            try {
                LoadInput(saved, input);
            } catch (const ToolError& e) {
                out << "  skipped: " << e.what() << '\n';
            }
        }
        saved.library->BuildModel();
        if (!saved.facade.SaveToFile(target.string().c_str())) {
            out << "  cannot write " << target.string() << '\n';
            return;
        }
        uint64_t stored = 0;
        for (uint64_t i = 0; i < saved.config->GetDataBaseCount(); ++i) {
            const uint32_t busType = saved.config->GetDataBase(i)->GetBusType();
            stored += busType == kNetBusCan || busType == kNetBusLin ? 1 : 0;
        }
        out << "  saved " << stored << " CAN and LIN buses of " << saved.config->GetDataBaseCount()
            << " and " << saved.library->GetEcuCount() << " ECU variant(s), "
            << fs::file_size(target, error) << " bytes\n";
        Holder restored;
        const bool read = LoadContainer(restored, target.string());
        fs::remove(target, error);
        if (!read) {
            out << "  the container could not be read back\n";
            return;
        }
        for (uint64_t i = 0; i < restored.config->GetDataBaseCount(); ++i) {
            INetDataBase* db = restored.config->GetDataBase(i);
            out << "  read back " << BusTypeText(db->GetBusType()) << " bus " << db->GetName()
                << ": " << db->GetEcuCount() << " ECUs, " << db->GetMessageCount() << " messages, "
                << db->GetSignalCount() << " signals\n";
        }
        for (uint64_t i = 0; i < restored.library->GetEcuCount(); ++i) {
            IECU* ecu = restored.library->GetEcu(i);
            out << "  read back ECU " << ecu->GetShortName() << ": "
                << ecu->GetFunctionalClassCount() << " functional classes, " << ServiceCount(ecu)
                << " services, " << ecu->GetDtcCount() << " DTCs\n";
        }
    }

  private:
    static void Load(Holder& holder, const std::string& path) {
        if (!LoadContainer(holder, path)) throw ToolError("cannot read container '" + path + "'");
    }
};

}  // namespace

bool IsContainerFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    char buffer[4096];
    file.read(buffer, sizeof(buffer));
    const std::string head(buffer, static_cast<size_t>(file.gcount()));
    // The first element after the declaration, comments and blanks.
    size_t at = 0;
    while ((at = head.find('<', at)) != std::string::npos) {
        if (head.compare(at, 2, "<?") == 0 || head.compare(at, 2, "<!") == 0) {
            ++at;
            continue;
        }
        return head.compare(at + 1, 4, "KOVR") == 0 &&
               (at + 5 >= head.size() ||
                std::string(" \t\r\n/>").find(head[at + 5]) != std::string::npos);
    }
    return false;
}

int ConvertToContainer(const std::vector<std::string>& inputs, const std::string& out,
                       const Options& options) {
    Holder holder(options);
    for (const std::string& input : inputs) LoadInput(holder, input);
    holder.library->BuildModel();
    if (!holder.facade.SaveToFile(out.c_str())) throw WriteFailure(out);
    return 0;
}

}  // namespace qmtool

using qmtool::ContainerFormat;
QM_REGISTER_FORMAT(ContainerFormat)
