// DBC reading, writing and raw-value extraction on a generated 50 MB file (about 10,000
// messages and 200,000 signals). The load is also reported as a ratio to the floor that no
// parser beats: reading the same file and counting its lines.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>

#include "common/dbc_generator.h"
#include "common/timing.h"
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

// Reads the whole file and counts its lines: the least work any line reader must do.
double ReadAndCountLines(const std::string& path, size_t& lines, double& cpuSeconds) {
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = qm::bench::ThreadCpuSeconds();
    std::string text;
    qm::platform::ReadWholeFile(path, text);
    lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
    cpuSeconds += qm::bench::ThreadCpuSeconds() - cpuStart;
    return qm::bench::SecondsSince(start);
}

// Heap bytes in use and their peak, counted by the global allocation functions below: the
// peak during a load, less what was in use before, is the memory the load needed.
std::atomic<size_t> heapInUse{0};
std::atomic<size_t> heapPeak{0};

void NoteAllocated(void* block) {
    const size_t now = heapInUse.fetch_add(malloc_usable_size(block)) + malloc_usable_size(block);
    size_t peak = heapPeak.load();
    while (now > peak && !heapPeak.compare_exchange_weak(peak, now)) {
    }
}

void BM_DbcLoad(benchmark::State& state) {
    const GeneratedFile& file = Generated();
    double loadSeconds = 0.0;
    double floorSeconds = 0.0;
    double loadCpu = 0.0;
    double floorCpu = 0.0;
    size_t lines = 0;
    double peakRatio = 0.0;
    for (auto _ : state) {
        floorSeconds += ReadAndCountLines(file.path, lines, floorCpu);
        const size_t before = heapInUse.load();
        heapPeak.store(before);
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = qm::bench::ThreadCpuSeconds();
        NetConfigDbcFile dbc;
        const bool ok = dbc.Load(file.path.c_str());
        loadCpu += qm::bench::ThreadCpuSeconds() - cpuStart;
        loadSeconds += qm::bench::SecondsSince(start);
        peakRatio =
            static_cast<double>(heapPeak.load() - before) / static_cast<double>(file.figures.bytes);
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
    state.counters["load_MBps_cpu"] =
        static_cast<double>(file.figures.bytes) / 1e6 / (loadCpu / iterations);
    state.counters["load_over_floor_cpu"] = loadCpu / floorCpu;
    state.counters["peak_memory_over_file"] = peakRatio;
}
BENCHMARK(BM_DbcLoad)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Tolerant reading against the exact reader on the same file, loads alternated (and which goes
// first alternated too, so that neither always finds a warmer heap) so that both see the same
// machine load; tolerant_over_exact is the figure to watch (target: at most 1.05).
void BM_DbcLoadTolerant(benchmark::State& state) {
    const GeneratedFile& file = Generated();
    double exactSeconds = 0.0;
    double tolerantSeconds = 0.0;
    bool tolerantFirst = false;
    for (auto _ : state) {
        tolerantFirst = !tolerantFirst;
        for (const bool tolerant : {tolerantFirst, !tolerantFirst}) {
            // Processor time: on a shared machine wall time mostly measures the neighbours.
            const double start = qm::bench::ThreadCpuSeconds();
            NetConfigDbcFile dbc;
            dbc.SetTolerantReading(tolerant);
            const bool ok = dbc.Load(file.path.c_str());
            (tolerant ? tolerantSeconds : exactSeconds) += qm::bench::ThreadCpuSeconds() - start;
            if (!ok || dbc.GetSignalCount() != file.figures.signals) {
                state.SkipWithError("load failed");
            }
            benchmark::DoNotOptimize(dbc.GetMessageCount());
        }
    }
    const double iterations = static_cast<double>(state.iterations());
    state.counters["MB"] = static_cast<double>(file.figures.bytes) / 1e6;
    state.counters["exact_MBps_cpu"] =
        static_cast<double>(file.figures.bytes) / 1e6 / (exactSeconds / iterations);
    state.counters["tolerant_MBps_cpu"] =
        static_cast<double>(file.figures.bytes) / 1e6 / (tolerantSeconds / iterations);
    state.counters["tolerant_over_exact"] = tolerantSeconds / exactSeconds;
}
BENCHMARK(BM_DbcLoadTolerant)->Unit(benchmark::kMillisecond)->Iterations(6)->UseRealTime();

void BM_DbcSave(benchmark::State& state) {
    const GeneratedFile& file = Generated();
    NetConfigDbcFile dbc;
    dbc.Load(file.path.c_str());
    const std::string out = file.path + ".saved.dbc";
    double saveCpu = 0.0;
    for (auto _ : state) {
        const double cpuStart = qm::bench::ThreadCpuSeconds();
        if (!dbc.Save(out.c_str())) state.SkipWithError("save failed");
        saveCpu += qm::bench::ThreadCpuSeconds() - cpuStart;
    }
    const auto written = std::filesystem::file_size(out);
    state.SetBytesProcessed(static_cast<int64_t>(written * state.iterations()));
    state.counters["MB_written"] = static_cast<double>(written) / 1e6;
    state.counters["save_MBps_cpu"] =
        static_cast<double>(written) / 1e6 / (saveCpu / static_cast<double>(state.iterations()));
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

// These functions are the allocator: free() here pairs with malloc() in operator new, which
// GCC cannot see once it inlines them into a delete expression.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(size_t size) {
    void* block = std::malloc(size ? size : 1);
    if (!block) throw std::bad_alloc();
    NoteAllocated(block);
    return block;
}

void* operator new[](size_t size) {
    return operator new(size);
}

void operator delete(void* block) noexcept {
    if (!block) return;
    heapInUse.fetch_sub(malloc_usable_size(block));
    std::free(block);
}

void operator delete[](void* block) noexcept {
    operator delete(block);
}
void operator delete(void* block, size_t) noexcept {
    operator delete(block);
}
void operator delete[](void* block, size_t) noexcept {
    operator delete(block);
}

BENCHMARK_MAIN();
