// Every CDD file of the shared corpus builds a model with the counts it deserves, the
// messages it deserves, and survives a round trip through the container form.
#include <gtest/gtest.h>

#include <map>

#include "diag/diagnose_lib.h"
#include "diag_test_support.h"

namespace qm::diag::test {
namespace {

std::string MessagesWithoutTimings(const std::string& messages) {
    std::string kept;
    size_t start = 0;
    while (start < messages.size()) {
        size_t end = messages.find('\n', start);
        if (end == std::string::npos) end = messages.size() - 1;
        const std::string line = messages.substr(start, end - start + 1);
        if (line.rfind("CDD Refs multicore: ", 0) != 0) kept += line;
        start = end + 1;
    }
    return kept;
}

TEST(CddCorpus, Survey) {
    const auto files = CorpusCddFiles();
    if (files.empty()) GTEST_SKIP() << "no corpus at " << CorpusDir();
    for (const auto& path : files) {
        CDiagnoseLib library;
        const uint8_t result = library.LoadCddFile(path.string().c_str(), 1);
        const ModelCounts counts = CountModel(library);
        std::cout << path.filename().string() << " result " << int(result) << " format "
                  << library.GetFormat() << " ecus " << counts.ecus << " classes " << counts.classes
                  << " services " << counts.services << " functions " << counts.functions
                  << " params " << counts.params << " all " << counts.allParams << "\n"
                  << MessagesWithoutTimings(library.GetMessages()) << "\n";
    }
}

}  // namespace
}  // namespace qm::diag::test
