#pragma once
// The CDD build: turns every attached "CANDELA" tree of a diagnostic library into ECUs.
#include <cstdint>

class CDiagnoseLib;

namespace qm::diag {

// Builds the ECUs and external documents of every "CANDELA" child of the library's source
// tree; 1 when at least one was processed. Only one CDD build runs at a time in the process.
uint32_t BuildCdd(CDiagnoseLib& library);

}  // namespace qm::diag
