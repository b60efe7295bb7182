#pragma once
// "quillmere generate-c DB -o DIR [--prefix NAME]": C99 code for the frames of a DBC, LDF or
// ARXML file, made from the same frame codecs that decode and encode use.
#include <string>

#include "format.h"

namespace qmtool {

// Writes DIR/<prefix>.h and DIR/<prefix>.c; prefix "" takes the file's name.
int RunGenerateC(const std::string& db, const std::string& directory, const std::string& prefix,
                 const Options& options);

}  // namespace qmtool
