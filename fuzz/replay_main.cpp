// Runs the fuzz targets of an ordinary build on files: `fuzz_replay TARGET PATH...` feeds every
// file (folders are walked) to TARGET's entry point. The suite replays the seeds this way, so
// that every target keeps compiling with the project's compiler and warnings and no seed
// regresses; a crash found by libFuzzer replays the same way under a debugger.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#define QM_FUZZ_TARGET(name) extern "C" int QmFuzz_##name(const uint8_t* data, size_t size);
#include "fuzz_targets.inc"
#undef QM_FUZZ_TARGET

namespace {

using Entry = int (*)(const uint8_t*, size_t);

struct Target {
    const char* name;
    Entry entry;
};

constexpr Target kTargets[] = {
#define QM_FUZZ_TARGET(name) {#name, QmFuzz_##name},
#include "fuzz_targets.inc"
#undef QM_FUZZ_TARGET
};

Entry Find(const char* name) {
    for (const Target& target : kTargets) {
        if (std::strcmp(target.name, name) == 0) return target.entry;
    }
    return nullptr;
}

// Files under the paths, folders walked in name order (so a run repeats).
std::vector<std::filesystem::path> FilesOf(char** paths, int count) {
    std::vector<std::filesystem::path> files;
    for (int i = 0; i < count; ++i) {
        const std::filesystem::path path(paths[i]);
        if (!std::filesystem::is_directory(path)) {
            files.push_back(path);
            continue;
        }
        std::vector<std::filesystem::path> found;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path)) {
            if (entry.is_regular_file()) found.push_back(entry.path());
        }
        std::sort(found.begin(), found.end());
        files.insert(files.end(), found.begin(), found.end());
    }
    return files;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: fuzz_replay TARGET PATH...\ntargets:");
        for (const Target& target : kTargets) std::fprintf(stderr, " %s", target.name);
        std::fprintf(stderr, "\n");
        return 2;
    }
    const Entry entry = Find(argv[1]);
    if (entry == nullptr) {
        std::fprintf(stderr, "fuzz_replay: no target '%s'\n", argv[1]);
        return 2;
    }
    const std::vector<std::filesystem::path> files = FilesOf(argv + 2, argc - 2);
    if (files.empty()) {
        std::fprintf(stderr, "fuzz_replay: no input files\n");
        return 2;
    }
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "fuzz_replay: cannot read %s\n", file.c_str());
            return 2;
        }
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        entry(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("%s: %zu inputs replayed\n", argv[1], files.size());
    return 0;
}
