// PDX archives: the generated ODX document set (about 100 MB, see common/odx_generator.h)
// packed once into one archive, then LoadPdxFile + BuildModel, split into inflate, parse,
// reference resolution and build, with CPU time beside wall time and the peak resident memory.
//
// "bench_diag_pdx --pack FILE" writes the archive; "bench_diag_pdx --fresh FILE" loads and
// builds it in this new process and prints one line; without these options the benchmark
// packs the archive to the temporary directory, runs one fresh process on it and then the
// warm Google Benchmark case.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "common/odx_generator.h"
#include "common/peak_memory.h"
#include "common/timing.h"
#include "diag/diagnose_lib.h"

namespace {

constexpr size_t kTargetBytes = 100u << 20;

struct PackedSet {
    std::string path;
    qm::bench::OdxFigures figures;
    size_t archiveBytes = 0;
};

// Packs the generated documents into one deflated archive; false when libzip refuses.
bool Pack(const std::string& path, PackedSet& packed) {
    const auto documents = qm::bench::GenerateOdxSet(kTargetBytes, 42, &packed.figures);
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (archive == nullptr) return false;
    for (const auto& document : documents) {
        zip_source_t* source =
            zip_source_buffer(archive, document.content.data(), document.content.size(), 0);
        if (zip_file_add(archive, document.name.c_str(), source, ZIP_FL_OVERWRITE) < 0) {
            zip_discard(archive);
            return false;
        }
    }
    // The buffers must live until the archive is written.
    if (zip_close(archive) != 0) return false;
    packed.path = path;
    packed.archiveBytes = std::filesystem::file_size(path);
    return true;
}

// The milliseconds a "<prefix>%dms" line of the messages reports, 0 when absent.
double MessageMilliseconds(const std::string& messages, const char* prefix) {
    const size_t at = messages.find(prefix);
    return at == std::string::npos ? 0.0 : std::atof(messages.c_str() + at + std::strlen(prefix));
}

struct Figures {
    double wall = 0, cpu = 0, inflate = 0, parse = 0, resolution = 0, build = 0;
    uint64_t ecus = 0;
    uint64_t inflated = 0;
};

Figures LoadAndBuild(const std::string& path) {
    Figures figures;
    const double cpuStart = qm::bench::ProcessCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    CDiagnoseLib library;
    library.LoadPdxFile(path.c_str(), 0);
    const double load = qm::bench::SecondsSince(start);
    const auto buildStart = std::chrono::steady_clock::now();
    library.BuildModel();
    const double build = qm::bench::SecondsSince(buildStart);
    figures.wall = qm::bench::SecondsSince(start);
    figures.cpu = qm::bench::ProcessCpuSeconds() - cpuStart;
    const std::string messages = library.GetMessages();
    figures.parse = library.TimeXml() / 1000.0;
    figures.inflate = load - figures.parse;
    figures.resolution = MessageMilliseconds(messages, "ODX Refs multicore: ") / 1000.0;
    figures.build = build - figures.resolution;
    figures.ecus = library.GetEcuCount();
    for (size_t at = messages.find("Uncompressed: "); at != std::string::npos;
         at = messages.find("Uncompressed: ", at + 1)) {
        figures.inflated += std::strtoull(messages.c_str() + at + 14, nullptr, 10);
    }
    return figures;
}

int RunFresh(const std::string& path) {
    const Figures f = LoadAndBuild(path);
    const double megabytes = static_cast<double>(f.inflated) / 1e6;
    std::printf(
        "fresh process: %.1f MB of ODX from a %.1f MB archive, %llu ECUs: %.2f s wall (%.1f MB/s), "
        "%.2f s CPU; inflate %.2f s, parse %.2f s, resolution %.2f s, build %.2f s; peak RSS "
        "%.0f MB (%.2fx the ODX)\n",
        megabytes, static_cast<double>(std::filesystem::file_size(path)) / 1e6,
        static_cast<unsigned long long>(f.ecus), f.wall, megabytes / f.wall, f.cpu, f.inflate,
        f.parse, f.resolution, f.build, qm::bench::PeakMegabytes(),
        qm::bench::PeakMegabytes() / megabytes);
    return 0;
}

const PackedSet& Packed() {
    static PackedSet packed = [] {
        PackedSet set;
        const std::string path =
            (std::filesystem::temp_directory_path() / "qm_bench_odx.pdx").string();
        if (!Pack(path, set)) std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return set;
    }();
    return packed;
}

// One load in a new process, so that the figure is not helped by a warm allocator.
void RunFreshChild(const char* self, const std::string& path) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl(self, self, "--fresh", path.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    if (child > 0) ::waitpid(child, &status, 0);
}

void BM_PdxLoadAndBuild(benchmark::State& state) {
    const PackedSet& packed = Packed();
    Figures last;
    for (auto _ : state) {
        last = LoadAndBuild(packed.path);
        benchmark::DoNotOptimize(last.ecus);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * packed.figures.bytes));
    state.counters["archive_MB"] = static_cast<double>(packed.archiveBytes) / 1e6;
    state.counters["ecus"] = static_cast<double>(last.ecus);
    state.counters["inflate_s"] = last.inflate;
    state.counters["parse_s"] = last.parse;
    state.counters["resolution_s"] = last.resolution;
    state.counters["build_s"] = last.build;
    state.counters["cpu_s"] = last.cpu;
    state.counters["peak_MB"] = qm::bench::PeakMegabytes();
}
BENCHMARK(BM_PdxLoadAndBuild)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--fresh") == 0) return RunFresh(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "--pack") == 0) {
        PackedSet packed;
        if (!Pack(argv[2], packed)) return 1;
        std::printf("%s: %zu documents, %.1f MB of ODX, %.1f MB archive\n", argv[2],
                    packed.figures.documents, static_cast<double>(packed.figures.bytes) / 1e6,
                    static_cast<double>(packed.archiveBytes) / 1e6);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    if (!Packed().path.empty()) RunFreshChild("/proc/self/exe", Packed().path);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
