#pragma once
// PDX archives: ZIP files holding ODX documents. Every ODX member is inflated into memory,
// parsed, and its "ODX" roots are attached under the library's source tree.
#include <cstdint>
#include <string>

class CDiagnoseLib;

namespace qm::diag {

// How far an archive may inflate, in bytes, for an archive of archiveSize bytes: a member
// that claims or inflates to more than what is left of this budget is refused.
uint64_t PdxInflationBudget(uint64_t archiveSize);

// Loads the ODX members of the archive at path; 1 when every ODX member was read, 0 when the
// archive cannot be opened or a member failed. Runs no build.
uint8_t LoadPdxArchive(CDiagnoseLib& library, const std::string& path);

}  // namespace qm::diag
