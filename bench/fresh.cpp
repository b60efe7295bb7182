// What a user feels: each input is loaded once by a fresh process (`quillmere info FILE`, or
// `quillmere xml --stats` for the bare XML parse), best of N runs, with the child's peak resident
// memory from wait4. Every figure is also given as a ratio to `wc -l` on the same file, the floor
// a fresh process that merely reads the file cannot beat. pugixml's fresh-process DOM parse of
// the XML input is measured the same way when it is available.
//
// The diagnostic and SOME/IP inputs go through the tool the same way: `quillmere info FILE.cdd`,
// `quillmere info DIR` for a folder of ODX documents, `quillmere info --format someip FILE`.
//
// Usage: bench_fresh [--runs N] [--keep DIR]
//                    [--only dbc|dbc-exact|diff|ldf|arxml|xml|cdd|odx|someip]
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "common/arxml_generator.h"
#include "common/cdd_generator.h"
#include "common/dbc_generator.h"
#include "common/ldf_generator.h"
#include "common/odx_generator.h"
#include "common/peak_memory.h"
#include "common/someip_generator.h"
#include "common/xml_generator.h"

#ifdef QM_HAVE_PUGIXML
#include <pugixml.hpp>
#endif

namespace {

struct RunFigure {
    double seconds = 0.0;
    double cpuSeconds = 0.0;  // user + system: what the load costs when neighbours take the CPU
    double peakMb = 0.0;
    bool ok = false;
};

double CpuSeconds(const rusage& usage) {
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Runs argv once in a child with stdout and stderr discarded; wall time and peak RSS.
RunFigure RunOnce(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        const int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, STDOUT_FILENO);
        dup2(devnull, STDERR_FILENO);
        execv(args[0], args.data());
        _exit(127);
    }
    RunFigure figure;
    if (child < 0) return figure;
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child) return figure;
    figure.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    figure.peakMb = qm::bench::PeakMegabytes(usage);
    figure.cpuSeconds = CpuSeconds(usage);
    figure.ok = WIFEXITED(status) && WEXITSTATUS(status) <= 1;
    return figure;
}

// The best (shortest) of n runs; its peak memory is the largest seen, to stay honest.
RunFigure BestOf(int runs, const std::vector<std::string>& argv) {
    RunFigure best;
    best.seconds = 1e30;
    for (int i = 0; i < runs; ++i) {
        const RunFigure run = RunOnce(argv);
        if (!run.ok) return run;
        best.ok = true;
        best.seconds = std::min(best.seconds, run.seconds);
        best.cpuSeconds = i == 0 ? run.cpuSeconds : std::min(best.cpuSeconds, run.cpuSeconds);
        best.peakMb = std::max(best.peakMb, run.peakMb);
    }
    return best;
}

struct Input {
    std::string name;
    std::string path;
    std::vector<std::string> command;  // the tool's arguments after its path
};

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// A folder input is measured as all of its files together.
std::vector<std::string> FilesOf(const std::string& path) {
    if (!std::filesystem::is_directory(path)) return {path};
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(path)) {
        if (entry.is_regular_file()) files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

double MegabytesOf(const std::string& path) {
    double bytes = 0;
    for (const auto& file : FilesOf(path)) {
        bytes += static_cast<double>(std::filesystem::file_size(file));
    }
    return bytes / 1e6;
}

#ifdef QM_HAVE_PUGIXML
// Forked child that parses the file with pugixml's DOM, for the comparison row.
RunFigure PugixmlFresh(int runs, const std::string& path) {
    RunFigure best;
    best.seconds = 1e30;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const pid_t child = fork();
        if (child == 0) {
            pugi::xml_document document;
            const bool ok = document.load_file(path.c_str());
            _exit(ok ? 0 : 1);
        }
        int status = 0;
        rusage usage{};
        if (child < 0 || wait4(child, &status, 0, &usage) != child) return {};
        best.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        best.seconds = std::min(
            best.seconds,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        best.cpuSeconds = i == 0 ? CpuSeconds(usage) : std::min(best.cpuSeconds, CpuSeconds(usage));
        best.peakMb = std::max(best.peakMb, qm::bench::PeakMegabytes(usage));
    }
    return best;
}
#endif

}  // namespace

