// The ODX reader on a generated document set of about 100 MB (shared data, base variants and
// ECU variants that inherit and override, data objects of every kind, DTCs): the whole load
// plus build, split into parse, reference resolution and build, with CPU time beside the wall
// time and the peak resident memory.
//
// Fresh-process figures: "bench_diag_odx --write DIR" writes the set once, and
// "bench_diag_odx --fresh DIR" loads and builds it in a new process and prints one line.
// "bench_diag_odx --decode DIR ECU HEX..." loads the set as written and times what
// "quillmere decode-diag" does after the load: index the ECU's messages, match, decode.
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
#include "diag/diag_codec.h"
#include "diag/diagnose_lib.h"
#include "diag/message_index.h"

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
    double parse = 0, build = 0, resolve = 0, cpu = 0, parseCpu = 0, parsePeak = 0;
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
    figures.parsePeak = qm::bench::PeakMegabytes();
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

std::vector<uint8_t> HexBytes(const char* text) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; text[i] != '\0' && text[i + 1] != '\0'; i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoul(std::string(text + i, 2), nullptr, 16)));
    return bytes;
}

// Thread CPU time of each message's index, match and decode, apart from the load.
int TimeDecodes(int argc, char** argv) {
    CDiagnoseLib library;
    library.SetReadingAsWritten(1);
    for (const std::string& path : OdxFilesIn(argv[2])) library.LoadOdxFile(path.c_str(), 0);
    library.BuildModel();
    IECU* ecu = nullptr;
    for (uint64_t i = 0; i < library.GetEcuCount(); ++i) {
        if (std::strcmp(library.GetEcu(i)->GetShortName(), argv[3]) == 0) ecu = library.GetEcu(i);
    }
    if (ecu == nullptr) {
        std::fprintf(stderr, "no ECU %s\n", argv[3]);
        return 1;
    }
    // Each message five times: the first run meets the model cold (as the tool's one decode
    // does), the best one shows the work without the neighbours' noise.
    for (int a = 4; a < argc; ++a) {
        const std::vector<uint8_t> bytes = HexBytes(argv[a]);
        double first = 0, fastest = 1e9, bestMatch = 1e9;
        std::string found = "-";
        size_t fields = 0, messages = 0;
        for (int run = 0; run < 5; ++run) {
            const double start = qm::bench::ThreadCpuSeconds();
            const qm::diag::MessageIndex index(*ecu);
            const double indexed = qm::bench::ThreadCpuSeconds();
            const qm::diag::IndexedMessage* best = index.Best(bytes.data(), bytes.size());
            if (best != nullptr)
                fields =
                    qm::diag::DecodeFunction(*best->function, bytes.data(), bytes.size()).size();
            const double end = qm::bench::ThreadCpuSeconds();
            if (best != nullptr) found = std::string(best->service->GetName()) + " " + best->kind;
            messages = index.Messages().size();
            if (run == 0) first = (end - start) * 1000;
            fastest = std::min(fastest, (end - start) * 1000);
            bestMatch = std::min(bestMatch, (end - indexed) * 1000);
        }
        std::printf(
            "%s: %zu messages, index + match + decode %.3f ms first, %.3f ms best (match + "
            "decode %.3f ms): %s, %zu fields\n",
            argv[a], messages, first, fastest, bestMatch, found.c_str(), fields);
    }
    return 0;
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
            "(%.2fx input; %.0f MB after the parse)\n",
            bytes / 1e6, wall * 1000, bytes / 1e6 / wall, f.cpu * 1000, f.parseCpu * 1000,
            (f.cpu - f.parseCpu) * 1000, f.parse * 1000, f.resolve * 1000,
            (f.build - f.resolve) * 1000, static_cast<unsigned long long>(f.ecus),
            static_cast<unsigned long long>(f.services), qm::bench::PeakMegabytes(),
            qm::bench::PeakMegabytes() * 1e6 / bytes, f.parsePeak);
        return 0;
    }
    if (argc >= 5 && std::strcmp(argv[1], "--decode") == 0) return TimeDecodes(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
