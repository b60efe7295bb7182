#include "platform/zip.h"

#include <zip.h>

namespace qm::platform {

namespace {
zip_t* Archive(void* handle) {
    return static_cast<zip_t*>(handle);
}
}  // namespace

ZipReader::~ZipReader() {
    Close();
}

bool ZipReader::Open(const std::string& path) {
    Close();
    int errorCode = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &errorCode);
    if (archive == nullptr) {
        zip_error_t error;
        zip_error_init_with_code(&error, errorCode);
        error_ = zip_error_strerror(&error);
        zip_error_fini(&error);
        return false;
    }
    archive_ = archive;
    error_.clear();
    return true;
}

void ZipReader::Close() {
    if (archive_ != nullptr) zip_discard(Archive(archive_));
    archive_ = nullptr;
}

uint64_t ZipReader::MemberCount() const {
    if (archive_ == nullptr) return 0;
    const zip_int64_t count = zip_get_num_entries(Archive(archive_), 0);
    return count < 0 ? 0 : static_cast<uint64_t>(count);
}

bool ZipReader::Stat(uint64_t index, MemberStat& stat) const {
    if (archive_ == nullptr) return false;
    zip_stat_t info;
    zip_stat_init(&info);
    if (zip_stat_index(Archive(archive_), index, 0, &info) != 0) {
        error_ = zip_strerror(Archive(archive_));
        return false;
    }
    stat.name = (info.valid & ZIP_STAT_NAME) && info.name ? info.name : "";
    stat.size = (info.valid & ZIP_STAT_SIZE) ? info.size : 0;
    stat.compressedSize = (info.valid & ZIP_STAT_COMP_SIZE) ? info.comp_size : 0;
    return true;
}

bool ZipReader::IsDirectory(uint64_t index) const {
    MemberStat stat;
    if (!Stat(index, stat)) return false;
    if (!stat.name.empty() && stat.name.back() == '/') return true;
    // The directory attribute: bit 16 of the MS-DOS attributes, or a Unix directory mode.
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(Archive(archive_), index, 0, &system, &attributes) != 0) {
        return false;
    }
    constexpr zip_uint32_t kDosDirectory = 0x10;
    constexpr zip_uint32_t kUnixTypeMask = 0170000, kUnixDirectory = 0040000;
    if (system == ZIP_OPSYS_UNIX && ((attributes >> 16) & kUnixTypeMask) == kUnixDirectory) {
        return true;
    }
    return (system == ZIP_OPSYS_DOS || system == ZIP_OPSYS_UNIX) &&
           (attributes & kDosDirectory) != 0;
}

bool ZipReader::Extract(uint64_t index, std::string& out, uint64_t maxSize) const {
    out.clear();
    MemberStat stat;
    if (!Stat(index, stat)) return false;
    if (stat.size > maxSize) {
        error_ = "member '" + stat.name + "' claims " + std::to_string(stat.size) +
                 " bytes, more than the limit of " + std::to_string(maxSize);
        return false;
    }
    zip_file_t* member = zip_fopen_index(Archive(archive_), index, 0);
    if (member == nullptr) {
        error_ = zip_strerror(Archive(archive_));
        return false;
    }
    // The stated size is within the limit, so one allocation of it is bounded; but never trust
    // it alone: read in pieces and stop at the limit.
    out.reserve(static_cast<size_t>(stat.size));
    char buffer[65536];
    bool ok = true;
    for (;;) {
        const zip_int64_t got = zip_fread(member, buffer, sizeof buffer);
        if (got < 0) {
            error_ = zip_file_strerror(member);
            ok = false;
            break;
        }
        if (got == 0) break;
        if (out.size() + static_cast<uint64_t>(got) > maxSize) {
            error_ = "member '" + stat.name + "' inflates beyond the limit of " +
                     std::to_string(maxSize) + " bytes";
            ok = false;
            break;
        }
        out.append(buffer, static_cast<size_t>(got));
    }
    zip_fclose(member);
    if (!ok) out.clear();
    return ok;
}

}  // namespace qm::platform
