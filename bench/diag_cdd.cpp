// The CDD reader on a generated 50 MB file (many instances, data types with multilingual value
// tables, templates and protocol services): the whole load plus build, its split into parse,
// reference resolution and build, and grouping and encoding per service.
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/cdd_generator.h"
#include "common/diag_counts.h"
#include "common/peak_memory.h"
#include "common/timing.h"
#include "diag/diagnose_lib.h"

namespace {

constexpr size_t kTargetBytes = 50u << 20;

struct GeneratedFile {
    std::string path;
    qm::bench::CddFigures figures;
};

const GeneratedFile& Generated() {
    static const GeneratedFile file = [] {
        GeneratedFile generated;
        generated.path = (std::filesystem::temp_directory_path() / "qm_bench_diag.cdd").string();
        const std::string text = qm::bench::GenerateCdd(kTargetBytes, 42, &generated.figures);
        std::ofstream(generated.path, std::ios::binary) << text;
        return generated;
    }();
    return file;
}

// Parse (LoadCddFile with process 0) and build (BuildModel, whose reference resolution is
// reported in the messages) timed apart; the first run is the fresh-process figure.
void BM_CddLoadAndBuild(benchmark::State& state) {
    const GeneratedFile& file = Generated();
    double parse = 0, build = 0, resolve = 0;
    uint64_t services = 0;
    for (auto _ : state) {
        CDiagnoseLib library;
        auto start = std::chrono::steady_clock::now();
        library.LoadCddFile(file.path.c_str(), 0);
        parse = qm::bench::SecondsSince(start);
        start = std::chrono::steady_clock::now();
        library.BuildModel();
        build = qm::bench::SecondsSince(start);
        const std::string messages = library.GetMessages();
        const size_t at = messages.find("CDD Refs multicore: ");
        resolve = at == std::string::npos ? 0 : std::stod(messages.substr(at + 20)) / 1000.0;
        services = qm::bench::ServiceCount(library);
        state.SetIterationTime(parse + build);
    }
    const double megabytes = static_cast<double>(file.figures.bytes) / 1e6;
    state.counters["MB"] = megabytes;
    state.counters["MB/s"] = megabytes / (parse + build);
    state.counters["parse_ms"] = parse * 1000;
    state.counters["resolve_ms"] = resolve * 1000;
    state.counters["build_ms"] = (build - resolve) * 1000;
    state.counters["services"] = static_cast<double>(services);
    state.counters["peak_MB"] = qm::bench::PeakMegabytes();
}
BENCHMARK(BM_CddLoadAndBuild)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CddGroupingAndEncode(benchmark::State& state) {
    const GeneratedFile& file = Generated();
    CDiagnoseLib library;
    library.LoadCddFile(file.path.c_str(), 1);
    const double services = static_cast<double>(qm::bench::ServiceCount(library));
    double grouping = 0, encoding = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        library.SetGrouping(1);
        grouping = qm::bench::SecondsSince(start);
        start = std::chrono::steady_clock::now();
        uint8_t buffer[256];
        uint64_t bytes = 0;
        IECU* ecu = library.GetEcu(0);
        for (uint64_t c = 0; c < ecu->GetFunctionalClassCount(); ++c) {
            IFunctionalClass* cls = ecu->GetFunctionalClass(c);
            for (uint64_t s = 0; s < cls->GetServiceCount(); ++s) {
                bytes += cls->GetService(s)->GetRequest(0)->Encode(buffer, sizeof buffer);
            }
        }
        benchmark::DoNotOptimize(bytes);
        encoding = qm::bench::SecondsSince(start);
        state.SetIterationTime(grouping + encoding);
    }
    state.counters["grouping_us_per_service"] = grouping * 1e6 / services;
    state.counters["encode_us_per_service"] = encoding * 1e6 / services;
}
BENCHMARK(BM_CddGroupingAndEncode)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
