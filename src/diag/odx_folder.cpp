#include "diag/odx_folder.h"

#include <filesystem>
#include <system_error>
#include <unordered_set>
#include <vector>

#include "diag/diagnose_lib.h"
#include "platform/dirsearch.h"

namespace qm::diag {

namespace {

std::string UpperCased(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    }
    return text;
}

class FolderScan {
  public:
    FolderScan(CDiagnoseLib& library, bool recursive) : library_(library), recursive_(recursive) {}

    bool Scan(const std::string& pattern) {
        library_.AppendMessage("Analysing folder: " + pattern + "\r\n");
        std::vector<platform::DirEntry> entries;
        if (!platform::FindFiles(pattern, entries)) return false;
        const std::string folder = PatternFolder(pattern);
        for (const platform::DirEntry& entry : entries) {
            if (entry.isDirectory) {
                if (entry.name == "." || entry.name == "..") continue;
                if (recursive_) ScanSubfolder(folder + entry.name);
                continue;
            }
            AddFile(entry.name, folder + entry.name);
        }
        return true;
    }

    void MarkVisited(const std::string& folder) {
        std::error_code error;
        const auto real = std::filesystem::canonical(folder.empty() ? "." : folder, error);
        if (!error) visited_.insert(real.string());
    }

  private:
    // A folder reached twice through links (a link to a parent, say) is scanned only once,
    // so a loop of links ends instead of growing the path until it no longer opens.
    void ScanSubfolder(const std::string& path) {
        std::error_code error;
        const std::filesystem::path real = std::filesystem::canonical(path, error);
        if (!error && !visited_.insert(real.string()).second) return;
        Scan(path + "/*.*");
    }

    void AddFile(const std::string& name, const std::string& path) {
        if (!IsOdxFolderFile(name, path)) return;
        if (library_.AddPendingFile(path)) {
            library_.AppendMessage("Added file: " + path + "\r\n");
        } else {
            library_.AppendMessage("File already on list: " + path + "\r\n");
        }
    }

    CDiagnoseLib& library_;
    bool recursive_;
    std::unordered_set<std::string> visited_;
};

}  // namespace

std::string PatternFolder(const std::string& pattern) {
    std::vector<std::string> pieces(1);
    for (char c : pattern) {
        if (c == '\\' || c == '/') {
            pieces.emplace_back();
        } else {
            pieces.back() += c;
        }
    }
    std::string folder = !pattern.empty() && (pattern[0] == '/') ? "/" : "";
    for (size_t i = 0; i + 1 < pieces.size(); ++i) {
        if (!pieces[i].empty()) folder += pieces[i] + "/";
    }
    return folder;
}

bool IsOdxFolderFile(const std::string& name, const std::string& path) {
    const size_t dot = name.rfind('.');
    const std::string last = dot == std::string::npos ? name : name.substr(dot + 1);
    if (UpperCased(last).find("ODX") == std::string::npos) return false;
    return NanoXML::IsXmlFile(path.c_str());
}

bool ScanOdxFolder(CDiagnoseLib& library, const std::string& pattern, bool recursive) {
    FolderScan scan(library, recursive);
    scan.MarkVisited(PatternFolder(pattern));
    return scan.Scan(pattern);
}

}  // namespace qm::diag
