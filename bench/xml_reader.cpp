// Parse throughput of the XML reader on a generated 100 MB ARXML-like document and on every
// ARXML file of the shared corpus, its peak memory as a multiple of the input, and its time
// against pugixml's DOM parse of the same bytes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

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

// Resident memory figures of this process, in bytes.
size_t ReadStatusField(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) return std::stoul(line.substr(std::strlen(field))) * 1024;
    }
    return 0;
}

void ResetPeakResident() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

template <typename Function>
double BestSeconds(int runs, Function function) {
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        function();
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        best = std::min(best, elapsed.count());
    }
    return best;
}

// Peak memory of one parse (input buffer included, as LoadFile holds it) and the time ratio
// to pugixml, measured before the benchmarks run so that nothing else inflates the peak.
void ReportSummary() {
    const size_t before = ReadStatusField("VmRSS:");
    const std::string& input = GeneratedDocument();
    ResetPeakResident();
    size_t nodes = ParseWithNanoXml(input);
    const size_t peak = ReadStatusField("VmHWM:");
    const double megabytes = static_cast<double>(input.size()) / (1 << 20);
    std::printf("generated input: %.1f MB, %zu elements\n", megabytes, nodes + 1);
    std::printf("peak memory of a parse, input included: %.2f x input\n",
                static_cast<double>(peak - before) / static_cast<double>(input.size()));
    const double nano = BestSeconds(3, [&] { nodes = ParseWithNanoXml(input); });
    std::printf("NanoXML: %.3f s, %.0f MB/s\n", nano, megabytes / nano);
#ifdef QM_HAVE_PUGIXML
    const double pugi = BestSeconds(3, [&] { ParseWithPugixml(input); });
    std::printf("pugixml: %.3f s, %.0f MB/s; NanoXML / pugixml time: %.2f\n", pugi,
                megabytes / pugi, nano / pugi);
#endif
    std::fflush(stdout);
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
