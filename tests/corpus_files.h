#pragma once
// The real files of one corpus folder, read in place; an absent folder lists nothing, so the
// tests that need it skip.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

namespace qmtest {

// QM_SHARED_DIR in the environment points a build elsewhere at the shared folder.
inline std::filesystem::path CorpusFolder(const std::string& format) {
    const char* shared = std::getenv("QM_SHARED_DIR");
    return std::filesystem::path(shared ? shared : QM_SHARED_DIR) / "corpus" / format;
}

// The files of the folder whose extension is one of `extensions`, sorted by path.
inline std::vector<std::filesystem::path> CorpusFiles(
    const std::string& format, std::initializer_list<std::string> extensions) {
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(CorpusFolder(format), error)) {
        const std::string extension = entry.path().extension().string();
        if (std::find(extensions.begin(), extensions.end(), extension) != extensions.end()) {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

// The same list as path strings.
inline std::vector<std::string> CorpusPaths(const std::string& format,
                                            std::initializer_list<std::string> extensions) {
    std::vector<std::string> paths;
    for (const auto& file : CorpusFiles(format, extensions)) paths.push_back(file.string());
    return paths;
}

// A test name made of a file name or label: every character but letters and digits becomes '_'.
inline std::string TestName(std::string name) {
    for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

}  // namespace qmtest
