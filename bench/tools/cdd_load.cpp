// One CDD load and build in this (fresh) process, for profiling and the fresh-process figures
// of the CDD reader: processor time and peak memory of parse, reference resolution and build.
//   qm_cdd_load FILE.cdd
#include <sys/resource.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>

#include "common/peak_memory.h"
#include "common/timing.h"
#include "diag/diag_param.h"
#include "diag/diagnose_lib.h"

namespace {

// What the model holds: services, functions, parameters (with sub and conditional ones) and
// value-table entries.
struct ModelCounts {
    uint64_t services = 0, functions = 0, params = 0, values = 0;

    void Param(IParam* param) {
        ++params;
        values += static_cast<CParam*>(param)->valueTable.size();
        for (uint64_t i = 0; i < param->GetSubParamCount(); ++i) Param(param->GetSubParam(i));
        for (const auto& condition : static_cast<CParam*>(param)->conditionalParams)
            Param(condition.get());
    }
    void Function(IUDSFunction* function) {
        if (function == nullptr) return;
        ++functions;
        for (uint64_t i = 0; i < function->GetParamCount(); ++i) Param(function->GetParam(i));
    }
};

ModelCounts Count(CDiagnoseLib& library) {
    ModelCounts counts;
    for (uint64_t e = 0; e < library.GetEcuCount(); ++e) {
        IECU* ecu = library.GetEcu(e);
        for (uint64_t c = 0; c < ecu->GetFunctionalClassCount(); ++c) {
            IFunctionalClass* cls = ecu->GetFunctionalClass(c);
            for (uint64_t s = 0; s < cls->GetServiceCount(); ++s) {
                IUDSService* service = cls->GetService(s);
                ++counts.services;
                counts.Function(service->GetRequest(0));
                counts.Function(service->GetPositiveResponse(0));
                counts.Function(service->GetNegativeResponse(0));
            }
        }
    }
    return counts;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: qm_cdd_load FILE.cdd\n");
        return 2;
    }
    const double megabytes = static_cast<double>(std::filesystem::file_size(argv[1])) / 1e6;
    const double start = qm::bench::ProcessCpuSeconds();
    CDiagnoseLib library;
    library.LoadCddFile(argv[1], 0);
    const double parsed = qm::bench::ProcessCpuSeconds();
    const double parsePeak = qm::bench::PeakMegabytes();
    library.BuildModel();
    const double built = qm::bench::ProcessCpuSeconds();
    const std::string messages = library.GetMessages();
    const size_t at = messages.find("CDD Refs multicore: ");
    const double resolveMs = at == std::string::npos ? 0.0 : std::stod(messages.substr(at + 20));
    const double total = built - start;
    std::printf(
        "%.1f MB: cpu %.3f s (%.1f MB/s) = parse %.3f + build %.3f (of it resolution %.3f); "
        "peak %.0f MB after parse, %.0f MB at end (%.2fx the file); %llu ECUs\n",
        megabytes, total, megabytes / total, parsed - start, built - parsed, resolveMs / 1000.0,
        parsePeak, qm::bench::PeakMegabytes(), qm::bench::PeakMegabytes() / megabytes,
        static_cast<unsigned long long>(library.GetEcuCount()));
    const ModelCounts counts = Count(library);
    std::printf("model: %llu services, %llu functions, %llu parameters, %llu value-table entries\n",
                static_cast<unsigned long long>(counts.services),
                static_cast<unsigned long long>(counts.functions),
                static_cast<unsigned long long>(counts.params),
                static_cast<unsigned long long>(counts.values));
    return 0;
}
