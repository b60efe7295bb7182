#pragma once
// The SOME/IP commands of the tool: the services, topology and data types of a set of ARXML
// files read into one database, and the C++ header of their services.
#include <string>
#include <vector>

#include "format.h"

namespace qmtool {

// "quillmere someip FILE... [--json]".
int RunSomeIp(const std::vector<std::string>& paths, const Options& options);
// "quillmere header FILE... [--service NAME] [-o OUT.h]".
int RunHeader(const std::vector<std::string>& paths, const std::string& service,
              const Options& options);

}  // namespace qmtool
