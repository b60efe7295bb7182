#include "platform/input_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/paths.h"

namespace qm::platform {

namespace {

constexpr off_t kPopulatedFileBytes = off_t{8} << 20;

size_t PageSize() {
    static const size_t size = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    return size;
}

FileStatus Failed(int error, bool opened) {
    FileStatus status;
    status.opened = opened;
    status.errorNumber = error;
    status.errorText = std::strerror(error);
    return status;
}

}  // namespace

InputFile::~InputFile() {
    Close();
}

void InputFile::Close() {
    if (mapping_ != nullptr) ::munmap(mapping_, size_);
    mapping_ = nullptr;
    data_ = nullptr;
    size_ = 0;
    released_ = nullptr;
    releaseAt_ = nullptr;
    copy_.clear();
    copy_.shrink_to_fit();
}

FileStatus InputFile::Open(const std::string& path) {
    Close();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Failed(errno, false);
    struct stat info {};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0;
    // A small file is mapped whole at once: one call instead of a page fault every sixteen
    // pages, which on a virtual machine cost more than reading the text. A large one faults in
    // as it is read, so that its pages can leave again behind the reader.
    const int populate = info.st_size <= kPopulatedFileBytes ? MAP_POPULATE : 0;
    void* mapping = regular ? ::mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ,
                                     MAP_PRIVATE | populate, fd, 0)
                            : MAP_FAILED;
    ::close(fd);
    if (mapping == MAP_FAILED) {
        // Folders, pipes, special files and empty files take the reading path and its errors.
        FileStatus status = ReadWholeFile(path, copy_);
        data_ = copy_.data();
        size_ = copy_.size();
        return status;
    }
    mapping_ = mapping;
    data_ = static_cast<const char*>(mapping);
    size_ = static_cast<size_t>(info.st_size);
    released_ = data_;
    releaseAt_ = data_ + releaseStep_;
    FileStatus status;
    status.ok = true;
    status.opened = true;
    return status;
}

FileStatus InputFile::Open(const std::wstring& path) {
    return Open(Narrow(path));
}

void InputFile::ReleaseMappedBefore(const char* position) {
    const char* end = data_ + size_;
    if (position > end) position = end;
    const auto offset = static_cast<uintptr_t>(position - data_);
    const char* boundary = data_ + (offset & ~static_cast<uintptr_t>(PageSize() - 1));
    if (boundary > released_) {
        // Unchanged pages of a private file mapping are dropped, not lost: touching them again
        // reads them back from the page cache.
        ::madvise(const_cast<char*>(released_), static_cast<size_t>(boundary - released_),
                  MADV_DONTNEED);
        released_ = boundary;
    }
    releaseAt_ = position + releaseStep_;
}

void InputFile::SetReleaseStep(size_t bytes) {
    // Pages are dropped this many bytes at a time: each drop is one system call, and the step
    // bounds the resident part of the input beside the model built from it.
    releaseStep_ = bytes;
    if (mapping_ != nullptr) releaseAt_ = released_ + bytes;
}

}  // namespace qm::platform
