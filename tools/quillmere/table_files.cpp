#include "table_files.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <new>

#include "format.h"

namespace qmtool {

RowChunk* ChunkPool::NewSlab() {
    constexpr size_t kSpan = 2 * kSlabBytes;
    void* area = ::mmap(nullptr, kSpan, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (area == MAP_FAILED) throw std::bad_alloc();
    const auto begin = reinterpret_cast<uintptr_t>(area);
    const uintptr_t slab = (begin + kSlabBytes - 1) & ~(kSlabBytes - 1);
    if (slab > begin) ::munmap(area, slab - begin);
    if (begin + kSpan > slab + kSlabBytes) {
        ::munmap(reinterpret_cast<void*>(slab + kSlabBytes), begin + kSpan - slab - kSlabBytes);
    }
    ::madvise(reinterpret_cast<void*>(slab), kSlabBytes, MADV_HUGEPAGE);
    return reinterpret_cast<RowChunk*>(slab);
}

void ChunkPool::Free::operator()(RowChunk* slab) const {
    ::munmap(slab, kSlabBytes);
}

namespace {

// Writes a table's chain (its last chunk filled up to `end`), one call per 256 chunks, and lists
// its chunks in `written`.
void WriteChain(int fd, RowChunk* chunk, const char* end, const std::string& path,
                std::vector<RowChunk*>& written) {
    iovec parts[256];
    while (chunk != nullptr) {
        size_t count = 0;
        for (; chunk != nullptr && count < std::size(parts); chunk = chunk->next) {
            written.push_back(chunk);
            const char* stop = chunk->next != nullptr ? chunk->data + RowChunk::kBytes : end;
            parts[count++] = {const_cast<char*>(chunk->data),
                              static_cast<size_t>(stop - chunk->data)};
        }
        iovec* part = parts;
        while (count > 0) {
            const ssize_t wrote = ::writev(fd, part, static_cast<int>(count));
            if (wrote < 0) {
                if (errno == EINTR) continue;
                throw ToolError("cannot write " + path + ": " + std::strerror(errno));
            }
            // Past what was written; a part written in part is written on from where it stopped.
            auto left = static_cast<size_t>(wrote);
            while (count > 0 && left >= part->iov_len) {
                left -= part->iov_len;
                ++part;
                --count;
            }
            if (count > 0) {
                part->iov_base = static_cast<char*>(part->iov_base) + left;
                part->iov_len -= left;
            }
        }
    }
}

}  // namespace

TableFiles::TableFiles(size_t tables) : tables_(tables) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0) {
        if (limit.rlim_cur < limit.rlim_max) {
            limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, 65536);
            ::setrlimit(RLIMIT_NOFILE, &limit);
            ::getrlimit(RLIMIT_NOFILE, &limit);
        }
        openBudget_ = limit.rlim_cur > 128 ? static_cast<size_t>(limit.rlim_cur) - 100 : 16;
    }
    thread_ = std::thread([this] { Run(); });
}

TableFiles::~TableFiles() {
    if (thread_.joinable()) {
        {
            const std::lock_guard lock(mutex_);
            batch_ = nullptr;
            ending_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    for (Table& table : tables_) {
        if (table.fd >= 0) ::close(table.fd);
    }
}

void TableFiles::Hand(Batch& batch) {
    {
        const std::lock_guard lock(mutex_);
        if (failure_) std::rethrow_exception(failure_);
        batch_ = &batch;
        busy_.store(true, std::memory_order_relaxed);
    }
    changed_.notify_all();
}

void TableFiles::WaitIdle() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return batch_ == nullptr; });
    if (failure_) std::rethrow_exception(failure_);
}

void TableFiles::TakeWritten(std::vector<RowChunk*>& chunks, bool wait) {
    std::unique_lock lock(mutex_);
    if (wait) {
        changed_.wait(lock, [&] { return !written_.empty() || batch_ == nullptr; });
    }
    chunks.insert(chunks.end(), written_.begin(), written_.end());
    written_.clear();
}

void TableFiles::Rethrow() {
    const std::lock_guard lock(mutex_);
    std::rethrow_exception(failure_);
}

void TableFiles::Finish() {
    {
        const std::lock_guard lock(mutex_);
        ending_ = true;
    }
    changed_.notify_all();
    thread_.join();
    if (failure_) std::rethrow_exception(failure_);
    for (Table& table : tables_) {
        if (table.fd >= 0 && ::close(table.fd) != 0) {
            table.fd = -1;
            throw ToolError("cannot write " + table.path + ": " + std::strerror(errno));
        }
        table.fd = -1;
    }
}

void TableFiles::Run() {
    std::unique_lock lock(mutex_);
    while (true) {
        changed_.wait(lock, [&] { return batch_ != nullptr || ending_; });
        if (batch_ == nullptr) return;
        Batch& batch = *batch_;
        lock.unlock();
        std::exception_ptr failure;
        std::vector<RowChunk*> written;
        try {
            for (const Chain& chain : batch.chains) {
                Write(chain, written);
                if (written.size() >= kChunksBack) GiveBack(written);
            }
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        written_.insert(written_.end(), written.begin(), written.end());
        if (failure) {
            failure_ = failure;
            failed_.store(true, std::memory_order_relaxed);
        }
        batch_ = nullptr;
        busy_.store(false, std::memory_order_release);
        changed_.notify_all();
    }
}

void TableFiles::GiveBack(std::vector<RowChunk*>& written) {
    {
        const std::lock_guard lock(mutex_);
        written_.insert(written_.end(), written.begin(), written.end());
    }
    written.clear();
    changed_.notify_all();
}

void TableFiles::Write(const Chain& chain, std::vector<RowChunk*>& written) {
    Table& table = tables_[chain.table];
    if (table.fd < 0) {
        const int mode = table.made ? O_APPEND : O_TRUNC;
        table.fd = ::open(table.path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | mode, 0666);
        if (table.fd < 0) {
            throw ToolError("cannot create " + table.path + ": " + std::strerror(errno));
        }
        table.made = true;
        ++open_;
    }
    WriteChain(table.fd, chain.first, chain.end, table.path, written);
    if (open_ > openBudget_) {
        ::close(table.fd);
        table.fd = -1;
        --open_;
    }
}

}  // namespace qmtool
