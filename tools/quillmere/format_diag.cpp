// The diagnostic formats of the tool (CDD; ODX files, PDX archives and folders of ODX files):
// ECU variants, functional classes (or service groups), services with their request and
// response layouts, DTCs and external documents.
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <ostream>
#include <sstream>
#include <string>
#include <thread>

#include "diag/diag_codec.h"
#include "diag/diagnose_lib.h"
#include "diag_json.h"
#include "diag_load.h"
#include "document_checks.h"
#include "exit_owned.h"
#include "format.h"
#include "text_encoding.h"

namespace qmtool {
namespace {

constexpr const char* kDiagExample = "door_ecu.cdd";
constexpr const char* kPdxExampleName = "door_ecu.pdx";
// Timing lines differ from run to run; they are no finding.
constexpr const char* kTimingPrefixes[] = {
    "CDD Refs multicore: ", "ODX Refs multicore: ", "Services collection time: "};

// Texts are handed to the tool as the file holds them: the tool decodes everything a format
// prints with the file's encoding (UTF-8, else cp1252, or --encoding).
std::string Utf8(const std::string& text) {
    return text;
}

std::string Utf8(const char* text) {
    return Utf8(std::string(text ? text : ""));
}

DiagKind KindOf(const std::string& path) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) return DiagKind::kFolder;
    const std::string extension = LowerExtension(path);
    if (extension == ".cdd") return DiagKind::kCdd;
    if (extension == ".pdx") return DiagKind::kPdx;
    return DiagKind::kOdx;
}

const char* KindName(DiagKind kind) {
    switch (kind) {
        case DiagKind::kCdd:
            return "CDD";
        case DiagKind::kOdx:
            return "ODX";
        case DiagKind::kPdx:
            return "PDX";
        case DiagKind::kFolder:
            return "ODX folder";
    }
    return "";
}

// Archives and folders can take a while: on a terminal, a line on stderr once a load has
// taken more than a second, and its time when it ends. Quick loads and redirected output
// print nothing.
class SlowLoadNotice {
  public:
    explicit SlowLoadNotice(const std::string& path) {
        if (!::isatty(STDERR_FILENO) || AnnouncedByTheTool(path)) return;
        watcher_ = std::thread([this, path] {
            std::unique_lock lock(mutex_);
            if (done_.wait_for(lock, std::chrono::seconds(1), [this] { return finished_; })) return;
            shown_ = true;
            std::cerr << "quillmere: loading " << path << "..." << std::flush;
        });
    }
    ~SlowLoadNotice() {
        if (!watcher_.joinable()) return;
        {
            std::lock_guard lock(mutex_);
            finished_ = true;
        }
        done_.notify_all();
        watcher_.join();
        if (shown_) {
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
            std::cerr << " done in " << seconds << " s\n";
        }
    }
    SlowLoadNotice(const SlowLoadNotice&) = delete;
    SlowLoadNotice& operator=(const SlowLoadNotice&) = delete;

  private:
    // The tool already says when it reads a file this big; one line is enough.
    static bool AnnouncedByTheTool(const std::string& path) {
        constexpr std::uintmax_t kAnnouncedSize = 8u << 20;
        std::error_code error;
        const std::uintmax_t size = std::filesystem::file_size(path, error);
        return !error && size >= kAnnouncedSize;
    }

    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    bool shown_ = false;
    std::thread watcher_;
};

}  // namespace

