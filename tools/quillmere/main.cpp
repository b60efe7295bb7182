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

#include "diff_command.h"
#include "exit_owned.h"
#include "format.h"
#include "format_container.h"
#include "format_someip.h"
#include "frame_layout.h"
#include "huge_pages.h"
#include "quillmere/quillmere.h"
#include "text_encoding.h"

namespace qmtool {
namespace {

void PrintJson(const Json& value) {
    std::cout << value.dump(2) << '\n';
}

// The encoding of one input file, decided once for everything the tool prints of it.
TextDecoder DecoderFor(const std::string& path, const Options& options) {
    try {
        return TextDecoder::ForFile(path, options.encoding);
    } catch (const UnknownEncoding& e) {
        throw ToolError(e.what());
    }
}

// stderr gets the same care as stdout: a path or a file's text in a message stays well-formed.
void PrintFailure(const std::string& text) {
    std::cerr << "quillmere: " << SanitizeUtf8(text) << '\n';
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
                const TextDecoder decoder = DecoderFor(path, options);
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
            const TextDecoder decoder = DecoderFor(path, options);
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
            const TextDecoder decoder = DecoderFor(path, options);
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

std::optional<uint64_t> ParseNumber(const std::string& text) {
    try {
        size_t used = 0;
        uint64_t id = std::stoull(text, &used, 0);
        if (used == text.size()) return id;
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

uint64_t ParseFrameId(const std::string& text) {
    if (auto id = ParseNumber(text)) return *id;
    throw ToolError("not a frame identifier: '" + text + "'");
}

// A typed frame: a number, or a frame's name as the format knows it. The name is typed in the
// terminal's encoding (UTF-8) and matched in the file's.
uint64_t FrameIdOf(FileFormat& format, const std::string& db, const std::string& text,
                   const TextDecoder& decoder, const Options& options) {
    if (auto id = ParseNumber(text)) return *id;
    if (auto id = format.FrameIdByName(db, decoder.FromUtf8(text), options)) return *id;
    throw ToolError("no frame '" + text + "' in " + db);
}

void PrintDecoded(const Json& frame) {
    std::cout << frame.value("name", std::string()) << " (id " << frame.value("id", Json()).dump()
              << ")\n";
    if (!frame.contains("signals")) return;
    for (const auto& signal : frame["signals"]) {
        std::cout << "  " << signal.value("name", std::string()) << " = "
                  << signal.value("physical", Json()).dump();
        std::string unit = signal.value("unit", std::string());
        if (!unit.empty()) std::cout << ' ' << unit;
        std::cout << "  (raw " << signal.value("raw", Json()).dump() << ")";
        std::string valueText = signal.value("valueText", std::string());
        if (!valueText.empty()) std::cout << "  \"" << valueText << '"';
        std::cout << '\n';
    }
}

// One candump line: "(1436509052.249713) can0 123#DEADBEEF" (also "123##1..." for CAN FD).
bool ParseCandumpLine(const std::string& line, std::string& idText, std::string& hex) {
    auto hash = line.find('#');
    if (hash == std::string::npos) return false;
    auto idStart = line.find_last_of(" \t", hash);
    idStart = idStart == std::string::npos ? 0 : idStart + 1;
    idText = "0x" + line.substr(idStart, hash - idStart);
    size_t dataStart = hash + 1;
    if (dataStart < line.size() && line[dataStart] == '#') dataStart += 2;  // FD flags nibble
    auto dataEnd = line.find_first_of(" \t\r", dataStart);
    hex = line.substr(dataStart,
                      dataEnd == std::string::npos ? std::string::npos : dataEnd - dataStart);
    return true;
}

int RunDecode(const std::string& db, const std::string& id, const std::string& hex,
              const std::string& logPath, const Options& options) {
    FileFormat& format = FormatFor(db, options);
    const TextDecoder decoder = DecoderFor(db, options);
    if (logPath.empty()) {
        if (id.empty() || hex.empty()) throw ToolError("decode needs ID and HEX, or --log FILE");
        Json result;
        if (!format.Decode(db, FrameIdOf(format, db, id, decoder, options), hex, options, result)) {
            throw ToolError("frame " + id + " is not in " + db);
        }
        result = ToUtf8(result, decoder);
        options.json ? PrintJson(result) : PrintDecoded(result);
        return 0;
    }
    std::ifstream log(logPath);
    if (!log) throw ToolError("cannot open log '" + logPath + "'");
    Json frames = Json::array();
    std::string line, idText, payload;
    while (std::getline(log, line)) {
        if (!ParseCandumpLine(line, idText, payload)) continue;
        Json result;
        if (!format.Decode(db, ParseFrameId(idText), payload, options, result)) continue;
        result = ToUtf8(result, decoder);
        if (options.json) {
            frames.push_back(result);
        } else {
            PrintDecoded(result);
        }
    }
    if (options.json) PrintJson(frames);
    return 0;
}

int RunConvert(const std::vector<std::string>& paths, const Options& options) {
    if (paths.size() < 2) throw ToolError("convert needs IN... OUT");
    const std::string& out = paths.back();
    const std::vector<std::string> inputs(paths.begin(), paths.end() - 1);
    // Any number of network files (or containers) go into one container file.
    if (std::filesystem::path(out).extension() == ".xml" && options.format.empty() &&
        (inputs.size() > 1 || !IsContainerFile(inputs.front()))) {
        LoadProgress progress(inputs.front());
        return ConvertToContainer(inputs, out);
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
    int ok = root.LoadFile(path.c_str());
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!ok) throw ToolError("cannot read '" + path + "'");
    if (!stats) {
        std::cout << root.Serialize(0, false) << "\r\n";
        return 0;
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
    options.json ? PrintJson(result) : PrintReadable(result, std::cout);
    return 0;
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
    return 0;
}

}  // namespace
}  // namespace qmtool

int main(int argc, char** argv) {
    using namespace qmtool;
    PreferHugePages(argv);
    KeepLargeBlocksMapped();
    CLI::App app{"quillmere: read, check, edit and write DBC, LDF, ARXML, CDD, ODX and PDX files"};
    app.require_subcommand(1);
    Options options;
    std::vector<std::string> paths;
    std::string path, second, id, hex, logPath, examples;
    bool stats = false;

    auto addCommon = [&](CLI::App* command) {
        command->add_flag("--json", options.json, "machine-readable output");
        command->add_option("--format", options.format, "override the format the extension gives");
        command->add_flag("--grouping", options.grouping,
                          "diagnostic files: the service groups instead of the classes");
        command->add_option("--encoding", options.encoding,
                            "text encoding of the input (any iconv name; default: UTF-8 when "
                            "the file is valid UTF-8, else cp1252)");
        command->add_flag("--short-names", options.shortNames,
                          "show names as written, not the long names of their attributes");
        command->add_flag("--exact", options.exact,
                          "the exact readers: DBC stops at the first line it does not know, "
                          "ARXML reads only the packages of the described names, ODX "
                          "parameters follow their predecessor even where a byte position "
                          "is stated");
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
    auto* decode = app.add_subcommand("decode", "the signals of one frame, or of a candump log");
    decode->add_option("db", path, "database file")->required();
    decode->add_option("id", id, "frame identifier (decimal or 0x...)");
    decode->add_option("hex", hex, "payload bytes in hex");
    decode->add_option("--log", logPath, "decode every frame of a candump log");
    addCommon(decode);
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
    auto* header = app.add_subcommand("header", "C++ header of the SOME/IP services' data types");
    header->add_option("paths", paths, "ARXML files read together")->required();
    header->add_option("--service", serviceName, "only this service");
    header->add_option("-o,--output", options.output, "write the header to this file");
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
                              "override the format the extension gives");
    encodeRequest->add_flag("--exact", options.exact,
                            "ODX: every request parameter placed after its predecessor, even "
                            "where a byte position is stated");
    auto* diff = app.add_subcommand("diff",
                                    "what differs between two network or diagnostic files "
                                    "(exit 0 equal, 1 different, 2 error)");
    diff->add_option("a", path, "the old file")->required();
    diff->add_option("b", second, "the new file")->required();
    diff->add_option("--cluster", options.cluster, "compare only the bus of this name");
    addCommon(diff);
    auto* demo = app.add_subcommand("demo", "a tour of the bundled examples");
    demo->add_option("--examples", examples, "folder of the examples");

    CLI11_PARSE(app, argc, argv);
    // A command over one file (or one set read together) ends the process when it is done.
    LeaveModelsToExit(((*info || *dump || *check) && paths.size() == 1) || *decode || *xml ||
                      *someip || *header || *encodeRequest || *diff);
    try {
        if (*version) return RunVersion(options);
        if (*info) return RunInfo(paths, options);
        if (*dump && !layoutFrame.empty()) {
            if (paths.size() != 1) throw ToolError("--layout draws a frame of one file");
            return RunLayout(paths.front(), layoutFrame, options);
        }
        if (*dump) return RunDump(paths, options);
        if (*check) return RunCheck(paths, options);
        if (*decode) return RunDecode(path, id, hex, logPath, options);
        if (*convert) return RunConvert(paths, options);
        if (*xml) return RunXml(path, stats, options);
        if (*someip) return RunSomeIp(paths, options);
        if (*header) return RunHeader(paths, serviceName, options);
        if (*encodeRequest) {
            return RunEncodeRequest(path, ecuName, diagServiceName, assignments, options);
        }
        if (*diff) return RunDiff(path, second, options);
        if (*demo) return RunDemo(examples);
    } catch (const ToolError& e) {
        PrintFailure(e.what());
        return 2;
    } catch (const std::exception& e) {
        PrintFailure(std::string("unexpected error: ") + e.what());
        return 3;
    }
    return 0;
}
