#pragma once
// The container file in the tool: "convert IN... OUT.xml" gathers network files, diagnostic
// files and container files into one container.
#include <string>
#include <vector>

#include "format.h"

namespace qmtool {

// True when the file's first element is "KOVR".
bool IsContainerFile(const std::string& path);

// Loads every input into one facade (DBC, LDF and ARXML files into one network configuration;
// CDD, ODX and PDX files and ODX folders into one diagnostic library, built once after the last;
// container files through LoadFromFile) and saves the container. The files are read as the
// other commands read them: as written, or with the described readers under --exact (and CDD
// texts in --language). Throws ToolError.
int ConvertToContainer(const std::vector<std::string>& inputs, const std::string& out,
                       const Options& options);

}  // namespace qmtool