LoadedCdd LoadCdd(const std::string& path, const Options& options) {
    LoadedCdd loaded;
    loaded.kind = KindOf(path);
    CDiagnoseLib& library = *loaded.library;
    if (!options.language.empty()) library.SetCddLanguage(options.language.c_str());
    // ODX parameters stand where they say unless --exact asks for the described placement.
    library.SetOdxStatedPositions(options.exact ? 0 : 1);
    // The tool reads as written unless --exact asks for the described build.
    library.SetReadingAsWritten(options.exact ? 0 : 1);
    NanoXML::ClearMessageLog();
    ForgetDocumentEnds();
    switch (loaded.kind) {
        case DiagKind::kCdd:
            loaded.ok = library.LoadCddFile(path.c_str(), 1) == 1;
            break;
        case DiagKind::kOdx:
            loaded.ok = library.LoadOdxFile(path.c_str(), 1) == 1;
            break;
        case DiagKind::kPdx: {
            SlowLoadNotice notice(path);
            loaded.ok = library.LoadPdxFile(path.c_str(), 1) == 1;
            break;
        }
        case DiagKind::kFolder: {
            RequireOdxFolder(path, options.recursive);
            SlowLoadNotice notice(path);
            // Every ODX file below the folder, subfolders included.
            const std::string pattern = (std::filesystem::path(path) / "*.*").string();
            loaded.ok = library.LoadOdxFolder(pattern.c_str(), 1, 1) == 1;
            break;
        }
    }
    loaded.xmlLog = NanoXML::MessageLog();
    SetEncodingAsWritten(!options.exact);
    if (loaded.ok && options.grouping) library.SetGrouping(1);
    return loaded;
}

LoadedCdd Require(const std::string& path, const Options& options) {
    LoadedCdd loaded = LoadCdd(path, options);
    if (!loaded.ok) {
        throw ToolError("cannot read '" + path + "' as " +
                        (loaded.kind == DiagKind::kFolder
                             ? std::string("a folder of ODX files")
                             : std::string("a ") + KindName(loaded.kind) + " file"));
    }
    return loaded;
}

namespace {

bool IsTimingLine(const std::string& line) {
    for (const char* prefix : kTimingPrefixes) {
        if (line.rfind(prefix, 0) == 0) return true;
    }
    return false;
}

std::vector<std::string> ReaderMessages(CDiagnoseLib& library) {
    std::vector<std::string> lines;
    for (const std::string& line : SplitLines(library.GetMessages())) {
        if (!IsTimingLine(line)) lines.push_back(Utf8(line));
    }
    return lines;
}

// A line of the ODX side that reports a problem rather than progress or statistics.
bool IsFinding(const std::string& line) {
    // The reference statistics are a summary; each unresolved reference has its own line.
    if (line.rfind("NEW: Resolved REFS:", 0) == 0) return false;
    return line.find("Warning") != std::string::npos || line.find("ERROR") != std::string::npos ||
           line.find("Unresolved") != std::string::npos || line.rfind("File not open:", 0) == 0 ||
           line.rfind("PDX member ", 0) == 0;
}

// The warnings the build wrote to the XML message log (the parser's progress lines left out).
std::vector<std::string> BuildWarnings(const LoadedCdd& loaded) {
    std::vector<std::string> lines;
    for (const std::string& line : SplitLines(loaded.xmlLog)) {
        if (IsFinding(line)) lines.push_back(Utf8(line));
    }
    return lines;
}

// A name typed in UTF-8 as Latin-1 bytes (the form names of Latin-1 files keep); "" when the
// text has characters beyond Latin-1 or is plain ASCII already.
std::string Latin1Of(const std::string& utf8) {
    std::string out;
    bool changed = false;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte < 0x80) {
            out += static_cast<char>(byte);
        } else if ((byte == 0xC2 || byte == 0xC3) && i + 1 < utf8.size()) {
            const auto next = static_cast<unsigned char>(utf8[++i]);
            out += static_cast<char>(((byte & 0x03) << 6) | (next & 0x3F));
            changed = true;
        } else {
            return "";
        }
    }
    return changed ? out : "";
}

bool SameName(const std::string& typed, const std::string& latin1, const char* name) {
    if (name == nullptr) return false;
    return typed == name || (!latin1.empty() && latin1 == name);
}

}  // namespace

