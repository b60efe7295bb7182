#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace qm::platform {

// The few operations the PDX reader needs from a ZIP archive, and what it needs to tell an
// archive that lies (entries listed twice or overlapping, members that inflate beyond any
// reason) from an honest one.
class ZipReader {
  public:
    struct MemberStat {
        std::string name;
        uint64_t size = 0;  // uncompressed
        uint64_t compressedSize = 0;
    };

    // Where a member's bytes lie in the archive file: its local header and its data.
    struct MemberPlace {
        uint64_t headerOffset = 0;
        uint64_t dataEnd = 0;   // one past the last byte of the (compressed) data
        std::string localName;  // the name its local header gives
    };

    // How far one extraction may go. A member is abandoned as soon as it passes maxSize, or
    // grows beyond maxRatio times the compressed bytes consumed so far plus ratioAllowance
    // (for stored and deflated members, which are inflated here piece by piece).
    struct ExtractLimits {
        uint64_t maxSize = UINT64_MAX;
        uint64_t maxRatio = UINT64_MAX;
        uint64_t ratioAllowance = 0;
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
    bool IsSymbolicLink(uint64_t index) const;
    // False when the member's local header cannot be found where the directory says (then
    // LastError says why).
    bool Place(uint64_t index, MemberPlace& place) const;
    // Whether the directory could be read here, so that Place can answer at all.
    bool KnowsPlaces() const { return !central_.empty(); }
    // Extracts a member to memory. inflated receives the bytes produced, also when the
    // extraction fails: the caller counts them against its own budget.
    bool Extract(uint64_t index, std::string& out, const ExtractLimits& limits,
                 uint64_t& inflated) const;
    // The same with only a size limit.
    bool Extract(uint64_t index, std::string& out, uint64_t maxSize) const;
    const std::string& LastError() const { return error_; }

  private:
    struct CentralEntry {
        uint64_t headerOffset = 0;
        uint64_t compressedSize = 0;
    };
    bool ReadCentralDirectory();
    bool ReadAt(uint64_t offset, void* buffer, size_t size) const;
    bool Fail(const std::string& text) const;

    void* archive_ = nullptr;
    int fd_ = -1;
    uint64_t fileSize_ = 0;
    // The directory as read here, in the order the library lists it; empty when it could not
    // be read or does not agree with the library's.
    std::vector<CentralEntry> central_;
    mutable std::string error_;
};

}  // namespace qm::platform
