// Whole loads of a generated 100 MB AUTOSAR 4 system description into the ARXML communication
// model, by the exact reader (argument 0) and by whole-document reading (argument 1), the reference
// resolution alone with one and two workers, and the peak memory of a load as a multiple of the
// file size.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "arxml_com/netconfig_arxml_file.h"
#include "common/arxml_generator.h"
#include "common/peak_memory.h"
#include "common/run_benchmarks.h"
#include "xml/reference_resolver.h"

namespace {

constexpr size_t kGeneratedBytes = 100u << 20;
constexpr uint32_t kSeed = 2026;

struct GeneratedFile {
    std::filesystem::path path;
    qm::bench::ArxmlSystemFigures figures;

    GeneratedFile() {
        path = std::filesystem::temp_directory_path() / "qm_bench_system.arxml";
        const std::string text = qm::bench::GenerateArxmlSystem(kGeneratedBytes, kSeed, &figures);
        std::ofstream(path, std::ios::binary) << text;
    }
    ~GeneratedFile() { std::filesystem::remove(path); }
};

const GeneratedFile& Generated() {
    static const GeneratedFile file;
    return file;
}

void BM_ArxmlLoad(benchmark::State& state) {
    const GeneratedFile& input = Generated();
    size_t pdus = 0;
    size_t signals = 0;
    size_t messages = 0;
    qm::arxml::ArxmlLoadTimes times;
    const auto mode = static_cast<int32_t>(state.range(0));
    for (auto _ : state) {
        NetConfigArxmlFile file;
        file.SetReadingMode(mode);
        if (!file.Load(input.path.string().c_str())) state.SkipWithError("load failed");
        pdus = file.GetPduCount();
        signals = 0;
        for (auto* pdu : file.Pdus()) signals += pdu->GetSignalCount();
        times = file.LoadTimes();
        messages = std::string(file.GetMessages()).size();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.figures.bytes));
    state.counters["pdus"] = static_cast<double>(pdus);
    state.counters["signals"] = static_cast<double>(signals);
    state.counters["message_bytes"] = static_cast<double>(messages);
    state.counters["parse_ms"] = times.parse;
    state.counters["resolve_ms"] = times.resolve;
    state.counters["read_ms"] = times.read;
}
BENCHMARK(BM_ArxmlLoad)
    ->Arg(kArxmlReadExact)
    ->Arg(kArxmlReadWholeDocument)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0)
    ->UseRealTime();

// One parsed document with its collected references, shared by the resolution benchmarks.
struct ParsedDocument {
    NanoXML root;
    qm::xml::ArxmlReferenceResolver resolver;

    ParsedDocument() {
        root.onChildParsed = resolver.MakeCallback();
        root.LoadFile(Generated().path.string().c_str());
    }
};

ParsedDocument& Parsed() {
    static ParsedDocument document;
    return document;
}

void BM_ArxmlResolve(benchmark::State& state) {
    ParsedDocument& document = Parsed();
    const auto workers = static_cast<unsigned>(state.range(0));
    for (auto _ : state) document.resolver.Resolve(&document.root, workers);
    state.SetItemsProcessed(
        static_cast<int64_t>(state.iterations() * document.resolver.PendingCount()));
    state.counters["references"] = static_cast<double>(document.resolver.PendingCount());
    state.counters["unresolved"] = static_cast<double>(document.resolver.Unresolved().size());
}
BENCHMARK(BM_ArxmlResolve)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->UseRealTime();

// Building the index and work list from a finished tree.
void BM_ArxmlCollectReferences(benchmark::State& state) {
    ParsedDocument& document = Parsed();
    size_t references = 0;
    for (auto _ : state) {
        qm::xml::ArxmlReferenceResolver resolver;
        resolver.CollectTree(&document.root);
        references = resolver.PendingCount();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * references));
}
BENCHMARK(BM_ArxmlCollectReferences)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The resident peak of one load above what the process held before it.
void ReportPeakMemory() {
    const GeneratedFile& input = Generated();
    qm::bench::LoadPeak peak;
    {
        NetConfigArxmlFile file;
        file.Load(input.path.string().c_str());
    }
    peak.Finish();
    const auto& f = input.figures;
    std::printf(
        "Generated AUTOSAR 4 system: %.1f MB, %zu clusters, %zu ECUs, %zu PDUs, %zu signals, "
        "%zu references\n",
        f.bytes / 1e6, f.clusters, f.ecus, f.pdus, f.signals, f.references);
    peak.Print(f.bytes);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    return qm::bench::RunBenchmarks(argc, argv, ReportPeakMemory);
}