IECU* FindEcu(CDiagnoseLib& library, const std::string& name) {
    const std::string latin1 = Latin1Of(name);
    for (uint64_t i = 0; i < library.GetEcuCount(); ++i) {
        IECU* ecu = library.GetEcu(i);
        if (SameName(name, latin1, ecu->GetShortName()) ||
            SameName(name, latin1, ecu->GetLongName()) || SameName(name, latin1, ecu->GetQual())) {
            return ecu;
        }
    }
    return nullptr;
}

IUDSService* FindService(IECU* ecu, const std::string& name) {
    const std::string latin1 = Latin1Of(name);
    for (uint64_t c = 0; c < ecu->GetFunctionalClassCount(); ++c) {
        IFunctionalClass* cls = ecu->GetFunctionalClass(c);
        for (uint64_t s = 0; s < cls->GetServiceCount(); ++s) {
            IUDSService* service = cls->GetService(s);
            if (SameName(name, latin1, service->GetName()) ||
                SameName(name, latin1, service->GetQual()))
                return service;
        }
    }
    return nullptr;
}

namespace {

class DiagFormat : public FileFormat {
  public:
    std::string Name() const override { return "cdd"; }
    std::string ClassVersion() const override {
        CDiagnoseLib library;
        return library.GetVersion();
    }
    bool Accepts(const std::filesystem::path& path) const override {
        return LowerExtension(path) == ".cdd";
    }

    Json Info(const std::string& path, const Options& options) override {
        LoadedCdd loaded = Require(path, options);
        CDiagnoseLib& library = *loaded.library;
        Json info{{"path", path},
                  {"kind", KindName(loaded.kind)},
                  {"status", "loaded"},
                  {"format", Utf8(library.GetFormat())}};
        if (loaded.kind != DiagKind::kCdd) {
            info["documents"] = library.SourceTree()->children.size();
        }
        info["ecus"] = EcuSummaries(library, options.grouping);
        info["extDocuments"] = library.GetExtDocumentCount();
        info["messages"] = ReaderMessages(library).size();
        if (loaded.kind != DiagKind::kCdd) info["warnings"] = BuildWarnings(loaded).size();
        return info;
    }

    Json Dump(const std::string& path, const Options& options) override {
        LoadedCdd loaded = Require(path, options);
        CDiagnoseLib& library = *loaded.library;
        return {{"path", path},
                {"kind", KindName(loaded.kind)},
                {"format", Utf8(library.GetFormat())},
                {"ecus", EcusJson(library, options.grouping)},
                {"extDocuments", ExtDocumentsJson(library)}};
    }

    CheckResult Check(const std::string& path, const Options& options) override {
        LoadedCdd loaded = LoadCdd(path, options);
        CheckResult result = CheckLoaded(loaded);
        ApplyFindings(DocumentFindingsOf(loaded), result);
        return result;
    }

    // An empty, foreign or cut document: the reader keeps what it read without a word.
    static DocumentFindings DocumentFindingsOf(LoadedCdd& loaded) {
        const bool single = loaded.kind == DiagKind::kCdd || loaded.kind == DiagKind::kOdx;
        DocumentFindings findings =
            loaded.kind == DiagKind::kCdd   ? ExamineDocuments("a CDD", {"CANDELA"}, single)
            : loaded.kind == DiagKind::kOdx ? ExamineDocuments("an ODX", {"ODX"}, single)
                                            : ExamineDocuments("", {}, single);
        // A CDD document may hold its CANDELA element below another root.
        if (loaded.kind == DiagKind::kCdd && loaded.library->SourceTree() != nullptr &&
            !loaded.library->SourceTree()->children.empty()) {
            findings.refusal.clear();
        }
        return findings;
    }

