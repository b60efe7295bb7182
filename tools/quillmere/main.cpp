// quillmere: the command-line face of the library.
#include <unistd.h>
#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "decode_command.h"
#include "diff_command.h"
#include "document_checks.h"
#include "encode_command.h"
#include "exit_owned.h"
#include "format.h"
#include "format_container.h"
#include "format_someip.h"
#include "frame_layout.h"
#include "generate_c_command.h"
#include "huge_pages.h"
#include "monitor_command.h"
#include "platform/files.h"
#include "quillmere/quillmere.h"
#include "text_encoding.h"
#include "xml/xml_writer.h"

namespace qmtool {
namespace {

void PrintJson(const Json& value) {
    std::cout << value.dump(2) << '\n';
}

// The encoding of one input file, decided once for everything the tool prints of it. A DBC
// file's reader comes next and reads the bytes the check mapped.
TextDecoder DecoderFor(const std::string& path, const Options& options, const FileFormat& format) {
    try {
        return TextDecoder::ForFile(path, options.encoding, format.Name() == "dbc");
    } catch (const UnknownEncoding& e) {
        throw ToolError(e.what());
    }
}

// stderr gets the same care as stdout: a path or a file's text in a message stays well-formed.
void PrintFailure(const std::string& text) {
    std::cerr << "quillmere: " << SanitizeUtf8(text) << '\n';
}

void PrintWarning(const std::string& text) {
    std::cerr << "quillmere: warning: " << SanitizeUtf8(text) << '\n';
}

// Big files take a moment to load: on a terminal, stderr says what is being read and when it is
// done. Redirected output stays clean.
class LoadProgress {
  public:
    explicit LoadProgress(const std::string& path) {
        std::error_code error;
        const auto size = std::filesystem::file_size(path, error);
        if (error || size < kLargeFile || !::isatty(STDERR_FILENO)) return;
        start_ = std::chrono::steady_clock::now();
        active_ = true;
        std::cerr << "quillmere: reading " << path << " (" << size / 1000000 << " MB)..."
                  << std::flush;
    }
    ~LoadProgress() {
        if (!active_) return;
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        std::cerr << " done in " << seconds << " s\n";
    }
    LoadProgress(const LoadProgress&) = delete;
    LoadProgress& operator=(const LoadProgress&) = delete;

