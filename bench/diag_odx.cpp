// The ODX reader on a generated document set of about 100 MB (shared data, base variants and
// ECU variants that inherit and override, data objects of every kind, DTCs): the whole load
// plus build, split into parse, reference resolution and build, with CPU time beside the wall
// time and the peak resident memory.
//
// Fresh-process figures: "bench_diag_odx --write DIR" writes the set once, and
// "bench_diag_odx --fresh DIR" loads and builds it in a new process and prints one line.
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/diag_counts.h"
#include "common/odx_generator.h"
#include "common/peak_memory.h"
#include "common/timing.h"
#include "diag/diagnose_lib.h"

namespace {

constexpr size_t kTargetBytes = 100u << 20;

struct GeneratedSet {
    std::vector<std::string> paths;
    qm::bench::OdxFigures figures;
};

GeneratedSet WriteSet(const std::filesystem::path& directory) {
    GeneratedSet set;
    std::filesystem::create_directories(directory);
    for (const auto& document : qm::bench::GenerateOdxSet(kTargetBytes, 42, &set.figures)) {
        const std::filesystem::path path = directory / document.name;
        std::ofstream(path, std::ios::binary) << document.content;
        set.paths.push_back(path.string());
    }
    return set;
}

const GeneratedSet& Generated() {
    static const GeneratedSet set =
        WriteSet(std::filesystem::temp_directory_path() / "qm_bench_odx");
    return set;
}

struct Figures {
    double parse = 0, build = 0, resolve = 0, cpu = 0, parseCpu = 0;
    uint64_t ecus = 0, services = 0;
};

// Parse every document (LoadOdxFile with process 0), then one build; the resolution time is
// the one the build reports in its messages.
Figures LoadAndBuild(const std::vector<std::string>& paths, bool asWritten = false) {
    Figures figures;
    const double cpuStart = qm::bench::ProcessCpuSeconds();
    CDiagnoseLib library;
    library.SetReadingAsWritten(asWritten ? 1 : 0);
    auto start = std::chrono::steady_clock::now();
    for (const std::string& path : paths) library.LoadOdxFile(path.c_str(), 0);
    figures.parse = qm::bench::SecondsSince(start);
    figures.parseCpu = qm::bench::ProcessCpuSeconds() - cpuStart;
    start = std::chrono::steady_clock::now();
    library.BuildModel();
    figures.build = qm::bench::SecondsSince(start);
    figures.cpu = qm::bench::ProcessCpuSeconds() - cpuStart;
    const std::string messages = library.GetMessages();
    const size_t at = messages.find("ODX Refs multicore: ");
    figures.resolve = at == std::string::npos ? 0 : std::stod(messages.substr(at + 20)) / 1000.0;
    figures.ecus = library.GetEcuCount();
    figures.services = qm::bench::ServiceCount(library);
    NanoXML::ClearMessageLog();
    return figures;
}

void BM_OdxLoadAndBuild(benchmark::State& state) {
    const GeneratedSet& set = Generated();
    Figures figures;
    for (auto _ : state) {
        figures = LoadAndBuild(set.paths);
        state.SetIterationTime(figures.parse + figures.build);
    }
    const double megabytes = static_cast<double>(set.figures.bytes) / 1e6;
    state.counters["MB"] = megabytes;
    state.counters["MB/s"] = megabytes / (figures.parse + figures.build);
    state.counters["cpu_s"] = figures.cpu;
    state.counters["parse_cpu_s"] = figures.parseCpu;
    state.counters["parse_ms"] = figures.parse * 1000;
    state.counters["resolve_ms"] = figures.resolve * 1000;
    state.counters["build_ms"] = (figures.build - figures.resolve) * 1000;
    state.counters["ecus"] = static_cast<double>(figures.ecus);
    state.counters["services"] = static_cast<double>(figures.services);
    state.counters["peak_MB"] = qm::bench::PeakMegabytes();
}
BENCHMARK(BM_OdxLoadAndBuild)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

std::vector<std::string> OdxFilesIn(const std::string& directory) {
    std::vector<std::string> paths;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        if (entry.path().extension().string().rfind(".odx", 0) == 0)
            paths.push_back(entry.path().string());
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--write") == 0) {
        const GeneratedSet set = WriteSet(argv[2]);
        std::printf("%zu documents, %.1f MB, %zu variants, %zu services, %zu DTCs\n",
                    set.figures.documents, static_cast<double>(set.figures.bytes) / 1e6,
                    set.figures.variants, set.figures.services, set.figures.dtcs);
        return 0;
    }
    // --fresh DIR [--as-written]: one load of the folder's files, the described build or the
    // build as written.
    if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "--fresh") == 0) {
        const bool asWritten = argc == 4 && std::strcmp(argv[3], "--as-written") == 0;
        const std::vector<std::string> paths = OdxFilesIn(argv[2]);
        double bytes = 0;
        for (const std::string& path : paths)
            bytes += static_cast<double>(std::filesystem::file_size(path));
        const Figures f = LoadAndBuild(paths, asWritten);
        const double wall = f.parse + f.build;
        std::printf(
            "fresh: %.1f MB in %.0f ms (%.1f MB/s wall), cpu %.0f ms (parse %.0f, build %.0f); "
            "wall: parse %.0f ms, "
            "resolve %.0f ms, build %.0f ms; %llu ECUs, %llu services; peak %.0f MB "
            "(%.2fx input)\n",
            bytes / 1e6, wall * 1000, bytes / 1e6 / wall, f.cpu * 1000, f.parseCpu * 1000,
            (f.cpu - f.parseCpu) * 1000, f.parse * 1000, f.resolve * 1000,
            (f.build - f.resolve) * 1000, static_cast<unsigned long long>(f.ecus),
            static_cast<unsigned long long>(f.services), qm::bench::PeakMegabytes(),
            qm::bench::PeakMegabytes() * 1e6 / bytes);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
