#pragma once
// A folder of scratch files, removed with its content at the end of the test.
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace qmtest {

// A file's bytes ("" when it cannot be read).
inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A path of its own process under the temporary directory; the test removes what it writes.
inline std::string TempPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() /
            ("qm_" + std::to_string(::getpid()) + "_" + name))
        .string();
}

// A file under the temporary directory, of this process and numbered, whose name ends in
// `name`: written with `content` at once, removed at destruction.
class TempFile {
  public:
    explicit TempFile(const std::string& name, const std::string& content = "")
        : path_(TempPath(std::to_string(counter_++) + "_" + name)) {
        std::ofstream(path_, std::ios::binary) << content;
    }
    ~TempFile() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    std::string Path() const { return path_.string(); }
    const char* CPath() const { return path_.c_str(); }
    std::string Read() const { return ReadFile(path_); }

  private:
    static inline std::atomic<int> counter_{0};
    std::filesystem::path path_;
};

// A fresh folder of this process under the temporary directory, its name starting with `name`.
class TempFolder {
  public:
    explicit TempFolder(const std::string& name = "test") {
        path_ =
            std::filesystem::temp_directory_path() /
            ("qm_" + name + "_" + std::to_string(::getpid()) + "_" + std::to_string(counter_++));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        // A test may have taken the write permission away to make a save fail.
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string File(const std::string& name) const { return (path_ / name).string(); }
    // Writes the file and gives its path.
    std::string Write(const std::string& name, const std::string& content) const {
        const std::string file = File(name);
        std::ofstream(file, std::ios::binary) << content;
        return file;
    }
    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  private:
    static inline int counter_ = 0;
    std::filesystem::path path_;
};

}  // namespace qmtest
