#pragma once
// Folders and well-formed archives (through libzip) written at test time.
#include <zip.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "temp_files.h"

namespace qm::diag::test {

struct ZipMember {
    std::string name;
    std::string content;
    bool store = true;       // stored members keep compressed == uncompressed in the log
    bool directory = false;  // a directory entry ("name/")
};

// A fresh folder whose files may name subfolders, removed with everything in it.
class TempDir : public qmtest::TempFolder {
  public:
    std::string Path() const { return TempFolder::Path().string(); }
    std::string Write(const std::string& relative, const std::string& content) const {
        std::filesystem::create_directories(std::filesystem::path(File(relative)).parent_path());
        return TempFolder::Write(relative, content);
    }
};

// Writes a ZIP archive with libzip; false when libzip refuses.
inline bool WriteZip(const std::string& path, const std::vector<ZipMember>& members) {
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (archive == nullptr) return false;
    for (const ZipMember& member : members) {
        if (member.directory) {
            if (zip_dir_add(archive, member.name.c_str(), 0) < 0) return false;
            continue;
        }
        zip_source_t* source =
            zip_source_buffer(archive, member.content.data(), member.content.size(), 0);
        const zip_int64_t index = zip_file_add(archive, member.name.c_str(), source, 0);
        if (index < 0) return false;
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index),
                                 member.store ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 9);
    }
    return zip_close(archive) == 0;
}

}  // namespace qm::diag::test
