// DBC reading, writing and raw-value extraction on a generated 50 MB file (about 10,000
// messages and 200,000 signals). The load is also reported as a ratio to the floor that no
// parser beats: reading the same file and counting its lines.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/dbc_generator.h"
#include "dbc/netconfig_dbc_file.h"
#include "platform/files.h"

namespace {

constexpr size_t kTargetBytes = 50u << 20;
constexpr size_t kMessages = 10000;
constexpr size_t kSignalsPerMessage = 20;

struct GeneratedFile {
    std::string path;
    qm::bench::DbcFigures figures;
};

const GeneratedFile& Generated() {
    static const GeneratedFile file = [] {
        GeneratedFile generated;
        generated.path = (std::filesystem::temp_directory_path() / "qm_bench_dbc.dbc").string();
        const std::string text = qm::bench::GenerateDbc(kTargetBytes, kMessages, kSignalsPerMessage,
                                                        42, &generated.figures);
        std::ofstream(generated.path, std::ios::binary) << text;
        return generated;
    }();
    return file;
}

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Reads the whole file and counts its lines: the least work any line reader must do.
double ReadAndCountLines(const std::string& path, size_t& lines) {
    const auto start = std::chrono::steady_clock::now();
    std::string text;
    qm::platform::ReadWholeFile(path, text);
    lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
    return Seconds(start);
}

// Peak resident memory in kB since the last reset (VmHWM), and a reset of that peak.
long PeakKb() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return 0;
    char line[256];
    long peak = 0;
    while (std::fgets(line, sizeof(line), status)) {
        if (std::strncmp(line, "VmHWM:", 6) == 0) peak = std::strtol(line + 6, nullptr, 10);
    }
    std::fclose(status);
    return peak;
}

long CurrentKb() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return 0;
    char line[256];
    long current = 0;
    while (std::fgets(line, sizeof(line), status)) {
        if (std::strncmp(line, "VmRSS:", 6) == 0) current = std::strtol(line + 6, nullptr, 10);
    }
    std::fclose(status);
    return current;
}

void ResetPeak() {
    if (std::FILE* refs = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", refs);
        std::fclose(refs);
    }
}

void BM_DbcLoad(benchmark::State& state) {
    const GeneratedFile& file = Generated();
    double loadSeconds = 0.0;
    double floorSeconds = 0.0;
    size_t lines = 0;
    double peakRatio = 0.0;
    for (auto _ : state) {
        floorSeconds += ReadAndCountLines(file.path, lines);
        ResetPeak();
        const long before = CurrentKb();
        const auto start = std::chrono::steady_clock::now();
        NetConfigDbcFile dbc;
        const bool ok = dbc.Load(file.path.c_str());
        loadSeconds += Seconds(start);
        peakRatio = static_cast<double>(PeakKb() - before) * 1024.0 /
                    static_cast<double>(file.figures.bytes);
        if (!ok || dbc.GetSignalCount() != file.figures.signals) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(dbc.GetMessageCount());
    }
    const double iterations = static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(file.figures.bytes * state.iterations()));
    state.counters["MB"] = static_cast<double>(file.figures.bytes) / 1e6;
    state.counters["messages"] = static_cast<double>(file.figures.messages);
    state.counters["signals"] = static_cast<double>(file.figures.signals);
    state.counters["lines"] = static_cast<double>(lines);
    state.counters["load_MBps"] =
        static_cast<double>(file.figures.bytes) / 1e6 / (loadSeconds / iterations);
    state.counters["floor_MBps"] =
        static_cast<double>(file.figures.bytes) / 1e6 / (floorSeconds / iterations);
    state.counters["load_over_floor"] = loadSeconds / floorSeconds;
    state.counters["peak_memory_over_file"] = peakRatio;
}
BENCHMARK(BM_DbcLoad)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_DbcSave(benchmark::State& state) {
    const GeneratedFile& file = Generated();
    NetConfigDbcFile dbc;
    dbc.Load(file.path.c_str());
    const std::string out = file.path + ".saved.dbc";
    for (auto _ : state) {
        if (!dbc.Save(out.c_str())) state.SkipWithError("save failed");
    }
    const auto written = std::filesystem::file_size(out);
    state.SetBytesProcessed(static_cast<int64_t>(written * state.iterations()));
    state.counters["MB_written"] = static_cast<double>(written) / 1e6;
    std::filesystem::remove(out);
}
BENCHMARK(BM_DbcSave)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_DbcExtractRawValue(benchmark::State& state) {
    const GeneratedFile& file = Generated();
    NetConfigDbcFile dbc;
    dbc.Load(file.path.c_str());
    uint8_t payload[64];
    for (size_t i = 0; i < sizeof(payload); ++i) payload[i] = static_cast<uint8_t>(i * 37 + 11);
    std::vector<IDbcSignal*> signals;
    for (uint64_t i = 0; i < dbc.GetSignalCount(); ++i) signals.push_back(dbc.GetSignal(i));
    for (auto _ : state) {
        uint64_t sum = 0;
        for (IDbcSignal* signal : signals) sum += signal->ExtractRawValue(payload, sizeof(payload));
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(static_cast<int64_t>(signals.size() * state.iterations()));
}
BENCHMARK(BM_DbcExtractRawValue)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
