#pragma once
// Helpers shared by the diagnostic tests: corpus paths, temporary files, and one comparison
// of two models through their interfaces.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "corpus_files.h"
#include "quillmere/diag.h"

namespace qm::diag::test {

// The shared folder beside the checkout, or the one QM_SHARED_DIR names in the environment (a
// worktree placed elsewhere).
inline std::filesystem::path CorpusDir() {
    const char* shared = std::getenv("QM_SHARED_DIR");
    return std::filesystem::path(shared && *shared ? shared : QM_SHARED_DIR) / "corpus" / "diag";
}

inline std::vector<std::filesystem::path> CorpusCddFiles() {
    return qmtest::CorpusFiles("diag", {".cdd"});
}

// The door ECU example the project ships.
inline std::string ExamplePath() {
    return std::string(QM_SOURCE_DIR) + "/examples/door_ecu.cdd";
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

// Look-ups the tests share: the first service of the ECU the predicate accepts, by name, by
// qualifier over all ECUs, the ECU of a short name, the services of an ECU, a function's bytes.
template <typename Accept>
IUDSService* FindService(IECU* ecu, Accept accept) {
    for (uint64_t c = 0; ecu != nullptr && c < ecu->GetFunctionalClassCount(); ++c) {
        IFunctionalClass* cls = ecu->GetFunctionalClass(c);
        for (uint64_t s = 0; s < cls->GetServiceCount(); ++s) {
            if (accept(cls->GetService(s))) return cls->GetService(s);
        }
    }
    return nullptr;
}
inline IUDSService* ServiceOf(IECU* ecu, const std::string& name) {
    return FindService(ecu, [&](IUDSService* s) { return name == s->GetName(); });
}
inline IUDSService* ServiceByQual(IECU* ecu, const std::string& qual) {
    return FindService(ecu, [&](IUDSService* s) { return qual == s->GetQual(); });
}
inline IUDSService* ServiceByQual(IDiagnoseLib& library, const std::string& qual) {
    for (uint64_t e = 0; e < library.GetEcuCount(); ++e) {
        if (IUDSService* found = ServiceByQual(library.GetEcu(e), qual)) return found;
    }
    return nullptr;
}
inline IECU* EcuNamed(IDiagnoseLib& library, const std::string& name) {
    for (uint64_t i = 0; i < library.GetEcuCount(); ++i) {
        if (name == library.GetEcu(i)->GetShortName()) return library.GetEcu(i);
    }
    return nullptr;
}
inline uint64_t ServiceCount(IECU* ecu) {
    uint64_t count = 0;
    for (uint64_t c = 0; c < ecu->GetFunctionalClassCount(); ++c)
        count += ecu->GetFunctionalClass(c)->GetServiceCount();
    return count;
}
inline std::vector<uint8_t> EncodedBytes(IUDSFunction* function) {
    std::vector<uint8_t> bytes(function->Encode(nullptr, 0));
    function->Encode(bytes.data(), bytes.size());
    return bytes;
}
// Bytes as hex ("2E0102", or with a separator "2E 01 02") and back (blanks ignored).
inline std::string Hex(const std::vector<uint8_t>& bytes, const char* separator = "") {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (uint8_t byte : bytes) {
        if (!out.empty()) out += separator;
        out += {kDigits[byte >> 4], kDigits[byte & 15]};
    }
    return out;
}
inline std::vector<uint8_t> BytesOfHex(const std::string& hex) {
    std::string digits;
    for (char c : hex) {
        if (c != ' ') digits += c;
    }
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < digits.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return bytes;
}

// Total counts over a model, for pinning corpus files.
struct ModelCounts {
    uint64_t ecus = 0, classes = 0, services = 0, functions = 0, params = 0, allParams = 0;
};
ModelCounts CountModel(IDiagnoseLib& library);

}  // namespace qm::diag::test
