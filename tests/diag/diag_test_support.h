#pragma once
// Helpers shared by the diagnostic tests: corpus paths, temporary files, and one comparison
// of two models through their interfaces.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "quillmere/diag.h"

namespace qm::diag::test {

// The shared folder beside the checkout, or the one QM_SHARED_DIR names in the environment (a
// worktree placed elsewhere).
inline std::filesystem::path CorpusDir() {
    const char* shared = std::getenv("QM_SHARED_DIR");
    return std::filesystem::path(shared && *shared ? shared : QM_SHARED_DIR) / "corpus" / "diag";
}

inline std::vector<std::filesystem::path> CorpusCddFiles() {
    std::vector<std::filesystem::path> files;
    if (!std::filesystem::is_directory(CorpusDir())) return files;
    for (const auto& entry : std::filesystem::directory_iterator(CorpusDir())) {
        if (entry.path().extension() == ".cdd") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// A file in the test's temporary directory, removed at destruction.
class TempFile {
  public:
    explicit TempFile(const std::string& name, const std::string& content = "")
        : path_(std::filesystem::temp_directory_path() /
                ("qm_diag_" + std::to_string(::getpid()) + "_" + name)) {
        if (!content.empty()) {
            std::ofstream out(path_, std::ios::binary);
            out << content;
        }
    }
    ~TempFile() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    std::string Path() const { return path_.string(); }
    std::string Read() const {
        std::ifstream in(path_, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

  private:
    std::filesystem::path path_;
};

// What the container form carries must read back the same: compares every such getter of
// two models, ECU by ECU. Byte order, display format, scaling, range and default text are not
// part of the form and are left out.
void ExpectSameModel(IDiagnoseLib& expected, IDiagnoseLib& actual);

// Total counts over a model, for pinning corpus files.
struct ModelCounts {
    uint64_t ecus = 0, classes = 0, services = 0, functions = 0, params = 0, allParams = 0;
};
ModelCounts CountModel(IDiagnoseLib& library);

}  // namespace qm::diag::test
