// Parse throughput of the XML reader on a generated 100 MB ARXML-like document and on every
// ARXML file of the shared corpus, its peak memory as a multiple of the input, and its time
// against pugixml's DOM parse of the same bytes.
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/cdd_generator.h"
#include "common/peak_memory.h"
#include "common/timing.h"
#include "common/xml_generator.h"
#include "quillmere/xml.h"

#ifdef QM_HAVE_PUGIXML
#include <pugixml.hpp>
#endif

namespace {

constexpr size_t kGeneratedBytes = 100u << 20;

const std::string& GeneratedDocument() {
    static const std::string document = qm::bench::GenerateArxmlLikeDocument(kGeneratedBytes, 42);
    return document;
}

size_t ParseWithNanoXml(const std::string& input) {
    NanoXML root;
    root.Parse(input.data(), false, input.size(), 0, 0);
    return root.CountNodes();
}

#ifdef QM_HAVE_PUGIXML
bool ParseWithPugixml(const std::string& input) {
    pugi::xml_document document;
    return document.load_buffer(input.data(), input.size());
}
#endif

void BM_NanoXmlGenerated(benchmark::State& state) {
    const std::string& input = GeneratedDocument();
    for (auto _ : state) benchmark::DoNotOptimize(ParseWithNanoXml(input));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}
BENCHMARK(BM_NanoXmlGenerated)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Small elements with several attributes each, as CDD files have them.
const std::string& GeneratedAttributeHeavyDocument() {
    static const std::string document = qm::bench::GenerateCdd(20u << 20, 42, nullptr);
    return document;
}

void BM_NanoXmlAttributeHeavy(benchmark::State& state) {
    const std::string& input = GeneratedAttributeHeavyDocument();
    for (auto _ : state) benchmark::DoNotOptimize(ParseWithNanoXml(input));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}
BENCHMARK(BM_NanoXmlAttributeHeavy)->Unit(benchmark::kMillisecond)->MinTime(2.0);

#ifdef QM_HAVE_PUGIXML
void BM_PugixmlGenerated(benchmark::State& state) {
    const std::string& input = GeneratedDocument();
    for (auto _ : state) benchmark::DoNotOptimize(ParseWithPugixml(input));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}
BENCHMARK(BM_PugixmlGenerated)->Unit(benchmark::kMillisecond)->MinTime(2.0);
#endif

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void RegisterCorpusBenchmarks() {
    const std::filesystem::path dir = std::filesystem::path(QM_SHARED_DIR) / "corpus" / "arxml";
    if (!std::filesystem::is_directory(dir)) return;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() == ".arxml") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
        auto content = std::make_shared<std::string>(ReadFile(file));
        benchmark::RegisterBenchmark(
            ("BM_NanoXmlCorpus/" + file.filename().string()).c_str(),
            [content](benchmark::State& state) {
                for (auto _ : state) benchmark::DoNotOptimize(ParseWithNanoXml(*content));
                state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * content->size()));
            });
    }
}

struct Timing {
    double parse = 1e9;  // building the tree
    double total = 1e9;  // building and freeing it
};

Timing BestNanoXmlTiming(const std::string& input, int runs) {
    Timing best;
    for (int i = 0; i < runs; ++i) {
        const double start = qm::bench::ThreadCpuSeconds();
        auto root = std::make_unique<NanoXML>();
        root->Parse(input.data(), false, input.size(), 0, 0);
        const double parsed = qm::bench::ThreadCpuSeconds();
        root.reset();
        const double freed = qm::bench::ThreadCpuSeconds();
        best.parse = std::min(best.parse, parsed - start);
        best.total = std::min(best.total, freed - start);
    }
    return best;
}

// Peak resident memory of one parse, the input buffer included (as LoadFile holds it), as a
// multiple of the input size.
double PeakMultiple(const std::string& input, size_t& elements) {
    malloc_trim(0);  // freed memory kept by the allocator would hide the growth
    qm::bench::LoadPeak peak;
    elements = ParseWithNanoXml(input) + 1;
    peak.Finish();
    const double bytes = static_cast<double>(input.size());
    return (peak.GrowthBytes() + bytes) / bytes;
}

void ReportOne(const std::string& label, const std::string& input, int runs) {
    const double megabytes = static_cast<double>(input.size()) / (1 << 20);
    size_t elements = 0;
    const double peak = PeakMultiple(input, elements);
    const Timing nano = BestNanoXmlTiming(input, runs);
    std::printf("%-34s %7.2f MB %5.1f B/element", label.c_str(), megabytes,
                static_cast<double>(input.size()) / static_cast<double>(elements));
    // Resident-set figures mean little for inputs that fit in memory the allocator kept.
    if (input.size() >= (16u << 20)) std::printf("  peak %.2f x input", peak);
    std::printf("  parse %.4f s (%.0f MB/s)  parse+free %.4f s", nano.parse, megabytes / nano.parse,
                nano.total);
#ifdef QM_HAVE_PUGIXML
    double pugi = 1e9;
    for (int i = 0; i < runs; ++i) {
        const double start = qm::bench::ThreadCpuSeconds();
        ParseWithPugixml(input);
        pugi = std::min(pugi, qm::bench::ThreadCpuSeconds() - start);
    }
    std::printf("  pugixml %.4f s  ratio parse %.2f, parse+free %.2f", pugi, nano.parse / pugi,
                nano.total / pugi);
#endif
    std::printf("\n");
    std::fflush(stdout);
}

// Figures measured before the benchmarks run, so that nothing else inflates the peak.
void ReportSummary() {
    const std::string& input = GeneratedDocument();
    ReportOne("generated ARXML-like document", input, 3);
    const std::filesystem::path dir = std::filesystem::path(QM_SHARED_DIR) / "corpus" / "arxml";
    if (!std::filesystem::is_directory(dir)) return;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".arxml" || entry.file_size() < (100u << 10)) continue;
        ReportOne(entry.path().filename().string(), ReadFile(entry.path()), 10);
    }
}

}  // namespace

int main(int argc, char** argv) {
    ReportSummary();
    RegisterCorpusBenchmarks();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
