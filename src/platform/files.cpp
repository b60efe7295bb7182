#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "platform/paths.h"

namespace qm::platform {

namespace {

thread_local int lastFileError = 0;

FileStatus Failure(int error) {
    lastFileError = error;
    FileStatus status;
    status.errorNumber = error;
    status.errorText = std::strerror(error);
    return status;
}

FileStatus Success() {
    FileStatus status;
    status.ok = true;
    return status;
}

// Closes a descriptor when it goes out of scope.
struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

// The temporary files being written, so that a signal handler can remove them. Fixed slots
// of plain characters: a handler may only read memory and call unlink.
constexpr size_t kTemporarySlots = 16;
struct TemporarySlot {
    std::atomic<bool> used{false};
    std::atomic<bool> ready{false};
    char path[PATH_MAX] = {};
};
TemporarySlot temporaries[kTemporarySlots];

// Remembers a temporary being written; the slot number, or -1 when every slot is taken or the
// path is too long (the file is then just not removed on a signal).
int RememberTemporary(const std::string& path) {
    if (path.size() >= PATH_MAX) return -1;
    for (size_t i = 0; i < kTemporarySlots; ++i) {
        bool expected = false;
        if (!temporaries[i].used.compare_exchange_strong(expected, true)) continue;
        std::memcpy(temporaries[i].path, path.c_str(), path.size() + 1);
        temporaries[i].ready.store(true);
        return static_cast<int>(i);
    }
    return -1;
}

void ForgetTemporary(int slot) {
    if (slot < 0) return;
    temporaries[slot].ready.store(false);
    temporaries[slot].used.store(false);
}

struct RememberedTemporary {
    int slot;
    explicit RememberedTemporary(const std::string& path) : slot(RememberTemporary(path)) {}
    ~RememberedTemporary() { ForgetTemporary(slot); }
    RememberedTemporary(const RememberedTemporary&) = delete;
    RememberedTemporary& operator=(const RememberedTemporary&) = delete;
};

extern "C" void RemoveTemporariesAndDie(int signalNumber) {
    RemovePendingTemporaries();
    // Die of the same signal, so that the caller sees how the process ended.
    std::signal(signalNumber, SIG_DFL);
    ::raise(signalNumber);
}

}  // namespace

int LastFileError() {
    return lastFileError;
}

void RemovePendingTemporaries() {
    for (TemporarySlot& slot : temporaries) {
        if (slot.ready.load()) ::unlink(slot.path);
    }
}

void RemoveTemporariesOnSignals() {
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction action {};
        action.sa_handler = RemoveTemporariesAndDie;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND;
        ::sigaction(signalNumber, &action, nullptr);
    }
}

FileStatus ReadWholeFile(const std::string& path, std::string& out) {
    out.clear();
    Descriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    if (file.fd < 0) return Failure(errno);
    auto opened = [](FileStatus status) {
        status.opened = true;
        return status;
    };
    struct stat info {};
    if (::fstat(file.fd, &info) != 0) return opened(Failure(errno));
    if (S_ISDIR(info.st_mode)) return opened(Failure(EISDIR));
    // Regular files are read in one piece at their size (one spare byte lets the final read see
    // the end without growing the buffer); pipes and special files grow as they are read.
    size_t capacity = S_ISREG(info.st_mode) ? static_cast<size_t>(info.st_size) + 1 : 0;
    out.resize(capacity);
    size_t used = 0;
    for (;;) {
        if (used == out.size()) out.resize(out.size() < 4096 ? 4096 : out.size() * 2);
        const ssize_t got = ::read(file.fd, out.data() + used, out.size() - used);
        if (got < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            out.clear();
            return opened(Failure(error));
        }
        if (got == 0) break;
        used += static_cast<size_t>(got);
    }
    out.resize(used);
    return opened(Success());
}

FileStatus ReadWholeFile(const std::wstring& path, std::string& out) {
    return ReadWholeFile(Narrow(path), out);
}

FileStatus WriteFile(const std::string& path, std::string_view data) {
    lastFileError = 0;
    Descriptor file{::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)};
    if (file.fd < 0) return Failure(errno);
    FileStatus status = WriteAll(file.fd, data) ? Success() : Failure(errno);
    const int fd = file.fd;
    file.fd = -1;
    if (::close(fd) != 0 && status.ok) status = Failure(errno);
    status.opened = true;
    return status;
}

FileStatus WriteFileAtomic(const std::string& path, std::string_view data) {
    return WriteFileAtomic(path, [data](const PieceWriter& write) { return write(data); });
}

FileStatus WriteFileAtomic(const std::string& path,
                           const std::function<bool(const PieceWriter&)>& produce) {
    lastFileError = 0;
    std::string temporary = path + ".XXXXXX";
    Descriptor file{::mkstemp(temporary.data())};
    if (file.fd < 0) return Failure(errno);
    const RememberedTemporary remembered(temporary);
    // Keep the permissions an ordinary new file would get, or those of the file replaced.
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0) {
        ::fchmod(file.fd, existing.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(file.fd, 0666 & ~mask);
    }
    int error = 0;
    const PieceWriter write = [&](std::string_view piece) {
        if (error != 0) return false;
        if (WriteAll(file.fd, piece)) return true;
        error = errno != 0 ? errno : EIO;
        return false;
    };
    bool ok = produce(write) && error == 0;
    if (!ok && error == 0) error = ECANCELED;
    // Closed here, whatever happened, so that a failed close is seen.
    if (::close(file.fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    file.fd = -1;
    if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        return Failure(error);
    }
    return Success();
}

FileStatus WriteFileAtomic(const std::wstring& path, std::string_view data) {
    return WriteFileAtomic(Narrow(path), data);
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

}  // namespace qm::platform
