#pragma once
// The ODX build: turns every attached "ODX" tree of a diagnostic library into ECUs.
class CDiagnoseLib;

namespace qm::diag {

// Resolves the references of all attached documents, then builds an ECU from every base and
// ECU variant of each "ODX" tree; true when at least one "ODX" tree was there to build.
bool BuildOdx(CDiagnoseLib& library);

}  // namespace qm::diag
