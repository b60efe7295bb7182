#pragma once
// What differs between two diagnostic descriptions (CDD, ODX, PDX, folders of ODX files), on the
// JSON form of their models that "dump --json" prints: ECUs by short name, their services by
// qualifier with the request and response layouts, their DTCs by code.
#include <cstdint>
#include <iosfwd>

#include "format.h"

namespace qmtool {

struct DiagDiff {
    Json report;  // see docs/CLI.md ("diff --json" of two diagnostic files)
    uint64_t differences = 0;
};

// a and b are the "ecus" arrays of two dumps; a is the old side.
DiagDiff DiffDiagnostics(const Json& a, const Json& b);

void PrintDiagDiff(const Json& report, std::ostream& out);

}  // namespace qmtool
