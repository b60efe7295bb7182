#include "platform/zip.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "platform/zip_library.h"

namespace qm::platform {

namespace {

// The loaded library; only called once an archive is open, so that LoadZipLibrary succeeded.
const ZipLibrary& Zip() {
    std::string unused;
    return *LoadZipLibrary(unused);
}

zip_t* Archive(void* handle) {
    return static_cast<zip_t*>(handle);
}

constexpr uint32_t kLocalHeaderSignature = 0x04034b50;
constexpr uint32_t kCentralHeaderSignature = 0x02014b50;
constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr uint32_t kZip64EndSignature = 0x06064b50;
constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kEndSize = 22;
constexpr size_t kZip64LocatorSize = 20;
constexpr size_t kZip64EndSize = 56;
constexpr size_t kMaxComment = 0xFFFF;
constexpr size_t kPiece = 65536;

uint16_t U16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t U32(const unsigned char* p) {
    return static_cast<uint32_t>(U16(p)) | (static_cast<uint32_t>(U16(p + 2)) << 16);
}
uint64_t U64(const unsigned char* p) {
    return static_cast<uint64_t>(U32(p)) | (static_cast<uint64_t>(U32(p + 4)) << 32);
}

// The ZIP64 extra field carries, in this order, each of the three values whose 32-bit field
// holds 0xFFFFFFFF.
void ApplyZip64Extra(const unsigned char* extra, size_t length, uint32_t size32,
                     uint32_t compressed32, uint32_t offset32, uint64_t& compressed,
                     uint64_t& offset) {
    size_t pos = 0;
    while (pos + 4 <= length) {
        const uint16_t id = U16(extra + pos);
        const size_t fieldLength = U16(extra + pos + 2);
        pos += 4;
        if (pos + fieldLength > length) return;
        if (id == 0x0001) {
            size_t field = pos;
            const size_t end = pos + fieldLength;
            auto next = [&](uint64_t& value) {
                if (field + 8 > end) return;
                value = U64(extra + field);
                field += 8;
            };
            uint64_t ignoredSize = 0;
            if (size32 == 0xFFFFFFFFu) next(ignoredSize);
            if (compressed32 == 0xFFFFFFFFu) next(compressed);
            if (offset32 == 0xFFFFFFFFu) next(offset);
            return;
        }
        pos += fieldLength;
    }
}

// What a member may have grown to from so many compressed bytes.
uint64_t GrowthLimit(uint64_t compressed, const ZipReader::ExtractLimits& limits) {
    const uint64_t ratio = std::max<uint64_t>(limits.maxRatio, 1);
    if (compressed > (UINT64_MAX - limits.ratioAllowance) / ratio) return UINT64_MAX;
    return compressed * ratio + limits.ratioAllowance;
}

struct ZStream {
    z_stream stream{};
    bool ready = false;
    ~ZStream() {
        if (ready) inflateEnd(&stream);
    }
};

}  // namespace

ZipReader::~ZipReader() {
    Close();
}

bool ZipReader::Fail(const std::string& text) const {
    error_ = text;
    return false;
}

bool ZipReader::Open(const std::string& path) {
    Close();
    if (LoadZipLibrary(error_) == nullptr) return false;
    int errorCode = 0;
    zip_t* archive = Zip().open(path.c_str(), ZIP_RDONLY, &errorCode);
    if (archive == nullptr) {
        zip_error_t error;
        Zip().errorInitWithCode(&error, errorCode);
        error_ = Zip().errorStrerror(&error);
        Zip().errorFini(&error);
        return false;
    }
    archive_ = archive;
    error_.clear();
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ >= 0) {
        const off_t end = ::lseek(fd_, 0, SEEK_END);
        fileSize_ = end < 0 ? 0 : static_cast<uint64_t>(end);
        if (!ReadCentralDirectory() || central_.size() != MemberCount()) central_.clear();
    }
    return true;
}

