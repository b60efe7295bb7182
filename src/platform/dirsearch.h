#pragma once
#include <string>
#include <vector>

namespace qm::platform {

// Entries of a directory matching a pattern such as "dir\*.*", "dir/*" or "dir/*.odx".
// Patterns may use "\" or "/"; the returned paths use "/" and keep a leading "/".
struct DirEntry {
    std::string path;  // directory part of the pattern + "/" + name
    std::string name;
    bool isDirectory = false;
};
std::vector<DirEntry> FindFiles(const std::string& pattern);

}  // namespace qm::platform
