#include "platform/dirsearch.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace qm::platform {

namespace {

// Splits "dir\sub/*.odx" into the directory "dir/sub" and the name pattern "*.odx".
void SplitPattern(std::string pattern, std::string& directory, std::string& namePattern) {
    std::replace(pattern.begin(), pattern.end(), '\\', '/');
    const auto slash = pattern.rfind('/');
    if (slash == std::string::npos) {
        directory = ".";
        namePattern = pattern;
        return;
    }
    directory = pattern.substr(0, slash);
    if (directory.empty()) directory = "/";
    namePattern = pattern.substr(slash + 1);
}

// Glob matching with "*" and "?". "*.*" matches every name, as on the original platform.
bool Matches(const std::string& name, const std::string& pattern) {
    if (pattern == "*.*" || pattern == "*") return true;
    size_t n = 0, p = 0, starP = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

}  // namespace

std::vector<DirEntry> FindFiles(const std::string& pattern) {
    std::vector<DirEntry> entries;
    FindFiles(pattern, entries);
    return entries;
}

bool FindFiles(const std::string& pattern, std::vector<DirEntry>& entries) {
    entries.clear();
    std::string directory, namePattern;
    SplitPattern(pattern, directory, namePattern);
    std::error_code error;
    std::filesystem::directory_iterator it(directory, error);
    if (error) return false;
    const std::string prefix = directory == "/" ? "/" : directory + "/";
    for (const auto& entry : it) {
        std::string name = entry.path().filename().string();
        if (!Matches(name, namePattern)) continue;
        std::error_code typeError;
        entries.push_back({prefix + name, name, entry.is_directory(typeError)});
    }
    // Directory order is arbitrary on this platform; sort so scans are reproducible.
    std::sort(entries.begin(), entries.end(),
              [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
    return !entries.empty() || Matches(".", namePattern) || Matches("..", namePattern);
}

}  // namespace qm::platform