  private:
    static constexpr std::uintmax_t kLargeFile = 8u << 20;
    bool active_ = false;
    std::chrono::steady_clock::time_point start_;
};

int RunVersion(const Options& options) {
    IQuillmere* facade = CreateQuillmereInstance();
    Json result;
    result["tool"] = "quillmere";
    result["library"] = facade->GetVersion();
    result["buildDate"] = facade->GetBuildDate();
    DeleteQuillmereInstance(facade);
    Json classes = Json::object();
    for (const auto& format : Formats()) {
        if (!format->ClassVersion().empty()) classes[format->Name()] = format->ClassVersion();
    }
    result["fileClasses"] = classes;
    if (options.json) {
        PrintJson(result);
    } else {
        std::cout << "quillmere library " << result["library"].get<std::string>() << " ("
                  << result["buildDate"].get<std::string>() << ")\n";
        for (const auto& [name, version] : classes.items()) {
            std::cout << "  " << name << " files " << version.get<std::string>() << '\n';
        }
    }
    return 0;
}

int RunInfo(const std::vector<std::string>& paths, const Options& options) {
    Json all = Json::array();
    int exitCode = 0;
    for (const auto& path : paths) {
        try {
            Json info;
            {
                LoadProgress progress(path);
                FileFormat& format = FormatFor(path, options);
                const TextDecoder decoder = DecoderFor(path, options, format);
                info = ToUtf8(format.Info(path, options), decoder);
                info["encoding"] = decoder.Name();
            }
            if (options.json) {
                all.push_back(info);
            } else {
                PrintReadable(info, std::cout);
                if (paths.size() > 1) std::cout << '\n';
            }
        } catch (const ToolError& e) {
            PrintFailure(path + ": " + e.what());
            exitCode = 2;
        }
    }
    if (options.json) PrintJson(paths.size() == 1 && all.size() == 1 ? all[0] : all);
    return exitCode;
}

// A file that cannot be dumped is reported on stderr and the others are still dumped.
int RunDump(const std::vector<std::string>& paths, const Options& options) {
    Json all = Json::array();
    int exitCode = 0;
    for (const auto& path : paths) {
        try {
            FileFormat& format = FormatFor(path, options);
            const TextDecoder decoder = DecoderFor(path, options, format);
            if (options.json) {
                all.push_back(ToUtf8(format.Dump(path, options), decoder));
            } else {
                std::ostringstream text;
                format.DumpText(path, options, text);
                std::cout << decoder.ToUtf8(text.str());
            }
        } catch (const ToolError& e) {
            if (paths.size() == 1) throw;
            PrintFailure(path + ": " + e.what());
            exitCode = 2;
        }
    }
    if (options.json) PrintJson(all.size() == 1 ? all[0] : all);
    return exitCode;
}

int RunCheck(const std::vector<std::string>& paths, const Options& options) {
    int worst = kCheckClean;
    Json all = Json::array();
    for (const auto& path : paths) {
        CheckResult result;
        try {
            LoadProgress progress(path);
            FileFormat& format = FormatFor(path, options);
            const TextDecoder decoder = DecoderFor(path, options, format);
            result = format.Check(path, options);
            for (std::string& line : result.messages) line = decoder.ToUtf8(line);
            result.status = decoder.ToUtf8(result.status);
        } catch (const ToolError& e) {
            result.exitCode = kCheckFailed;
            result.status = "error";
            result.messages.push_back(SanitizeUtf8(e.what()));
        }
        worst = std::max(worst, result.exitCode);
        if (options.json) {
            all.push_back({{"path", path},
                           {"status", result.status},
                           {"exit", result.exitCode},
                           {"messages", result.messages}});
            continue;
        }
        std::cout << SanitizeUtf8(path) << ": " << result.status << '\n';
        for (const auto& line : result.messages) std::cout << "  " << line << '\n';
    }
    if (options.json) PrintJson(paths.size() == 1 ? all[0] : all);
    return worst;
}

int RunConvert(const std::vector<std::string>& paths, const Options& options) {
    if (paths.size() < 2) throw ToolError("convert needs IN... OUT");
    const std::string& out = paths.back();
    const std::vector<std::string> inputs(paths.begin(), paths.end() - 1);
    // Any number of network files (or containers) go into one container file.
    if (std::filesystem::path(out).extension() == ".xml" && options.format.empty() &&
        (inputs.size() > 1 || !IsContainerFile(inputs.front()))) {
        LoadProgress progress(inputs.front());
        return ConvertToContainer(inputs, out, options);
    }
    if (inputs.size() > 1) throw ToolError("only a container file takes several inputs");
    const std::string& in = inputs.front();
    LoadProgress progress(in);
    if (!FormatFor(in, options).Convert(in, out, options)) {
        throw ToolError("cannot convert '" + in + "' to '" + out + "'");
    }
    return 0;
}

int RunXml(const std::string& path, bool stats, const Options& options) {
    const ExitOwned<NanoXML> document = MakeExitOwned<NanoXML>();
    NanoXML& root = *document;
    auto start = std::chrono::steady_clock::now();
    ForgetDocumentEnds();
    int ok = root.LoadFile(path.c_str());
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // An empty file is a warning, bytes without an element no XML at all, a cut document is
    // printed as read with a warning (exit 1).
    const DocumentFindings findings = ExamineDocuments("an XML", {}, true);
    if (findings.empty) {
        PrintWarning("'" + path + "': the file is empty");
        return 1;
    }
    if (!ok) throw ToolError("cannot read '" + path + "'");
    if (!findings.refusal.empty()) throw ToolError("'" + path + "': " + findings.refusal);
    const int exitCode = findings.warnings.empty() ? 0 : 1;
    for (const std::string& line : findings.warnings) PrintWarning(line);
    if (!stats) {
        // Printed piece by piece: the text of a large tree is never held whole.
        std::cout.flush();
        qm::xml::SerializeTo(root, 0, false, [](std::string_view piece) {
            std::fwrite(piece.data(), 1, piece.size(), stdout);
        });
        std::fputs("\r\n", stdout);
        return exitCode;
    }
    std::string data;
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    auto bytes = static_cast<uint64_t>(file.tellg());
    Json result{{"path", path},
                {"root", root.name},
                {"elements", root.CountNodes() + 1},
                {"attributes", root.CountAttributes()},
                {"bytes", bytes},
                {"parseMilliseconds", seconds * 1000.0},
                {"megabytesPerSecond", seconds > 0 ? bytes / 1e6 / seconds : 0.0}};
    if (!findings.warnings.empty()) result["warnings"] = findings.warnings;
    options.json ? PrintJson(result) : PrintReadable(result, std::cout);
    return exitCode;
}

// The format names --format takes.
std::string FormatNames() {
    std::string names;
    for (const auto& format : Formats()) names += (names.empty() ? "" : ", ") + format->Name();
    return names;
}

// A command line the tool does not understand: one line in the tool's voice, a hint, exit 2.
int UsageError(const CLI::App& app, int argc, char** argv, const CLI::ParseError& error) {
    std::string text = error.what();
    const CLI::App* command = nullptr;
    for (const CLI::App* sub : app.get_subcommands()) command = sub;
    if (command == nullptr && argc > 1 && argv[1][0] != '-') {
        text = "unknown command '" + std::string(argv[1]) + "'";
    }
    std::string commands;
    for (const CLI::App* sub : app.get_subcommands({})) {
        commands += (commands.empty() ? "" : ", ") + sub->get_name();
    }
    std::cerr << "quillmere: " << SanitizeUtf8(text) << '\n';
    if (command != nullptr) {
        std::cerr << "quillmere: see 'quillmere " << command->get_name() << " --help'\n";
    } else {
        std::cerr << "quillmere: commands are " << commands << "; see 'quillmere --help'\n";
    }
    return 2;
}

// Whether the word names one of the app's commands, as its subcommands define them.
bool IsCommandName(const CLI::App& app, std::string_view word) {
    for (const CLI::App* command : app.get_subcommands({})) {
        if (command->get_name() == word) return true;
    }
    return false;
}

// The XML engine on every XML example: counts, and the first lines as the writer prints them.
void DemoXml(const std::filesystem::path& dir) {
    std::cout << "\nXML engine\n";
    std::error_code error;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir, error)) {
        if (entry.path().extension() == ".arxml" || entry.path().extension() == ".xml") {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
        NanoXML root;
        if (!root.LoadFile(file.string().c_str())) continue;
        std::cout << "  " << file.filename().string() << ": root " << root.name << ", "
                  << root.CountNodes() + 1 << " elements, " << root.CountAttributes()
                  << " attributes\n";
        std::istringstream text(root.Serialize(0, false));
        std::string line;
        for (int i = 0; i < 4 && std::getline(text, line); ++i) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            std::cout << "    " << line << '\n';
        }
    }
}

