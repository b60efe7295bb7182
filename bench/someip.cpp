// The SOME/IP database on a generated ~50 MB service description: the first load in a fresh
// process with its peak memory and the split per step, warm whole loads, and header generation
// of every service.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/peak_memory.h"
#include "common/run_benchmarks.h"
#include "common/someip_generator.h"
#include "someip/arxml_database.h"

namespace {

constexpr size_t kGeneratedBytes = 50u << 20;
constexpr uint32_t kSeed = 2026;

struct GeneratedFile {
    std::filesystem::path path;
    qm::bench::SomeIpFigures figures;

    GeneratedFile() {
        path = std::filesystem::temp_directory_path() / "qm_bench_someip.arxml";
        const std::string text =
            qm::bench::GenerateSomeIpDescription(kGeneratedBytes, kSeed, &figures);
        std::ofstream(path, std::ios::binary) << text;
    }
    ~GeneratedFile() { std::filesystem::remove(path); }
};

const GeneratedFile& Generated() {
    static const GeneratedFile file;
    return file;
}

bool LoadInto(CArxmlDatabase& db, int32_t mode = kSomeIpReadExact) {
    db.SetReadingMode(mode);
    const std::string path = Generated().path.string();
    const char* files[] = {path.c_str()};
    const bool ok = db.Load(files, 1);
    NanoXML::ClearMessageLog();
    return ok;
}

void SetSplit(benchmark::State& state, const qm::someip::LoadTimes& t) {
    state.counters["parse_ms"] = t.parse;
    state.counters["resolve_ms"] = t.resolve;
    state.counters["merge_survey_ms"] = t.merge;
    state.counters["ecus_ms"] = t.ecus;
    state.counters["ethernet_ms"] = t.ethernet + t.clusterPackage;
    state.counters["services_ms"] = t.services;
    state.counters["types_ms"] = t.araTypes + t.rizTypes + t.configurations;
    state.counters["structures_ms"] = t.structures;
}

void BM_SomeIpLoad(benchmark::State& state) {
    qm::someip::LoadTimes times;
    for (auto _ : state) {
        CArxmlDatabase db;
        if (!LoadInto(db)) state.SkipWithError("load failed");
        times = db.Times();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Generated().figures.bytes));
    SetSplit(state, times);
}
BENCHMARK(BM_SomeIpLoad)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

// The same load with whole-document reading on top of the described steps.
void BM_SomeIpLoadWholeDocument(benchmark::State& state) {
    qm::someip::LoadTimes times;
    for (auto _ : state) {
        CArxmlDatabase db;
        if (!LoadInto(db, kSomeIpReadWholeDocument)) state.SkipWithError("load failed");
        times = db.Times();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Generated().figures.bytes));
    SetSplit(state, times);
    state.counters["document_ms"] = times.document;
}
BENCHMARK(BM_SomeIpLoadWholeDocument)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

// The header of whole-document reading: every type and service of the description.
void BM_SomeIpServicesHeader(benchmark::State& state) {
    static CArxmlDatabase db;
    static const bool loaded = LoadInto(db, kSomeIpReadWholeDocument);
    if (!loaded) state.SkipWithError("load failed");
    size_t bytes = 0;
    for (auto _ : state) bytes = std::strlen(db.GenerateServicesHeader(nullptr));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.counters["header_bytes"] = static_cast<double>(bytes);
    state.counters["services"] = static_cast<double>(db.GetSomeIpServiceCount());
    state.counters["types"] = static_cast<double>(db.GetSomeIpTypeCount());
}
BENCHMARK(BM_SomeIpServicesHeader)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

void BM_SomeIpHeader(benchmark::State& state) {
    static CArxmlDatabase db;
    static const bool loaded = LoadInto(db);
    if (!loaded) state.SkipWithError("load failed");
    size_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        for (uint64_t e = 0; e < db.GetEcuCount(); ++e) {
            IEcu* ecu = db.GetEcu(e);
            for (uint64_t s = 0; s < ecu->GetServiceCount(); ++s) {
                bytes += std::strlen(ecu->GetService(s)->GenerateHeader());
            }
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.counters["header_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_SomeIpHeader)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

// The first load of the process, timed, with the resident peak above what the process held.
void ReportFreshLoad() {
    const GeneratedFile& input = Generated();
    qm::bench::LoadPeak peak;
    double seconds = 0;
    double cpuSeconds = 0;
    qm::someip::LoadTimes t;
    {
        CArxmlDatabase db;
        // CPU time beside wall time: on a shared machine the wall clock also counts waiting.
        const std::clock_t cpuStart = std::clock();
        const auto start = std::chrono::steady_clock::now();
        LoadInto(db);
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
        t = db.Times();
    }
    peak.Finish();
    const auto& f = input.figures;
    std::printf(
        "Generated SOME/IP description: %.1f MB, %zu services, %zu fields, %zu event groups, "
        "%zu structures, %zu connection bundles\n",
        f.bytes / 1e6, f.services, f.fields, f.eventGroups, f.structures, f.bundles);
    std::printf(
        "Fresh-process load: %.0f ms = %.1f MB/s, CPU %.0f ms = %.1f MB/s (parse %u, resolve %u, "
        "merge and survey %u, ECUs %u, Ethernet %u, services %u, ara %u, riz %u, structures %u, "
        "configurations %u ms)\n",
        seconds * 1000, f.bytes / 1e6 / seconds, cpuSeconds * 1000, f.bytes / 1e6 / cpuSeconds,
        t.parse, t.resolve, t.merge, t.ecus, t.ethernet + t.clusterPackage, t.services, t.araTypes,
        t.rizTypes, t.structures, t.configurations);
    peak.Print(f.bytes);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    return qm::bench::RunBenchmarks(argc, argv, ReportFreshLoad);
}
