// The container file on generated inputs: a facade holding the generated 50 MB DBC and 20 MB
// LDF is saved into one container, and the container is loaded into a fresh facade. Reported:
// MB/s of container text each way, the container size and the peak resident memory.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/dbc_generator.h"
#include "common/ldf_generator.h"
#include "facade/quillmere.h"

namespace {

namespace fs = std::filesystem;

constexpr size_t kDbcBytes = 50u << 20;
constexpr size_t kLdfBytes = 20u << 20;

std::string WriteInput(const std::string& name, const std::string& text) {
    const std::string path = (fs::temp_directory_path() / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

// The generated network files, each written once per process.
const std::string& DbcPath() {
    static const std::string path = WriteInput(
        "qm_bench_container.dbc", qm::bench::GenerateDbc(kDbcBytes, 10000, 20, 42, nullptr));
    return path;
}

const std::string& LdfPath() {
    static const std::string path =
        WriteInput("qm_bench_container.ldf", qm::bench::GenerateLdf(kLdfBytes, 7, nullptr));
    return path;
}

const std::string& ContainerPath() {
    static const std::string path = (fs::temp_directory_path() / "qm_bench_container.xml").string();
    return path;
}

double PeakResidentMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

struct Holder {
    Holder() : config(static_cast<NetConfig*>(facade.CreateNetConfig())) {}
    Quillmere facade;
    NetConfig* config;
};

void Report(benchmark::State& state, double seconds, uint64_t bytes) {
    const double megabytes = static_cast<double>(bytes) / 1e6;
    state.counters["container_MB"] = megabytes;
    state.counters["MB_per_s"] =
        benchmark::Counter(megabytes * static_cast<double>(state.iterations()) / seconds);
    state.counters["peak_RSS_MB"] = PeakResidentMegabytes();
}

void BM_ContainerSave(benchmark::State& state) {
    Holder holder;
    if (holder.config->LoadDbc(DbcPath().c_str()) > kNetLoadWithWarnings ||
        holder.config->LoadLdf(LdfPath().c_str()) != kNetLoadOk) {
        state.SkipWithError("the generated inputs did not load");
        return;
    }
    double seconds = 0.0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (!holder.facade.SaveToFile(ContainerPath().c_str())) {
            state.SkipWithError("save failed");
            return;
        }
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    Report(state, seconds, fs::file_size(ContainerPath()));
}
BENCHMARK(BM_ContainerSave)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

void BM_ContainerLoad(benchmark::State& state) {
    if (!fs::exists(ContainerPath())) {
        Holder holder;
        holder.config->LoadDbc(DbcPath().c_str());
        holder.config->LoadLdf(LdfPath().c_str());
        holder.facade.SaveToFile(ContainerPath().c_str());
    }
    double seconds = 0.0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        Holder holder;
        if (!holder.facade.LoadFromFile(ContainerPath().c_str()) ||
            holder.config->GetDataBaseCount() != 2) {
            state.SkipWithError("load failed");
            return;
        }
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    Report(state, seconds, fs::file_size(ContainerPath()));
}
BENCHMARK(BM_ContainerLoad)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