    static CheckResult CheckLoaded(LoadedCdd& loaded) {
        CheckResult result;
        if (!loaded.ok) {
            result.exitCode = kCheckFailed;
            result.status = "failed";
            result.messages = ReaderMessages(*loaded.library);
            for (std::string& line : BuildWarnings(loaded)) result.messages.push_back(line);
            result.messages.push_back(
                loaded.kind == DiagKind::kFolder
                    ? std::string("the folder cannot be searched or an ODX file in it not read")
                    : std::string("the file cannot be read as a ") + KindName(loaded.kind) +
                          " file");
            return result;
        }
        result.messages = ReaderMessages(*loaded.library);
        result.status = "loaded";
        if (loaded.kind == DiagKind::kCdd) {
            result.exitCode = result.messages.empty() ? kCheckClean : kCheckWarnings;
            return result;
        }
        // The ODX side always reports progress (members, files, reference statistics): only
        // warnings make a finding.
        bool findings = false;
        for (const std::string& line : result.messages) findings = findings || IsFinding(line);
        for (std::string& line : BuildWarnings(loaded)) {
            result.messages.push_back(std::move(line));
            findings = true;
        }
        result.exitCode = findings ? kCheckWarnings : kCheckClean;
        return result;
    }

    void Demo(const std::filesystem::path& examplesDir, std::ostream& out) override {
        DemoFile(examplesDir / kDiagExample, "ECU variant(s)", out);
    }

  protected:
    static void DemoFile(const std::filesystem::path& example, const char* ecuWord,
                         std::ostream& out) {
        out << "Diagnostics (" << example.filename().string() << ")\n";
        LoadedCdd loaded = LoadCdd(example.string(), Options{});
        if (!loaded.ok) {
            out << "  cannot read " << example.string() << '\n';
            return;
        }
        CDiagnoseLib& library = *loaded.library;
        out << "  " << library.GetFormat() << ", " << library.GetEcuCount() << ' ' << ecuWord
            << "\n";
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

// ODX documents (.odx, .odx-d, .odx-c, .odx-cs, ...), PDX archives and folders of ODX files.
class OdxFormat : public DiagFormat {
  public:
    std::string Name() const override { return "odx"; }
    // The library version is reported once, by the CDD format.
    std::string ClassVersion() const override { return ""; }
    bool Accepts(const std::filesystem::path& path) const override {
        std::error_code error;
        if (std::filesystem::is_directory(path, error)) return true;
        const std::string extension = LowerExtension(path);
        return extension == ".pdx" || extension.rfind(".odx", 0) == 0;
    }
    void Demo(const std::filesystem::path& examplesDir, std::ostream& out) override {
        const std::filesystem::path archive = examplesDir / kPdxExampleName;
        DemoFile(archive, "layer(s) as ECUs", out);
        LoadedCdd loaded = LoadCdd(archive.string(), Options{});
        for (const std::string& line : SplitLines(loaded.library->GetMessages())) {
            if (line.rfind("ODX count in PDX file: ", 0) == 0) out << "  " << line << '\n';
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
    std::vector<uint8_t> bytes;
    if (!options.exact) {
        // As written: the codec places every parameter and checks every value.
        std::map<std::string, std::string> values;
        for (const std::string& assignment : assignments) {
            const size_t equals = assignment.find('=');
            if (equals == std::string::npos)
                throw ToolError("expected PARAM=VALUE, got '" + assignment + "'");
            values[assignment.substr(0, equals)] = assignment.substr(equals + 1);
        }
        std::string error;
        if (!qm::diag::EncodeFunction(dynamic_cast<CUDSFunction&>(*request), values, bytes, error))
            throw ToolError(error);
    }
    for (const std::string& assignment : options.exact ? assignments : std::vector<std::string>{}) {
        const size_t equals = assignment.find('=');
        if (equals == std::string::npos)
            throw ToolError("expected PARAM=VALUE, got '" + assignment + "'");
        const std::string name = assignment.substr(0, equals);
        IParam* param = request->FindParam(name.c_str());
        if (param == nullptr) throw ToolError("the request has no parameter '" + name + "'");
        param->SetValueText(assignment.substr(equals + 1).c_str());
    }
    if (options.exact) bytes = EncodeBytes(request);
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
using OdxFormat = qmtool::OdxFormat;
QM_REGISTER_FORMAT(OdxFormat)