// A payload made from physical values, the inverse of decode.
void DemoEncode(const std::filesystem::path& dir) {
    std::cout << "\nEncoding a frame\n  encode powertrain.dbc EngineData EngineSpeed=1500 "
                 "CoolantTemp=90:\n    "
              << std::flush;
    try {
        RunEncode((dir / "powertrain.dbc").string(), "EngineData",
                  {"EngineSpeed=1500", "CoolantTemp=90"}, false, Options{});
    } catch (const std::exception& e) {
        std::cout << "(not shown: " << e.what() << ")\n";
    }
}

int RunDemo(const std::string& examples) {
    std::filesystem::path dir = examples.empty() ? QM_EXAMPLES_DIR : examples;
    std::cout << "Quillmere demo: the bundled examples in " << dir.string() << "\n\n";
    RunVersion(Options{});
    DemoXml(dir);
    for (const auto& format : Formats()) {
        std::cout << '\n';
        format->Demo(dir, std::cout);
    }
    std::cout << '\n';
    DemoDiffAndLayout(dir, std::cout);
    DemoEncode(dir);
    return 0;
}

}  // namespace
}  // namespace qmtool

int main(int argc, char** argv) {
    using namespace qmtool;
    qm::platform::RemoveTemporariesOnSignals();
    PreferHugePages(argc, argv);
    KeepLargeBlocksMapped();
    PrefaultHeap(argc, argv);
    CLI::App app{"quillmere: read, check, edit and write DBC, LDF, ARXML, CDD, ODX and PDX files"};
    app.require_subcommand(1);
    Options options;
    std::vector<std::string> paths;
    std::string path, second, id, hex, examples;
    bool stats = false;

    // The options most commands share are given only to the command the line names (when its
    // first word is one): a command line holds one command, and building the options of every
    // other one cost about half a millisecond of each start. They come last in each command's
    // options, so they are added once every command is defined and the first word can be
    // checked against them.
    std::vector<CLI::App*> sharing;
    auto addCommon = [&](CLI::App* command) { sharing.push_back(command); };
    auto addSharedOptions = [&](CLI::App* command) {
        command->add_flag("--json", options.json, "machine-readable output");
        command->add_option("--format", options.format,
                            "override the format the extension gives: " + FormatNames());
        command->add_flag("--recursive", options.recursive,
                          "a folder: read its ODX files and those of its subfolders, also when "
                          "none lie at its top level");
        command->add_flag("--grouping", options.grouping,
                          "diagnostic files: the service groups instead of the classes");
        command->add_option("--encoding", options.encoding,
                            "text encoding of the input (any iconv name; default: UTF-8 when "
                            "the file is valid UTF-8, else cp1252)");
        command->add_flag("--short-names", options.shortNames,
                          "show names as written, not the long names of their attributes");
        command->add_flag("--exact", options.exact,
                          "the exact readers: DBC stops at the first line it does not know, "
                          "ARXML reads only the packages of the described names, diagnostic "
                          "files are built as described (ODX parameters follow their "
                          "predecessor even where a byte position is stated)");
        command->add_option("--language", options.language,
                            "CDD files: the text language (default: the file's first)");
    };
    auto* version = app.add_subcommand("version", "library, tool and file-class versions");
    version->add_flag("--json", options.json, "machine-readable output");
    auto* info = app.add_subcommand("info", "a short summary per file");
    info->add_option("paths", paths, "files")->required();
    addCommon(info);
    auto* dump = app.add_subcommand("dump", "the whole model");
    dump->add_option("paths", paths, "files")->required();
    std::string layoutFrame;
    dump->add_option("--layout", layoutFrame, "draw the bit layout of this frame (id or name)");
    addCommon(dump);
    auto* check =
        app.add_subcommand("check", "the reader's messages (exit 0 clean, 1 warnings, 2 failed)");
    check->add_option("paths", paths, "files")->required();
    addCommon(check);
    auto* decode =
        app.add_subcommand("decode", "the signals of one frame, or of every frame of a log");
    decode->add_option("db", path, "database file (DBC, LDF, ARXML)")->required();
    decode->add_option("frame", id, "frame identifier (decimal or 0x...) or frame name");
    decode->add_option("hex", hex, "payload bytes in hex");
    LogJobOptions logJobs;
    AddDecodeLogOptions(*decode, logJobs, options);
    addCommon(decode);
    bool rawValues = false;
    std::vector<std::string> signalValues;
    auto* encode =
        app.add_subcommand("encode", "the payload of one frame from signal values, in hex");
    encode->add_option("db", path, "database file (DBC, LDF, ARXML)")->required();
    encode->add_option("frame", id, "frame identifier (decimal or 0x...) or frame name")
        ->required();
    encode->add_option("values", signalValues, "SIGNAL=VALUE: physical values or value texts");
    encode->add_flag("--raw", rawValues, "the values are raw values");
    addCommon(encode);
    auto* convert = app.add_subcommand("convert", "rewrite or convert a file");
    convert->add_option("files", paths, "input files, then the output file")->required();
    convert->add_option("--cluster", options.cluster, "the cluster to convert");
    addCommon(convert);
    auto* xml = app.add_subcommand("xml", "parse an XML file and print it back through the writer");
    xml->add_option("path", path, "XML file")->required();
    xml->add_flag("--stats", stats, "counts and timing instead of the text");
    xml->add_flag("--json", options.json, "machine-readable output");
    std::string serviceName;
    auto* someip =
        app.add_subcommand("someip", "SOME/IP services, Ethernet topology and data types");
    someip->add_option("paths", paths, "ARXML files read together")->required();
    someip->add_flag("--json", options.json, "machine-readable output");
    someip->add_flag("--exact", options.exact, "the described reader: only the described packages");
    auto* header = app.add_subcommand("header", "C++ header of the SOME/IP services' data types");
    header->add_option("paths", paths, "ARXML files read together")->required();
    header->add_option("--service", serviceName, "only this service");
    header->add_option("-o,--output", options.output, "write the header to this file");
    header->add_flag("--exact", options.exact, "the described reader and its header text");
    std::string ecuName, diagServiceName;
    std::vector<std::string> assignments;
    auto* encodeRequest =
        app.add_subcommand("encode-request", "the request bytes of a diagnostic service, in hex");
    encodeRequest->add_option("file", path, "CDD file")->required();
    encodeRequest->add_option("ecu", ecuName, "ECU short or long name")->required();
    encodeRequest->add_option("service", diagServiceName, "service name or qualifier")->required();
    encodeRequest->add_option("params", assignments, "PARAM=VALUE settings of request parameters");
    encodeRequest->add_flag("--json", options.json, "machine-readable output");
    encodeRequest->add_option("--format", options.format,
                              "override the format the extension gives: " + FormatNames());
    encodeRequest->add_flag("--exact", options.exact,
                            "ODX: every request parameter placed after its predecessor, even "
                            "where a byte position is stated");
    encodeRequest->add_option("--language", options.language,
                              "CDD files: the text language (default: the file's first)");
    auto* decodeDiag = app.add_subcommand(
        "decode-diag", "which request or response of which service bytes are, decoded");
    decodeDiag->add_option("file", path, "CDD, ODX or PDX file, or folder of ODX files")
        ->required();
    decodeDiag->add_option("ecu", ecuName, "ECU short or long name")->required();
    decodeDiag->add_option("hex", hex, "message bytes in hex")->required();
    addCommon(decodeDiag);
    auto* diff = app.add_subcommand("diff",
                                    "what differs between two network or diagnostic files "
                                    "(exit 0 equal, 1 different, 2 error)");
    diff->add_option("a", path, "the old file")->required();
    diff->add_option("b", second, "the new file")->required();
    diff->add_option("--cluster", options.cluster, "compare only the bus of this name");
    addCommon(diff);
    MonitorOptions monitorOptions;
    auto* monitor = app.add_subcommand(
        "monitor", "live CAN traffic decoded: a table of the latest values, or a line per frame");
    AddMonitorOptions(*monitor, path, monitorOptions);
    addCommon(monitor);
    std::string cPrefix;
    auto* generateC = app.add_subcommand(
        "generate-c", "C99 structs, pack and unpack for the frames of a DBC, LDF or ARXML file");
    generateC->add_option("db", path, "database file (DBC, LDF, ARXML)")->required();
    generateC->add_option("-o,--output", options.output, "folder of the .h and .c")->required();
    generateC->add_option("--prefix", cPrefix,
                          "name of the files and of every C name (default: "
                          "the file's name)");
    addCommon(generateC);
    auto* demo = app.add_subcommand("demo", "a tour of the bundled examples");
    demo->add_option("--examples", examples, "folder of the examples");
    const bool namesCommand = argc >= 2 && IsCommandName(app, argv[1]);
    for (CLI::App* command : sharing) {
        if (!namesCommand || command->get_name() == argv[1]) addSharedOptions(command);
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return UsageError(app, argc, argv, e);
    }
    // A command over one file (or one set read together) ends the process when it is done.
    LeaveModelsToExit(((*info || *dump || *check) && paths.size() == 1) || *decode || *xml ||
                      *encode || *someip || *header || *encodeRequest || *decodeDiag || *diff ||
                      *monitor || *generateC);
    try {
        if (*version) return RunVersion(options);
        if (*info) return RunInfo(paths, options);
        if (*dump && !layoutFrame.empty()) {
            if (paths.size() != 1) throw ToolError("--layout draws a frame of one file");
            return RunLayout(paths.front(), layoutFrame, options);
        }
        if (*dump) return RunDump(paths, options);
        if (*check) return RunCheck(paths, options);
        if (*decode) return RunDecode(path, id, hex, logJobs, options);
        if (*encode) return RunEncode(path, id, signalValues, rawValues, options);
        if (*convert) return RunConvert(paths, options);
        if (*xml) return RunXml(path, stats, options);
        if (*someip) return RunSomeIp(paths, options);
        if (*header) return RunHeader(paths, serviceName, options);
        if (*encodeRequest) {
            return RunEncodeRequest(path, ecuName, diagServiceName, assignments, options);
        }
        if (*decodeDiag) return RunDecodeDiag(path, ecuName, hex, options);
        if (*diff) return RunDiff(path, second, options);
        if (*generateC) return RunGenerateC(path, options.output, cPrefix, options);
        if (*demo) return RunDemo(examples);
        if (*monitor) return RunMonitor(path, monitorOptions, options);
    } catch (const ToolError& e) {
        PrintFailure(e.what());
        return 2;
    } catch (const std::exception& e) {
        PrintFailure(std::string("unexpected error: ") + e.what());
        return 3;
    }
    return 0;
}
