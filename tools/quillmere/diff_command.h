#pragma once
// "diff A B": what differs between two network descriptions (DBC, LDF, ARXML, in any pairing)
// or two diagnostic descriptions (CDD, ODX, PDX, folders of ODX files).
#include <filesystem>
#include <iosfwd>
#include <string>

#include "format.h"

namespace qmtool {

enum DiffExit { kDiffEqual = 0, kDiffDifferent = 1 };

// Exit 0 equal, 1 different; a file that cannot be read is a ToolError (exit 2).
int RunDiff(const std::string& a, const std::string& b, const Options& options);

// For "quillmere demo": a frame layout, a DBC against an edited copy, and an ARXML cluster
// against the DBC that convert makes from it.
void DemoDiffAndLayout(const std::filesystem::path& examplesDir, std::ostream& out);

}  // namespace qmtool
