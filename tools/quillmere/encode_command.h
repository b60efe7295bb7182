#pragma once
// "quillmere encode DB FRAME SIGNAL=VALUE... [--raw]": the payload of one frame of a DBC, LDF or
// ARXML file, made by the same frame codec that decodes it.
#include <string>
#include <vector>

#include "format.h"

namespace qmtool {

int RunEncode(const std::string& db, const std::string& frame,
              const std::vector<std::string>& assignments, bool raw, const Options& options);

}  // namespace qmtool