void ZipReader::Close() {
    if (archive_ != nullptr) Zip().discard(Archive(archive_));
    archive_ = nullptr;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    fileSize_ = 0;
    central_.clear();
}

bool ZipReader::ReadAt(uint64_t offset, void* buffer, size_t size) const {
    if (fd_ < 0 || offset > fileSize_ || size > fileSize_ - offset) return false;
    auto* out = static_cast<char*>(buffer);
    while (size > 0) {
        const ssize_t got = ::pread(fd_, out, size, static_cast<off_t>(offset));
        if (got <= 0) return false;
        out += got;
        offset += static_cast<uint64_t>(got);
        size -= static_cast<size_t>(got);
    }
    return true;
}

// The directory as the archive states it, read by hand: the library does not tell where a
// member's local header lies, and that is what shows entries listed twice or overlapping.
bool ZipReader::ReadCentralDirectory() {
    const size_t tailSize =
        static_cast<size_t>(std::min<uint64_t>(fileSize_, kEndSize + kMaxComment));
    std::vector<unsigned char> tail(tailSize);
    if (tailSize < kEndSize || !ReadAt(fileSize_ - tailSize, tail.data(), tailSize)) return false;
    size_t end = tailSize - kEndSize + 1;
    do {
        --end;
        if (U32(&tail[end]) == kEndSignature) break;
    } while (end > 0);
    if (U32(&tail[end]) != kEndSignature) return false;
    const uint64_t endOffset = fileSize_ - tailSize + end;
    uint64_t entries = U16(&tail[end + 10]);
    uint64_t directorySize = U32(&tail[end + 12]);
    uint64_t directoryOffset = U32(&tail[end + 16]);
    if (entries == 0xFFFF || directorySize == 0xFFFFFFFFu || directoryOffset == 0xFFFFFFFFu) {
        unsigned char locator[kZip64LocatorSize];
        unsigned char zip64End[kZip64EndSize];
        if (endOffset < kZip64LocatorSize ||
            !ReadAt(endOffset - kZip64LocatorSize, locator, sizeof locator) ||
            U32(locator) != kZip64LocatorSignature ||
            !ReadAt(U64(locator + 8), zip64End, sizeof zip64End) ||
            U32(zip64End) != kZip64EndSignature) {
            return false;
        }
        entries = U64(zip64End + 32);
        directorySize = U64(zip64End + 40);
        directoryOffset = U64(zip64End + 48);
    }
    if (directoryOffset > fileSize_ || directorySize > fileSize_ - directoryOffset) return false;
    std::vector<unsigned char> directory(static_cast<size_t>(directorySize));
    if (!ReadAt(directoryOffset, directory.data(), directory.size())) return false;
    // Every entry takes at least its fixed header: a count beyond that is a lie.
    if (entries > directory.size() / kCentralHeaderSize) return false;
    central_.reserve(static_cast<size_t>(entries));
    size_t pos = 0;
    for (uint64_t i = 0; i < entries; ++i) {
        if (pos + kCentralHeaderSize > directory.size()) return false;
        const unsigned char* header = &directory[pos];
        if (U32(header) != kCentralHeaderSignature) return false;
        const uint32_t compressed32 = U32(header + 20);
        const uint32_t size32 = U32(header + 24);
        const size_t nameLength = U16(header + 28);
        const size_t extraLength = U16(header + 30);
        const size_t commentLength = U16(header + 32);
        const uint32_t offset32 = U32(header + 42);
        const size_t next = pos + kCentralHeaderSize + nameLength + extraLength + commentLength;
        if (next > directory.size()) return false;
        CentralEntry entry{offset32, compressed32};
        ApplyZip64Extra(header + kCentralHeaderSize + nameLength, extraLength, size32, compressed32,
                        offset32, entry.compressedSize, entry.headerOffset);
        central_.push_back(entry);
        pos = next;
    }
    return true;
}

