#include "log_sinks.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "format.h"

namespace qmtool {

namespace {

void WriteFully(int fd, const char* data, size_t size, const std::string& path) {
    while (size > 0) {
        const ssize_t wrote = ::write(fd, data, size);
        if (wrote < 0) {
            if (errno == EINTR) continue;
            throw ToolError("cannot write " + path + ": " + std::strerror(errno));
        }
        data += wrote;
        size -= static_cast<size_t>(wrote);
    }
}

// One stream: standard output or a file.
class StreamSink : public Sink {
  public:
    explicit StreamSink(const std::string& path) : path_(path.empty() ? "the output" : path) {
        if (path.empty()) return;
        fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd_ < 0) throw ToolError("cannot create " + path + ": " + std::strerror(errno));
    }
    ~StreamSink() override {
        if (fd_ != STDOUT_FILENO) ::close(fd_);
    }
    void Write(const PieceOutput& piece) override {
        WriteFully(fd_, piece.text.data(), piece.text.size(), path_);
    }
    void Finish() override {
        if (fd_ != STDOUT_FILENO && ::fsync(fd_) != 0 && errno != EINVAL) {
            throw ToolError("cannot write " + path_ + ": " + std::strerror(errno));
        }
    }

  private:
    std::string path_;
    int fd_ = STDOUT_FILENO;
};

}  // namespace

std::unique_ptr<Sink> OpenStreamSink(const std::string& path) {
    return std::make_unique<StreamSink>(path);
}

}  // namespace qmtool
