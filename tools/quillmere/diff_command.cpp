#include "diff_command.h"

#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <future>
#include <iostream>
#include <optional>

#include "dbc/netconfig_dbc_file.h"
#include "diag_diff.h"
#include "exit_owned.h"
#include "frame_layout.h"
#include "netconfig/net_config.h"
#include "network_diff.h"
#include "network_load.h"
#include "network_view.h"
#include "text_encoding.h"

namespace qmtool {

namespace {

namespace fs = std::filesystem;

// Databases pair by name; when one of each is left over (a file and the one converted from
// it, which may name its bus differently), those two pair as well.
struct Pairing {
    std::vector<std::pair<size_t, size_t>> pairs;
    std::vector<size_t> onlyA, onlyB;
};

Pairing PairDatabases(const std::vector<NetworkView>& a, const std::vector<NetworkView>& b) {
    Pairing pairing;
    std::vector<bool> usedB(b.size(), false);
    for (size_t i = 0; i < a.size(); ++i) {
        bool paired = false;
        for (size_t j = 0; j < b.size() && !paired; ++j) {
            if (usedB[j] || a[i].name != b[j].name) continue;
            pairing.pairs.emplace_back(i, j);
            usedB[j] = paired = true;
        }
        if (!paired) pairing.onlyA.push_back(i);
    }
    for (size_t j = 0; j < b.size(); ++j) {
        if (!usedB[j]) pairing.onlyB.push_back(j);
    }
    if (pairing.onlyA.size() == 1 && pairing.onlyB.size() == 1) {
        pairing.pairs.emplace_back(pairing.onlyA.front(), pairing.onlyB.front());
        pairing.onlyA.clear();
        pairing.onlyB.clear();
    }
    return pairing;
}

Json DatabaseNames(const std::vector<NetworkView>& views, const std::vector<size_t>& indexes) {
    Json names = Json::array();
    for (size_t i : indexes) names.push_back(views[i].name);
    return names;
}

int DiffNetworkFiles(const std::string& pathA, SourceFormat formatA, const std::string& pathB,
                     SourceFormat formatB, const Options& options) {
    // Two text files load side by side; the XML engine takes one load at a time.
    const bool parallel = formatA != SourceFormat::kArxml || formatB != SourceFormat::kArxml;
    // The views (and the models they point into) go with the process when it ends right after.
    ExitOwned<std::vector<NetworkView>> ownedA = MakeExitOwned<std::vector<NetworkView>>();
    ExitOwned<std::vector<NetworkView>> ownedB = MakeExitOwned<std::vector<NetworkView>>();
    std::vector<NetworkView>& a = *ownedA;
    std::vector<NetworkView>& b = *ownedB;
    if (parallel) {
        auto second = std::async(std::launch::async,
                                 [&] { return LoadNetworkViews(pathB, formatB, options); });
        a = LoadNetworkViews(pathA, formatA, options);
        b = second.get();
    } else {
        a = LoadNetworkViews(pathA, formatA, options);
        b = LoadNetworkViews(pathB, formatB, options);
    }
    // Names that a DBC cannot hold are compared as the DBC made from them holds them.
    if ((formatA == SourceFormat::kDbc) != (formatB == SourceFormat::kDbc)) {
        for (NetworkView& view : formatA == SourceFormat::kDbc ? b : a) UseDbcNames(view);
    }
    const Pairing pairing = PairDatabases(a, b);
    uint64_t differences = pairing.onlyA.size() + pairing.onlyB.size();
    Json databases = Json::array();
    for (const auto& [i, j] : pairing.pairs) {
        NetworkDiff diff = DiffNetworks(a[i], b[j]);
        differences += diff.differences;
        databases.push_back(std::move(diff.report));
    }
    Json report = {{"a", SanitizeUtf8(pathA)},
                   {"b", SanitizeUtf8(pathB)},
                   {"kind", "network"},
                   {"equal", differences == 0},
                   {"differences", differences},
                   {"databasesAdded", DatabaseNames(b, pairing.onlyB)},
                   {"databasesRemoved", DatabaseNames(a, pairing.onlyA)},
                   {"databases", databases}};
    if (options.json) {
        std::cout << report.dump(2) << '\n';
    } else {
        for (const Json& name : report["databasesAdded"]) {
            std::cout << "+ database " << name.get<std::string>() << '\n';
        }
        for (const Json& name : report["databasesRemoved"]) {
            std::cout << "- database " << name.get<std::string>() << '\n';
        }
        for (const Json& database : report["databases"]) PrintNetworkDiff(database, std::cout);
        std::cout << (differences == 0 ? "equal\n" : "different\n");
    }
    return differences == 0 ? kDiffEqual : kDiffDifferent;
}

// The diagnostic model of a file as "dump --json" gives it, every text in UTF-8.
Json DiagnosticEcus(const std::string& path, const Options& options) {
    FileFormat& format = FormatFor(path, options);
    if (format.Name() != "cdd" && format.Name() != "odx") {
        throw ToolError("'" + path + "' is neither a network nor a diagnostic description");
    }
    Json dump = format.Dump(path, options);
    try {
        dump = ToUtf8(dump, TextDecoder::ForFile(path, options.encoding));
    } catch (const UnknownEncoding& e) {
        throw ToolError(e.what());
    }
    return dump.value("ecus", Json::array());
}

int DiffDiagnosticFiles(const std::string& pathA, const std::string& pathB,
                        const Options& options) {
    const DiagDiff diff =
        DiffDiagnostics(DiagnosticEcus(pathA, options), DiagnosticEcus(pathB, options));
    Json report = {{"a", SanitizeUtf8(pathA)},
                   {"b", SanitizeUtf8(pathB)},
                   {"kind", "diagnostic"},
                   {"equal", diff.differences == 0},
                   {"differences", diff.differences},
                   {"ecus", diff.report["ecus"]}};
    if (options.json) {
        std::cout << report.dump(2) << '\n';
    } else {
        PrintDiagDiff(report, std::cout);
        std::cout << (diff.differences == 0 ? "equal\n" : "different\n");
    }
    return diff.differences == 0 ? kDiffEqual : kDiffDifferent;
}

// The differences of every database pair of two files, printed for people.
void PrintNetworkFilesDiff(const std::string& a, const std::string& b, std::ostream& out) {
    const Options options;
    const auto viewsA = LoadNetworkViews(a, *NetworkFormatOf(a), options);
    auto viewsB = LoadNetworkViews(b, *NetworkFormatOf(b), options);
    if (NetworkFormatOf(a) != NetworkFormatOf(b)) {
        for (NetworkView& view : viewsB) UseDbcNames(view);
    }
    const Pairing pairing = PairDatabases(viewsA, viewsB);
    for (const auto& [i, j] : pairing.pairs) {
        PrintNetworkDiff(DiffNetworks(viewsA[i], viewsB[j]).report, out);
    }
}

// A scratch folder for the demo's files, removed at the end.
struct DemoFolder {
    fs::path path = fs::temp_directory_path() / ("quillmere-demo-" + std::to_string(::getpid()));
    DemoFolder() { fs::create_directories(path); }
    ~DemoFolder() {
        std::error_code error;
        fs::remove_all(path, error);
    }
};

void DemoLayout(const fs::path& dbc, std::ostream& out) {
    out << "  quillmere dump " << dbc.filename().string() << " --layout EngineData\n\n";
    const auto views = LoadNetworkViews(dbc.string(), SourceFormat::kDbc, Options{});
    for (const FrameView& frame : views.front().frames) {
        if (frame.name == "EngineData") DrawFrameLayout(frame, out);
    }
}

// The copy is edited with the DBC model's edit operations, which rewrite the file.
void DemoEditedCopy(const fs::path& dbc, const DemoFolder& folder, std::ostream& out) {
    const fs::path before = folder.path / "powertrain.dbc", after = folder.path / "edited.dbc";
    fs::copy_file(dbc, before, fs::copy_options::overwrite_existing);
    fs::copy_file(dbc, after, fs::copy_options::overwrite_existing);
    NetConfigDbcFile edited;
    if (!edited.Load(after.string().c_str())) return;
    edited.SetSignalFactor(256, "Torque", 0.25, 2);
    edited.SetSignalName(256, "CoolantTemp", "WaterTemp");
    edited.SetMessageSize(512, 6);
    out << "\n  quillmere diff powertrain.dbc edited.dbc  (Torque factor, CoolantTemp renamed, "
           "GearboxData 6 bytes)\n";
    PrintNetworkFilesDiff(before.string(), after.string(), out);
}

void DemoConvertedCluster(const fs::path& arxml, const DemoFolder& folder, std::ostream& out) {
    NetConfig config;
    config.SetArxmlReadingMode(kArxmlReadWholeDocument);
    if (config.LoadArxml(arxml.string().c_str()) != kNetLoadOk) return;
    INetDataBase* can = config.FindDataBase("PowertrainCan");
    const fs::path dbc = folder.path / "powertrain_can.dbc";
    if (can == nullptr || !can->SaveAs(dbc.string().c_str())) return;
    out << "\n  quillmere diff " << arxml.filename().string()
        << " powertrain_can.dbc --cluster PowertrainCan  (the DBC that convert writes)\n";
    const Options options;
    auto viewsA = LoadNetworkViews(arxml.string(), SourceFormat::kArxml, options);
    const auto viewsB = LoadNetworkViews(dbc.string(), SourceFormat::kDbc, options);
    for (NetworkView& view : viewsA) {
        if (view.name != "PowertrainCan") continue;
        UseDbcNames(view);
        PrintNetworkDiff(DiffNetworks(view, viewsB.front()).report, out);
    }
}

}  // namespace

void DemoDiffAndLayout(const fs::path& examplesDir, std::ostream& out) {
    out << "Frame layouts and comparisons\n";
    try {
        const DemoFolder folder;
        DemoLayout(examplesDir / "powertrain.dbc", out);
        DemoEditedCopy(examplesDir / "powertrain.dbc", folder, out);
        DemoConvertedCluster(examplesDir / "bus_system.arxml", folder, out);
    } catch (const std::exception& e) {
        out << "  (not shown: " << e.what() << ")\n";
    }
}

int RunDiff(const std::string& a, const std::string& b, const Options& options) {
    const auto formatA = NetworkFormatOf(a), formatB = NetworkFormatOf(b);
    if (formatA && formatB) return DiffNetworkFiles(a, *formatA, b, *formatB, options);
    if (formatA || formatB) {
        throw ToolError("cannot compare a network description with a diagnostic one");
    }
    return DiffDiagnosticFiles(a, b, options);
}

}  // namespace qmtool
