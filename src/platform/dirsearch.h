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
// The same search, telling whether it succeeded the way a first-file search does: the folder
// could be read and something matched, where the "." and ".." entries this platform does not
// list count as matches (so "dir/*.*" of an empty folder succeeds, "dir/*.odx" of it fails).
bool FindFiles(const std::string& pattern, std::vector<DirEntry>& entries);

}  // namespace qm::platform
