#pragma once
// Counts over a built diagnostic model that the diagnostic benchmarks report.
#include <cstdint>

#include "diag/diagnose_lib.h"

namespace qm::bench {

// The services of every functional class of every ECU.
inline uint64_t ServiceCount(CDiagnoseLib& library) {
    uint64_t count = 0;
    for (uint64_t e = 0; e < library.GetEcuCount(); ++e) {
        IECU* ecu = library.GetEcu(e);
        for (uint64_t c = 0; c < ecu->GetFunctionalClassCount(); ++c) {
            count += ecu->GetFunctionalClass(c)->GetServiceCount();
        }
    }
    return count;
}

}  // namespace qm::bench
