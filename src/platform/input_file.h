#pragma once
// The bytes of a file being read. A regular file is mapped instead of copied: no buffer to
// allocate and zero, no copy, and the pages a reader has moved past can leave the process's
// resident set while the rest is read. Other files (pipes, special files) are read into memory.
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace qm::platform {

class InputFile {
  public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Opens path (replacing what was open); the same outcomes as ReadWholeFile.
    FileStatus Open(const std::string& path);
    FileStatus Open(const std::wstring& path);

    std::string_view Text() const { return {data_, size_}; }

    // A reader that reads front to back says it will not need the bytes before position for a
    // while. Their pages are dropped from the resident set in large steps; a view into them stays
    // valid, since the pages come back from the page cache when touched again. Bytes read into
    // memory (not mapped) stay as they are.
    void ReleaseBefore(const char* position) {
        if (mapping_ != nullptr && position >= releaseAt_) ReleaseMappedBefore(position);
    }

    // The step in which passed pages are dropped (1 MiB unless set): few input pages stay
    // resident beside the model, for one system call per step. A page dropped and read again
    // comes back from the page cache, so a reader that looks back stays correct.
    void SetReleaseStep(size_t bytes);

  private:
    void Close();
    void ReleaseMappedBefore(const char* position);

    const char* data_ = nullptr;
    size_t size_ = 0;
    void* mapping_ = nullptr;          // the mapping's start, null when the bytes are in copy_
    const char* released_ = nullptr;   // pages before this were dropped already
    const char* releaseAt_ = nullptr;  // the next drop waits until a reader passes this
    size_t releaseStep_ = size_t{1} << 20;
    std::string copy_;
};

}  // namespace qm::platform