uint64_t ZipReader::MemberCount() const {
    if (archive_ == nullptr) return 0;
    const zip_int64_t count = Zip().getNumEntries(Archive(archive_), 0);
    return count < 0 ? 0 : static_cast<uint64_t>(count);
}

bool ZipReader::Stat(uint64_t index, MemberStat& stat) const {
    if (archive_ == nullptr) return false;
    zip_stat_t info;
    Zip().statInit(&info);
    if (Zip().statIndex(Archive(archive_), index, 0, &info) != 0) {
        error_ = Zip().strerror(Archive(archive_));
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
    if (Zip().fileGetExternalAttributes(Archive(archive_), index, 0, &system, &attributes) != 0) {
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

bool ZipReader::IsSymbolicLink(uint64_t index) const {
    if (archive_ == nullptr) return false;
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (Zip().fileGetExternalAttributes(Archive(archive_), index, 0, &system, &attributes) != 0) {
        return false;
    }
    constexpr zip_uint32_t kUnixTypeMask = 0170000, kUnixLink = 0120000;
    return system == ZIP_OPSYS_UNIX && ((attributes >> 16) & kUnixTypeMask) == kUnixLink;
}

bool ZipReader::Place(uint64_t index, MemberPlace& place) const {
    if (index >= central_.size()) return Fail("the archive's directory could not be read");
    const CentralEntry& entry = central_[static_cast<size_t>(index)];
    unsigned char header[kLocalHeaderSize];
    if (!ReadAt(entry.headerOffset, header, sizeof header) ||
        U32(header) != kLocalHeaderSignature) {
        return Fail("no local header at offset " + std::to_string(entry.headerOffset));
    }
    const size_t nameLength = U16(header + 26);
    const size_t extraLength = U16(header + 28);
    place.localName.assign(nameLength, '\0');
    if (!ReadAt(entry.headerOffset + kLocalHeaderSize, place.localName.data(), nameLength)) {
        return Fail("the local header at offset " + std::to_string(entry.headerOffset) +
                    " runs past the end of the archive");
    }
    place.headerOffset = entry.headerOffset;
    const uint64_t dataStart = entry.headerOffset + kLocalHeaderSize + nameLength + extraLength;
    if (dataStart > fileSize_ || entry.compressedSize > fileSize_ - dataStart) {
        return Fail("the data at offset " + std::to_string(entry.headerOffset) +
                    " runs past the end of the archive");
    }
    place.dataEnd = dataStart + entry.compressedSize;
    return true;
}

bool ZipReader::Extract(uint64_t index, std::string& out, uint64_t maxSize) const {
    uint64_t inflated = 0;
    return Extract(index, out, ExtractLimits{maxSize, UINT64_MAX, 0}, inflated);
}

bool ZipReader::Extract(uint64_t index, std::string& out, const ExtractLimits& limits,
                        uint64_t& inflated) const {
    out.clear();
    inflated = 0;
    if (archive_ == nullptr) return false;
    zip_stat_t info;
    Zip().statInit(&info);
    if (Zip().statIndex(Archive(archive_), index, 0, &info) != 0) {
        return Fail(Zip().strerror(Archive(archive_)));
    }
    const std::string name = (info.valid & ZIP_STAT_NAME) && info.name ? info.name : "";
    const uint64_t size = (info.valid & ZIP_STAT_SIZE) ? info.size : 0;
    const uint64_t compressed = (info.valid & ZIP_STAT_COMP_SIZE) ? info.comp_size : 0;
    const uint64_t ratioLimit = GrowthLimit(compressed, limits);
    if (size > limits.maxSize) {
        return Fail("member '" + name + "' claims " + std::to_string(size) +
                    " bytes, more than the limit of " + std::to_string(limits.maxSize));
    }
    if (size > ratioLimit) {
        return Fail("member '" + name + "' claims " + std::to_string(size) + " bytes from " +
                    std::to_string(compressed) + " compressed, more than the limit of " +
                    std::to_string(ratioLimit));
    }
    const bool stored = (info.valid & ZIP_STAT_COMP_METHOD) && info.comp_method == ZIP_CM_STORE;
    const bool deflated = (info.valid & ZIP_STAT_COMP_METHOD) && info.comp_method == ZIP_CM_DEFLATE;
    const bool raw = stored || deflated;
    // Stored and deflated members are read as they lie and inflated here, so that the growth
    // against the bytes consumed is seen while it happens; any other method goes through the
    // library, bounded by the stated size.
    zip_file_t* member = Zip().fopenIndex(Archive(archive_), index, raw ? ZIP_FL_COMPRESSED : 0);
    if (member == nullptr) return Fail(Zip().strerror(Archive(archive_)));
    // The stated size is within the limits, so one allocation of it is bounded; but never
    // trust it alone: read in pieces and stop at the first limit passed.
    out.reserve(static_cast<size_t>(size));
    const uint64_t cap = std::min(size, limits.maxSize);
    ZStream z;
    if (deflated) z.ready = inflateInit2(&z.stream, -MAX_WBITS) == Z_OK;
    bool ok = !deflated || z.ready;
    bool streamEnded = !deflated;
    uint64_t consumed = 0;
    std::string input(kPiece, '\0');
    char piece[kPiece];
    auto take = [&](const char* data, size_t length) {
        if (out.size() + length > cap) {
            ok = Fail("member '" + name + "' inflates beyond " +
                      (cap == size ? "its stated size of " + std::to_string(size)
                                   : "the limit of " + std::to_string(cap)) +
                      " bytes");
            return false;
        }
        out.append(data, length);
        if (raw && out.size() > GrowthLimit(consumed, limits)) {
            ok = Fail("member '" + name + "' inflates to more than " +
                      std::to_string(limits.maxRatio) + " times the bytes it has consumed");
            return false;
        }
        return true;
    };
    while (ok) {
        const zip_int64_t got = Zip().fread(member, input.data(), input.size());
        if (got < 0) {
            ok = Fail(Zip().fileStrerror(member));
            break;
        }
        if (got == 0) break;
        if (!deflated) {
            consumed += static_cast<uint64_t>(got);
            if (!take(input.data(), static_cast<size_t>(got))) break;
            continue;
        }
        z.stream.next_in = reinterpret_cast<Bytef*>(input.data());
        z.stream.avail_in = static_cast<uInt>(got);
        while (ok && z.stream.avail_in > 0 && !streamEnded) {
            z.stream.next_out = reinterpret_cast<Bytef*>(piece);
            z.stream.avail_out = sizeof piece;
            const uLong before = z.stream.total_in;
            const int status = inflate(&z.stream, Z_NO_FLUSH);
            const bool stalled = status == Z_BUF_ERROR && z.stream.total_in == before &&
                                 z.stream.avail_out == sizeof piece;
            if ((status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) || stalled) {
                ok = Fail("member '" + name +
                          "': " + (z.stream.msg ? z.stream.msg : "corrupt compressed data"));
                break;
            }
            consumed = z.stream.total_in;
            if (!take(piece, sizeof piece - z.stream.avail_out)) break;
            streamEnded = status == Z_STREAM_END;
        }
    }
    Zip().fclose(member);
    inflated = out.size();
    if (ok && !streamEnded) ok = Fail("member '" + name + "': compressed data ends early");
    if (ok && out.size() != size) {
        ok = Fail("member '" + name + "' inflates to " + std::to_string(out.size()) +
                  " bytes, not the stated " + std::to_string(size));
    }
    if (ok && raw && (info.valid & ZIP_STAT_CRC) &&
        crc32_z(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(out.data()), out.size()) !=
            info.crc) {
        ok = Fail("member '" + name + "': CRC error");
    }
    if (!ok) out.clear();
    return ok;
}

}  // namespace qm::platform
