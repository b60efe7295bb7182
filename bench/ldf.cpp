// LDF reading and writing on a generated 20 MB file (many slaves, signals, frames of every
// kind, schedule tables with every command, encodings). The load is also reported as a ratio to
// the floor that no parser beats: reading the same file and counting its lines.
#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/ldf_generator.h"
#include "common/timing.h"
#include "ldf/ldf_signal.h"
#include "ldf/netconfig_ldf_file.h"
#include "platform/files.h"

namespace {

constexpr size_t kTargetBytes = 20u << 20;

struct GeneratedFile {
    std::string path;
    qm::bench::LdfFigures figures;
};

const GeneratedFile& Generated() {
    static const GeneratedFile file = [] {
        GeneratedFile generated;
        generated.path = (std::filesystem::temp_directory_path() / "qm_bench_ldf.ldf").string();
        const std::string text = qm::bench::GenerateLdf(kTargetBytes, 42, &generated.figures);
        std::ofstream(generated.path, std::ios::binary) << text;
        return generated;
    }();
    return file;
}

// Reads the whole file and counts its lines: the least work any line reader must do.
double ReadAndCountLines(const std::string& path, size_t& lines) {
    const auto start = std::chrono::steady_clock::now();
    std::string text;
    qm::platform::ReadWholeFile(path, text);
    lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
    return qm::bench::SecondsSince(start);
}

void BM_LdfLoad(benchmark::State& state) {
    const GeneratedFile& file = Generated();
    double loadSeconds = 0.0;
    double loadCpuSeconds = 0.0;
    double floorSeconds = 0.0;
    double floorCpuSeconds = 0.0;
    size_t lines = 0;
    for (auto _ : state) {
        const double floorCpuStart = qm::bench::ThreadCpuSeconds();
        floorSeconds += ReadAndCountLines(file.path, lines);
        floorCpuSeconds += qm::bench::ThreadCpuSeconds() - floorCpuStart;
        const double cpuStart = qm::bench::ThreadCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        NetConfigLdfFile ldf;
        const bool ok = ldf.Load(file.path.c_str());
        loadSeconds += qm::bench::SecondsSince(start);
        loadCpuSeconds += qm::bench::ThreadCpuSeconds() - cpuStart;
        if (!ok || ldf.GetSignalCount() != file.figures.signals ||
            ldf.GetFrameCount() != file.figures.frames ||
            ldf.GetTaskCount() != file.figures.tasks) {
            state.SkipWithError("load failed or incomplete");
        }
        benchmark::DoNotOptimize(ldf.GetNodeCount());
    }
    const double iterations = static_cast<double>(state.iterations());
    const double megabytes = static_cast<double>(file.figures.bytes) / 1e6;
    state.SetBytesProcessed(static_cast<int64_t>(file.figures.bytes * state.iterations()));
    state.counters["MB"] = megabytes;
    state.counters["nodes"] = static_cast<double>(file.figures.nodes);
    state.counters["signals"] = static_cast<double>(file.figures.signals);
    state.counters["frames"] = static_cast<double>(file.figures.frames);
    state.counters["tasks"] = static_cast<double>(file.figures.tasks);
    state.counters["lines"] = static_cast<double>(lines);
    state.counters["load_MBps"] = megabytes / (loadSeconds / iterations);
    state.counters["floor_MBps"] = megabytes / (floorSeconds / iterations);
    state.counters["load_over_floor"] = loadSeconds / floorSeconds;
    state.counters["load_cpu_MBps"] = megabytes / (loadCpuSeconds / iterations);
    state.counters["load_over_floor_cpu"] = loadCpuSeconds / floorCpuSeconds;
}
BENCHMARK(BM_LdfLoad)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_LdfSave(benchmark::State& state) {
    const GeneratedFile& file = Generated();
    NetConfigLdfFile ldf;
    ldf.Load(file.path.c_str());
    const std::string out = file.path + ".saved.ldf";
    for (auto _ : state) {
        if (!ldf.Save(out.c_str())) state.SkipWithError("save failed");
    }
    const auto written = std::filesystem::file_size(out);
    state.SetBytesProcessed(static_cast<int64_t>(written * state.iterations()));
    state.counters["MB_written"] = static_cast<double>(written) / 1e6;
    std::filesystem::remove(out);
}
BENCHMARK(BM_LdfSave)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_LdfRawValue(benchmark::State& state) {
    const GeneratedFile& file = Generated();
    NetConfigLdfFile ldf;
    ldf.Load(file.path.c_str());
    uint8_t payload[8];
    for (size_t i = 0; i < sizeof(payload); ++i) payload[i] = static_cast<uint8_t>(i * 37 + 11);
    std::vector<ILdfStandardSignal*> signals;
    for (uint64_t i = 0; i < ldf.GetStandardSignalCount(); ++i)
        signals.push_back(ldf.GetStandardSignal(i));
    for (auto _ : state) {
        uint64_t sum = 0;
        for (ILdfStandardSignal* signal : signals)
            sum += signal->GetRawValue(payload, sizeof(payload));
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(static_cast<int64_t>(signals.size() * state.iterations()));
}
BENCHMARK(BM_LdfRawValue)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
