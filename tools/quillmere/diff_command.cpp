#include "diff_command.h"

#include <cctype>
#include <filesystem>
#include <future>
#include <iostream>
#include <optional>

#include "diag_diff.h"
#include "exit_owned.h"
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

}  // namespace

int RunDiff(const std::string& a, const std::string& b, const Options& options) {
    const auto formatA = NetworkFormatOf(a), formatB = NetworkFormatOf(b);
    if (formatA && formatB) return DiffNetworkFiles(a, *formatA, b, *formatB, options);
    if (formatA || formatB) {
        throw ToolError("cannot compare a network description with a diagnostic one");
    }
    return DiffDiagnosticFiles(a, b, options);
}

}  // namespace qmtool
