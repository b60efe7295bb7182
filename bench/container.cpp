// The container file on generated inputs: a facade holding the generated 50 MB DBC, the 20 MB
// LDF and a diagnostic library built from a generated CDD (about 50 MB of container text) is
// saved into one container, and the container is loaded into a fresh facade, which builds the
// library's model. Each direction runs in a fresh forked process, so that the peak resident
// memory is that of one save or one load. Reported: MB/s of container text, wall and CPU time
// (user + system, the steadier figure on a shared machine) of the timed step, the container
// size and the child's peak resident memory.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/cdd_generator.h"
#include "common/dbc_generator.h"
#include "common/ldf_generator.h"
#include "common/peak_memory.h"
#include "common/timing.h"
#include "facade/quillmere.h"

namespace {

namespace fs = std::filesystem;

constexpr size_t kDbcBytes = 50u << 20;
constexpr size_t kLdfBytes = 20u << 20;
// The library's container form is about three times the CDD it was built from.
constexpr size_t kCddBytes = 12u << 20;

std::string WriteInput(const std::string& name, const std::string& text) {
    const std::string path = (fs::temp_directory_path() / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

// The generated inputs, each written once per process (before any child is forked).
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

const std::string& CddPath() {
    static const std::string path =
        WriteInput("qm_bench_container.cdd", qm::bench::GenerateCdd(kCddBytes, 42, nullptr));
    return path;
}

const std::string& ContainerPath() {
    static const std::string path = (fs::temp_directory_path() / "qm_bench_container.xml").string();
    return path;
}

struct Holder {
    Holder()
        : config(static_cast<NetConfig*>(facade.CreateNetConfig())),
          library(static_cast<CDiagnoseLib*>(facade.CreateDiagnoseLib())) {}
    Quillmere facade;
    NetConfig* config;
    CDiagnoseLib* library;
};

// What a child reports of its timed step.
struct StepFigure {
    double wallSeconds = 0.0;
    double cpuSeconds = 0.0;
    bool ok = false;
};

// Runs the step in a forked child; the step's own wall and CPU time come back through a pipe,
// the child's peak resident memory from wait4.
StepFigure RunFresh(bool (*step)(StepFigure&), double* peakMb) {
    int channel[2];
    if (pipe(channel) != 0) return {};
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        StepFigure figure;
        figure.ok = step(figure);
        const ssize_t written = write(channel[1], &figure, sizeof figure);
        _exit(written == static_cast<ssize_t>(sizeof figure) ? 0 : 1);
    }
    close(channel[1]);
    StepFigure figure;
    const ssize_t got = child > 0 ? read(channel[0], &figure, sizeof figure) : 0;
    close(channel[0]);
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child) return {};
    if (got != static_cast<ssize_t>(sizeof figure) || !WIFEXITED(status)) return {};
    *peakMb = qm::bench::PeakMegabytes(usage);
    return figure;
}

bool LoadInputs(Holder& holder) {
    return holder.config->LoadDbc(DbcPath().c_str()) <= kNetLoadWithWarnings &&
           holder.config->LoadLdf(LdfPath().c_str()) == kNetLoadOk &&
           holder.library->LoadCddFile(CddPath().c_str(), 1) == 1;
}

bool SaveStep(StepFigure& figure) {
    Holder holder;
    if (!LoadInputs(holder)) return false;
    const double cpu = qm::bench::ProcessCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    const bool saved = holder.facade.SaveToFile(ContainerPath().c_str());
    figure.wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    figure.cpuSeconds = qm::bench::ProcessCpuSeconds() - cpu;
    return saved;
}

// The load includes the library's build, which turns the stored ECUs back into a model.
bool LoadStep(StepFigure& figure) {
    const double cpu = qm::bench::ProcessCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    Holder holder;
    const bool loaded =
        holder.facade.LoadFromFile(ContainerPath().c_str()) && holder.library->BuildModel() == 1;
    figure.wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    figure.cpuSeconds = qm::bench::ProcessCpuSeconds() - cpu;
    return loaded && holder.config->GetDataBaseCount() == 2 && holder.library->GetEcuCount() > 0;
}

void Report(benchmark::State& state, const StepFigure& figure, double peakMb) {
    const double megabytes = static_cast<double>(fs::file_size(ContainerPath())) / 1e6;
    state.SetIterationTime(figure.wallSeconds);
    state.counters["container_MB"] = megabytes;
    state.counters["MB_per_s"] = megabytes / figure.wallSeconds;
    state.counters["MB_per_cpu_s"] = megabytes / figure.cpuSeconds;
    state.counters["cpu_s"] = figure.cpuSeconds;
    state.counters["peak_RSS_MB"] = peakMb;
}

void RunBenchmark(benchmark::State& state, bool (*step)(StepFigure&)) {
    // Generated before the fork, so that no child pays for it.
    DbcPath();
    LdfPath();
    CddPath();
    for (auto _ : state) {
        double peakMb = 0.0;
        const StepFigure figure = RunFresh(step, &peakMb);
        if (!figure.ok) {
            state.SkipWithError("the step failed");
            return;
        }
        Report(state, figure, peakMb);
    }
}

void BM_ContainerSave(benchmark::State& state) {
    RunBenchmark(state, SaveStep);
}
BENCHMARK(BM_ContainerSave)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();

void BM_ContainerLoad(benchmark::State& state) {
    if (!fs::exists(ContainerPath())) {
        double ignored = 0.0;
        RunFresh(SaveStep, &ignored);
    }
    RunBenchmark(state, LoadStep);
}
BENCHMARK(BM_ContainerLoad)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
