#pragma once
#include <cstdint>
#include <string>

namespace qm::platform {

// The few operations the PDX reader needs from a ZIP archive.
class ZipReader {
  public:
    struct MemberStat {
        std::string name;
        uint64_t size = 0;  // uncompressed
        uint64_t compressedSize = 0;
    };

    ZipReader() = default;
    ~ZipReader();
    ZipReader(const ZipReader&) = delete;
    ZipReader& operator=(const ZipReader&) = delete;

    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return archive_ != nullptr; }
    uint64_t MemberCount() const;
    bool Stat(uint64_t index, MemberStat& stat) const;
    bool IsDirectory(uint64_t index) const;
    // Extracts a member to memory; refuses members larger than maxSize.
    bool Extract(uint64_t index, std::string& out, uint64_t maxSize) const;
    const std::string& LastError() const { return error_; }

  private:
    void* archive_ = nullptr;
    mutable std::string error_;
};

}  // namespace qm::platform
