#pragma once
// Archives and folders written at test time for the PDX and folder tests: well-formed archives
// through libzip (hostile ones are built byte by byte in the hostile tests).
#include <zip.h>

#include <unistd.h>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace qm::diag::test {

struct ZipMember {
    std::string name;
    std::string content;
    bool store = true;       // stored members keep compressed == uncompressed in the log
    bool directory = false;  // a directory entry ("name/")
};

// A fresh directory below the system's temporary one, removed with everything in it.
class TempDir {
  public:
    explicit TempDir(const std::string& tag)
        : path_(std::filesystem::temp_directory_path() /
                ("qm_pdx_" + std::to_string(::getpid()) + "_" + tag)) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string Path() const { return path_.string(); }
    std::string Write(const std::string& relative, const std::string& content) const {
        const std::filesystem::path file = path_ / relative;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << content;
        return file.string();
    }

  private:
    std::filesystem::path path_;
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