int main(int argc, char** argv) {
    int runs = 3;
    std::string keep;
    std::string only;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--keep") == 0) keep = argv[i + 1];
        if (std::strcmp(argv[i], "--only") == 0) only = argv[i + 1];
    }
    const std::filesystem::path dir =
        keep.empty() ? std::filesystem::temp_directory_path() / "qm_bench_fresh"
                     : std::filesystem::path(keep);
    std::filesystem::create_directories(dir);

    // The same inputs, sizes and seeds as the warm benchmarks.
    std::vector<Input> inputs;
    std::vector<std::function<void(const std::string&)>> writers;
    auto addWritten = [&](const std::string& name, const std::string& file,
                          std::vector<std::string> command,
                          std::function<void(const std::string&)> write) {
        if (!only.empty() && only != name) return;
        const std::string path = (dir / file).string();
        command.push_back(path);
        inputs.push_back({name, path, command});
        writers.push_back(std::move(write));
    };
    auto add = [&](const std::string& name, const std::string& file,
                   std::vector<std::string> command, std::function<std::string()> generate) {
        addWritten(name, file, std::move(command),
                   [generate](const std::string& path) { WriteFile(path, generate()); });
    };
    add("dbc", "fresh.dbc", {"info"},
        [] { return qm::bench::GenerateDbc(50u << 20, 10000, 20, 42, nullptr); });
    // The same file read by the described reader: tolerant reading (the tool's default) is
    // meant to cost at most 5% more processor time than this row.
    add("dbc-exact", "fresh.dbc", {"info", "--exact"},
        [] { return qm::bench::GenerateDbc(50u << 20, 10000, 20, 42, nullptr); });
    // Two generated DBC files that differ in a few places, compared (diff loads both side by
    // side, then compares): the budget is 2 s.
    const std::string diffOld = (dir / "fresh_diff_old.dbc").string();
    addWritten("diff", "fresh_diff_new.dbc", {"diff", diffOld}, [diffOld](const std::string& path) {
        std::string text = qm::bench::GenerateDbc(50u << 20, 10000, 20, 42, nullptr);
        WriteFile(diffOld, text);
        qm::bench::ReviseDbc(text);
        WriteFile(path, text);
    });
    add("ldf", "fresh.ldf", {"info"},
        [] { return qm::bench::GenerateLdf(20u << 20, 42, nullptr); });
    add("arxml", "fresh.arxml", {"info"},
        [] { return qm::bench::GenerateArxmlSystem(100u << 20, 2026, nullptr); });
    add("xml", "fresh.xml", {"xml", "--stats"},
        [] { return qm::bench::GenerateArxmlLikeDocument(100u << 20, 42); });
    add("cdd", "fresh.cdd", {"info"},
        [] { return qm::bench::GenerateCdd(50u << 20, 42, nullptr); });
    addWritten("odx", "fresh_odx", {"info"}, [](const std::string& path) {
        std::filesystem::create_directories(path);
        for (const auto& document : qm::bench::GenerateOdxSet(100u << 20, 42, nullptr)) {
            WriteFile((std::filesystem::path(path) / document.name).string(), document.content);
        }
    });
    add("someip", "fresh_someip.arxml", {"info", "--format", "someip"},
        [] { return qm::bench::GenerateSomeIpDescription(50u << 20, 2026, nullptr); });

    std::printf("fresh process, best of %d runs (tool: %s)\n", runs, QM_TOOL_PATH);
    std::printf("%-9s %7s | %8s %7s %8s %8s %8s | %8s %6s %6s | %s\n", "input", "MB", "wall s",
                "MB/s", "cpu s", "peak MB", "peak/MB", "wc -l s", "x wc", "cpu x", "pugixml");
    for (size_t i = 0; i < inputs.size(); ++i) {
        const Input& input = inputs[i];
        if (!std::filesystem::exists(input.path)) writers[i](input.path);
        const double mb = MegabytesOf(input.path);
        std::vector<std::string> tool = {QM_TOOL_PATH};
        tool.insert(tool.end(), input.command.begin(), input.command.end());
        const RunFigure load = BestOf(runs, tool);
        std::vector<std::string> wc = {"/usr/bin/wc", "-l"};
        for (const auto& file : FilesOf(input.path)) wc.push_back(file);
        if (input.name == "diff") wc.push_back(diffOld);  // the floor reads both files
        const RunFigure floor = BestOf(runs, wc);
        std::string pugixml = "-";
#ifdef QM_HAVE_PUGIXML
        if (input.name == "xml") {
            const RunFigure pugi = PugixmlFresh(runs, input.path);
            char text[64];
            std::snprintf(text, sizeof(text), "%.3f s wall, %.3f s cpu, %.0f MB", pugi.seconds,
                          pugi.cpuSeconds, pugi.peakMb);
            pugixml = text;
        }
#endif
        if (!load.ok) {
            std::printf("%-9s %7.1f | load failed\n", input.name.c_str(), mb);
            continue;
        }
        std::printf("%-9s %7.1f | %8.3f %7.1f %8.3f %8.0f %8.2f | %8.3f %6.1f %6.1f | %s\n",
                    input.name.c_str(), mb, load.seconds, mb / load.seconds, load.cpuSeconds,
                    load.peakMb, load.peakMb / mb, floor.seconds, load.seconds / floor.seconds,
                    load.cpuSeconds / std::max(floor.cpuSeconds, 1e-3), pugixml.c_str());
        if (keep.empty()) {
            std::filesystem::remove_all(input.path);
            if (input.name == "diff") std::filesystem::remove(diffOld);
        }
    }
    return 0;
}
