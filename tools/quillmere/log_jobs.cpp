#include "log_jobs.h"

#include <fcntl.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <exception>
#include <filesystem>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <thread>

#include "decode_output.h"
#include "format.h"

namespace qmtool {

using qm::codec::FrameCatalog;
using qm::codec::FrameCodec;
using qm::codec::LogCounts;
using qm::codec::LogFrame;
using qm::codec::LogLineKind;
using qm::codec::LogLineParser;

namespace {

constexpr size_t kReadChunk = size_t{1} << 20;   // the longest line a log may have
constexpr uint64_t kProgressFrom = 100'000'000;  // bytes of input that earn a progress line

// ---------------------------------------------------------------------------------------------
// Decoding one piece.

// Copies a row: moves of 16 bytes (the last one ending at its end) where a call would cost more.
void CopyRow(char* at, const char* text, size_t bytes) {
    if (bytes >= 16 && bytes <= 256) {
        for (size_t done = 0; done + 16 < bytes; done += 16)
            std::memcpy(at + done, text + done, 16);
        std::memcpy(at + bytes - 16, text + bytes - 16, 16);
    } else {
        std::memcpy(at, text, bytes);
    }
}

// Text that CSV rows are written into through a pointer (DecodeWriter::WriteCsvRow): room is
// made once per row, and nothing is zeroed or checked cell by cell as std::string appends would.
class TextBuffer {
  public:
    TextBuffer() = default;
    ~TextBuffer() { std::free(data_); }
    TextBuffer(const TextBuffer&) = delete;
    TextBuffer& operator=(const TextBuffer&) = delete;

    const char* data() const { return data_; }
    size_t size() const { return size_; }
    void clear() { size_ = 0; }
    // Where the next `bytes` (at most) go; SetEnd then says where they ended.
    char* Room(size_t bytes) {
        if (capacity_ - size_ < bytes) Grow(bytes);
        return data_ + size_;
    }
    void SetEnd(const char* end) { size_ = static_cast<size_t>(end - data_); }
    void Append(const char* text, size_t bytes) {
        CopyRow(Room(bytes), text, bytes);
        size_ += bytes;
    }

  private:
    // By a quarter: each worker keeps its buffer of rows from piece to piece, and the slack of
    // doubling would stay with it.
    void Grow(size_t bytes) {
        const size_t capacity =
            std::max({capacity_ + std::max(capacity_ / 4, size_t{256}), size_ + bytes});
        char* grown = static_cast<char*>(std::realloc(data_, capacity));
        if (grown == nullptr) throw std::bad_alloc();
        data_ = grown;
        capacity_ = capacity;
    }

    char* data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

// Where a CSV row ends and which table it belongs to.
struct RowMark {
    uint32_t frame;  // catalog index
    uint32_t end;    // offset in the piece's rows after the row
};

struct PieceOutput {
    std::string text;           // JSON Lines or text
    TextBuffer rows;            // CSV rows of every table, in the order of the input
    std::vector<RowMark> ends;  // where each CSV row ends

    void Clear() {
        text.clear();
        rows.clear();
        ends.clear();
    }
};

// Lines are parsed a batch at a time, and what their frames need is asked of the memory in
// steps, one level of the chain a step (identifier slot, frame codec, its fields and texts,
// its signals and where its output goes): a large database (thousands of frames, tens of
// megabytes of codecs) does not fit the caches, and each frame would otherwise wait for the
// memory once per level. The steps of one batch are a batch apart (the batches in between are
// decoded meanwhile), so that each fetch has landed when the next level reads it: a batch is
// parsed and looked up, the one before it has its codecs' fields fetched, the one before that
// its signals, and the fourth from the newest is decoded (its codecs and steps fetched once more
// first, from the second-level cache). out.Put(codec, frame) writes a frame
// out and returns whether its payload held every signal; out.Prefetch(codec, level) asks for
// what Put writes into, in the same steps.
template <class Out>
void DecodePiece(std::string_view piece, LogLineParser& parser, FrameLookup& lookup,
                 const DecodeWriter& writer, LogCounts& counts, Out& out) {
    // 16 frames a batch: a fetch is asked for 32-48 frames before the decode that reads it, more
    // than the memory's latency, and the lines of the frames in flight (codecs, steps, tables)
    // stay in the first-level cache, which those of batches of 32 overran.
    constexpr size_t kBatch = 16;
    constexpr size_t kStages = 4;  // parsed and looked up, fields, signals, decoded
    struct Pending {
        LogFrame frame;
        const FrameCodec* codec;
    };
    struct Batch {
        Pending entries[kBatch];
        size_t size = 0;
    };
    Batch ring[kStages];
    size_t newest = 0;  // the batch being parsed, in ring
    const auto batchAt = [&](size_t back) -> Batch& {
        return ring[(newest + kStages - back) % kStages];
    };
    // The newest batch is complete: look it up and move every batch one step on.
    const auto advance = [&] {
        Batch& parsed = batchAt(0);
        size_t known = 0;
        for (size_t i = 0; i < parsed.size; ++i) {
            Pending& entry = parsed.entries[i];
            entry.codec = lookup.Find(entry.frame.id, entry.frame.extended);
            if (entry.codec == nullptr) {
                ++counts.unknown;
                continue;
            }
            ++counts.decoded;
            entry.codec->PrefetchCodec();
            if (known != i) parsed.entries[known] = entry;
            ++known;
        }
        parsed.size = known;
        const Batch& fields = batchAt(1);
        for (size_t i = 0; i < fields.size; ++i) {
            writer.Prefetch(*fields.entries[i].codec, fields.entries[i].frame.size, 0);
            out.Prefetch(*fields.entries[i].codec, 0);
        }
        const Batch& signals = batchAt(2);
        for (size_t i = 0; i < signals.size; ++i) {
            const Pending& entry = signals.entries[i];
            writer.Prefetch(*entry.codec, entry.frame.size, 1);
            out.Prefetch(*entry.codec, 1);
        }
        Batch& decoded = batchAt(3);
        // The codecs and steps once more, from the second-level cache where the lines of the
        // frames decoded since their fetch have pushed them.
        for (size_t i = 0; i < decoded.size; ++i) {
            decoded.entries[i].codec->PrefetchCodec();
            decoded.entries[i].codec->PrefetchFields(decoded.entries[i].frame.size);
        }
        for (size_t i = 0; i < decoded.size; ++i) {
            if (!out.Put(*decoded.entries[i].codec, decoded.entries[i].frame)) ++counts.truncated;
        }
        decoded.size = 0;
        newest = (newest + 1) % kStages;  // the batch just decoded is parsed into next
    };
    while (!piece.empty()) {
        Batch& parsing = batchAt(0);
        Pending& entry = parsing.entries[parsing.size];
        const LogLineKind kind = parser.ParseFirst(piece, entry.frame);
        counts.Count(kind);
        if (kind != LogLineKind::Frame) continue;
        lookup.Prefetch(entry.frame.id, entry.frame.extended);
        if (++parsing.size == kBatch) advance();
    }
    // The last batches through the remaining steps.
    for (size_t step = 0; step < kStages; ++step) advance();
}

// A piece decoded into its output: text, or CSV rows with the table of each.
void DecodePieceInto(std::string_view piece, LogLineParser& parser, FrameLookup& lookup,
                     const DecodeWriter& writer, bool csvRows, PieceOutput& out,
                     LogCounts& counts) {
    struct TextOut {
        const DecodeWriter& writer;
        std::string& text;
        void Prefetch(const FrameCodec&, int) const {}
        bool Put(const FrameCodec& codec, const LogFrame& frame) const {
            return writer.Append(text, codec, frame.data, frame.size, &frame);
        }
    };
    struct RowsOut {
        const DecodeWriter& writer;
        PieceOutput& out;
        void Prefetch(const FrameCodec&, int) const {}
        bool Put(const FrameCodec& codec, const LogFrame& frame) const {
            char* at = out.rows.Room(DecodeWriter::CsvRowBound(codec, &frame));
            bool complete = true;
            out.rows.SetEnd(
                writer.WriteCsvRow(at, codec, frame.data, frame.size, &frame, complete));
            out.ends.push_back({static_cast<uint32_t>(codec.CatalogIndex()),
                                static_cast<uint32_t>(out.rows.size())});
            return complete;
        }
    };
    if (csvRows) {
        RowsOut rows{writer, out};
        DecodePiece(piece, parser, lookup, writer, counts, rows);
    } else {
        TextOut text{writer, out.text};
        DecodePiece(piece, parser, lookup, writer, counts, text);
    }
}

// Calls onPiece for pieces of a block of whole lines, each ending at a line end and at least
// pieceBytes long (but the last).
template <class OnPiece>
void SplitBlock(std::string_view block, size_t pieceBytes, OnPiece&& onPiece) {
    while (block.size() > pieceBytes) {
        const size_t end = block.find('\n', pieceBytes - 1);
        if (end == std::string_view::npos) break;
        onPiece(block.substr(0, end + 1));
        block.remove_prefix(end + 1);
    }
    if (!block.empty()) onPiece(block);
}

// ---------------------------------------------------------------------------------------------
// Where the output goes.

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

class Sink {
  public:
    virtual ~Sink() = default;
    virtual void Write(const PieceOutput& piece) = 0;
    virtual void Finish() {}
    virtual bool MarksRows() const { return false; }
};

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

// A name that is safe as a file name: letters, digits, "_", "-" and "." kept, others "_".
std::string FileNameOf(const std::string& name) {
    std::string out;
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        const bool keep = std::isalnum(byte) || c == '_' || c == '-' || c == '.' || byte >= 0x80;
        out += keep ? c : '_';
    }
    if (out.empty() || out[0] == '.') out.insert(out.begin(), '_');
    return out;
}

// A piece of a table's waiting rows. A table's rows fill a chain of chunks, each full but the
// last, so that they take their bytes and the unfilled end of one chunk, however the tables'
// shares of a log change (buffers of their own would each keep the room of their largest
// share: 2.6 times the rows with thousands of tables). 2 KiB: a row goes in place when the last
// chunk has room for its bound (about 1 KB for a frame of 20 signals); smaller chunks send most
// rows through the scratch buffer, larger ones leave more unfilled ends.
struct RowChunk {
    static constexpr size_t kBytes = 2048 - sizeof(RowChunk*);
    RowChunk* next;
    char data[kBytes];
};

// The chunks of every table, taken and given back by the thread that fills the tables. Chunks
// come in slabs that stay until the end: the pool holds what the most rows waiting at once
// took. Free chunks are listed apart from them, so that taking one reads none (a written chunk
// went cold), and the last given back (warmest) is taken first.
class ChunkPool {
  public:
    // Whether Take must make a new slab (no chunk is free and the last slab is used up).
    bool Full() const { return free_.empty() && fresh_ == freshEnd_; }
    size_t Bytes() const { return slabs_.size() * kSlabBytes; }
    RowChunk* Take() {
        RowChunk* chunk;
        if (!free_.empty()) {
            chunk = free_.back();
            free_.pop_back();
            if (!free_.empty()) __builtin_prefetch(free_.back(), 1);
        } else {
            if (fresh_ == freshEnd_) {
                slabs_.emplace_back(NewSlab());
                fresh_ = slabs_.back().get();
                freshEnd_ = fresh_ + kSlabBytes / sizeof(RowChunk);
            }
            chunk = fresh_++;
        }
        chunk->next = nullptr;
        return chunk;
    }
    void Give(const std::vector<RowChunk*>& chunks) {
        free_.insert(free_.end(), chunks.begin(), chunks.end());
    }

  private:
    // A huge page each (where the kernel offers them): rows go to thousands of tables at random,
    // and 4 KiB pages would cost a TLB miss for most rows. Mapped apart, on a boundary of their
    // size (a heap block's header would bring in the huge page before it).
    static constexpr size_t kSlabBytes = size_t{2} << 20;
    static RowChunk* NewSlab() {
        constexpr size_t kSpan = 2 * kSlabBytes;
        void* area =
            ::mmap(nullptr, kSpan, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
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
    struct Free {
        void operator()(RowChunk* slab) const { ::munmap(slab, kSlabBytes); }
    };
    std::vector<std::unique_ptr<RowChunk[], Free>> slabs_;
    std::vector<RowChunk*> free_;
    RowChunk* fresh_ = nullptr;  // never taken yet, up to freshEnd_
    RowChunk* freshEnd_ = nullptr;
};

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

// The files of a folder's tables, written by a thread of their own: the thread that fills the
// tables hands the chains of the largest over and goes on decoding while they are written, so
// the system time of thousands of files (making them, block allocation, copies into the page
// cache) overlaps the decode. One batch is written at a time; it belongs to the filling thread
// again when WaitIdle returns. Its chunks come back as they are written, a few tables at a
// time, so that a filling thread short of chunks waits for a part of a batch, not all of it.
// A table's file is made on its first write; files stay open up to a budget of descriptors.
class TableFiles {
  public:
    // A table's rows: its chain, the last chunk filled up to `end`.
    struct Chain {
        uint32_t table;
        RowChunk* first;
        const char* end;
    };
    struct Batch {
        std::vector<Chain> chains;
    };

    explicit TableFiles(size_t tables) : tables_(tables) {
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
    // Drops a batch that still waits (the output is incomplete only when something failed).
    ~TableFiles() {
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
    TableFiles(const TableFiles&) = delete;
    TableFiles& operator=(const TableFiles&) = delete;

    // Where a table goes; set before its first rows are handed over.
    void SetPath(uint32_t table, std::string path) { tables_[table].path = std::move(path); }

    // Has the batch written; call WaitIdle first. Throws the first error of a write.
    void Hand(Batch& batch) {
        {
            const std::lock_guard lock(mutex_);
            if (failure_) std::rethrow_exception(failure_);
            batch_ = &batch;
            busy_.store(true, std::memory_order_relaxed);
        }
        changed_.notify_all();
    }

    // Waits until the batch handed over is written; throws the first error of a write.
    void WaitIdle() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return batch_ == nullptr; });
        if (failure_) std::rethrow_exception(failure_);
    }

    // Whether the batch handed over is written (it is then the filling thread's again), without
    // waiting.
    bool Idle() const { return !busy_.load(std::memory_order_acquire); }

    // Moves the chunks written since the last call into `chunks`; with wait, waits for some
    // first unless the batch is written.
    void TakeWritten(std::vector<RowChunk*>& chunks, bool wait) {
        std::unique_lock lock(mutex_);
        if (wait) {
            changed_.wait(lock, [&] { return !written_.empty() || batch_ == nullptr; });
        }
        chunks.insert(chunks.end(), written_.begin(), written_.end());
        written_.clear();
    }

    // Throws the first error of a write, if one failed (so that the decode stops soon).
    void ThrowIfFailed() {
        if (!failed_.load(std::memory_order_relaxed)) return;
        const std::lock_guard lock(mutex_);
        std::rethrow_exception(failure_);
    }

    // Writes what waits, ends the thread and closes the files; throws the first error.
    void Finish() {
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

  private:
    struct Table {
        std::string path;
        int fd = -1;
        bool made = false;  // the file was made (truncated); later opens append
    };

    void Run() {
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

    // Chunks go back in groups of this many (a lock each time).
    static constexpr size_t kChunksBack = 64;
    void GiveBack(std::vector<RowChunk*>& written) {
        {
            const std::lock_guard lock(mutex_);
            written_.insert(written_.end(), written.begin(), written.end());
        }
        written.clear();
        changed_.notify_all();
    }

    void Write(const Chain& chain, std::vector<RowChunk*>& written) {
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

    std::vector<Table> tables_;  // paths set by the filling thread, the rest the writer's
    size_t open_ = 0;
    size_t openBudget_ = 1000;
    std::thread thread_;

    std::mutex mutex_;
    std::condition_variable changed_;
    Batch* batch_ = nullptr;          // handed over, not written yet
    std::vector<RowChunk*> written_;  // written, not taken back yet
    bool ending_ = false;
    std::exception_ptr failure_;  // the first (a batch is not handed over after one)
    std::atomic<bool> failed_{false};
    std::atomic<bool> busy_{false};  // a batch is handed over and not written yet
};

// One CSV table per frame layout in a folder: FOLDER/NAME.csv, made when the frame first
// appears. Rows wait in their tables' chains of chunks; when they hold the budget together, the
// chains of the largest tables are handed to the writing thread (TableFiles), so a log of many
// frames costs few writes and the decode does not wait for them. The chains are written where
// they lie (no copy into a batch), and their chunks serve other tables' rows once written.
class TableFolderSink : public Sink {
  public:
    TableFolderSink(const std::string& folder, const FrameCatalog& frames,
                    const DecodeWriter& writer, size_t budget)
        : folder_(folder),
          frames_(frames),
          writer_(writer),
          budget_(std::max(budget, RowChunk::kBytes)),
          rows_(frames.Count()) {
        std::error_code error;
        std::filesystem::create_directories(folder_, error);
        if (!std::filesystem::is_directory(folder_)) {
            throw ToolError("cannot make the folder " + folder +
                            (error ? ": " + error.message() : ""));
        }
        files_ = std::make_unique<TableFiles>(frames.Count());
    }
    bool MarksRows() const override { return true; }

    // The rows of a piece that a worker decoded, into their tables; the tables of the rows a
    // few ahead and then the ends of their rows are fetched first, as in DecodePiece.
    void Write(const PieceOutput& piece) override {
        constexpr size_t kAhead = 8;
        const std::vector<RowMark>& ends = piece.ends;
        for (size_t i = 0; i < ends.size() && i < 2 * kAhead; ++i) {
            __builtin_prefetch(&rows_[ends[i].frame]);
        }
        uint32_t begin = 0;
        for (size_t i = 0; i < ends.size(); ++i) {
            if (i + 2 * kAhead < ends.size())
                __builtin_prefetch(&rows_[ends[i + 2 * kAhead].frame]);
            if (i + kAhead < ends.size()) {
                const Rows& ahead = rows_[ends[i + kAhead].frame];
                if (ahead.at != nullptr) __builtin_prefetch(ahead.at, 1);
            }
            const RowMark& row = ends[i];
            Append(DirtyRows(row.frame), piece.rows.data() + begin, row.end - begin);
            begin = row.end;
        }
        EndPiece();
    }

    // One thread decodes straight into the tables (DecodePiece's out): a frame's row goes into
    // its table's last chunk when that has room for the longest row, else through a scratch
    // buffer into as many chunks as it needs. The table's rows and their end are fetched ahead,
    // as they are cold in a large database.
    void Prefetch(const FrameCodec& codec, int level) const {
        const Rows& rows = rows_[codec.CatalogIndex()];
        if (level == 0) {
            __builtin_prefetch(&rows);
        } else if (rows.at != nullptr) {
            __builtin_prefetch(rows.at, 1);
        }
    }
    bool Put(const FrameCodec& codec, const LogFrame& frame) {
        Rows& rows = DirtyRows(static_cast<uint32_t>(codec.CatalogIndex()));
        if (rows.last == nullptr) NewChunk(rows);
        const size_t bound = DecodeWriter::CsvRowBound(codec, &frame);
        bool complete = true;
        if (Room(rows) >= bound) {
            char* end =
                writer_.WriteCsvRow(rows.at, codec, frame.data, frame.size, &frame, complete);
            const auto bytes = static_cast<size_t>(end - rows.at);
            rows.at = end;
            rows.bytes += static_cast<uint32_t>(bytes);
            pendingBytes_ += bytes;
        } else {
            scratch_.clear();
            char* at = scratch_.Room(bound);
            char* end = writer_.WriteCsvRow(at, codec, frame.data, frame.size, &frame, complete);
            Append(rows, at, static_cast<size_t>(end - at));
        }
        return complete;
    }
    void EndPiece() {
        // Written chunks serve the next rows at once. A writer still busy is waited for only
        // when twice the budget waits (rows go on into the pool meanwhile, up to what it may
        // hold), so that a failed write stops the decode within that many rows.
        TakeWritten(false);
        if (pendingBytes_ >= budget_ && (files_->Idle() || pendingBytes_ >= 2 * budget_)) {
            FlushLargest();
        }
        files_->ThrowIfFailed();
    }
    void Finish() override {
        HandOver(dirty_.size());
        files_->Finish();
    }

  private:
    // The rows a table has waiting: what every row touches is 32 bytes a table, side by side.
    struct Rows {
        RowChunk* first = nullptr;
        RowChunk* last = nullptr;
        char* at = nullptr;  // where the next row goes in last
        uint32_t bytes = 0;  // waiting (less than the budget and a piece's rows)
        bool made = false;   // the table's path is set and its header is waiting or written
        bool dirty = false;  // listed in dirty_
    };

    static size_t Room(const Rows& rows) {
        return rows.last == nullptr
                   ? 0
                   : static_cast<size_t>(rows.last->data + RowChunk::kBytes - rows.at);
    }
    void NewChunk(Rows& rows) {
        // Beyond the budget, an eighth more and the unfilled half of a chunk per table, the pool
        // takes chunks back from the writer instead of growing: it waits for those of the batch
        // being written, or hands the largest other tables over first when the writer is idle
        // (growing then, as a slow writer left the rows past the budget, would keep a slab more
        // after every batch).
        if (pool_.Full()) TakeWritten(false);
        if (pool_.Full() &&
            pool_.Bytes() >= budget_ + budget_ / 8 + rows_.size() * RowChunk::kBytes / 2) {
            if (files_->Idle()) FlushLargest(&rows);
            if (!files_->Idle()) TakeWritten(true);
        }
        RowChunk* chunk = pool_.Take();
        if (rows.last == nullptr) {
            rows.first = chunk;
        } else {
            rows.last->next = chunk;
        }
        rows.last = chunk;
        rows.at = chunk->data;
    }
    void Append(Rows& rows, const char* text, size_t size) {
        rows.bytes += static_cast<uint32_t>(size);
        pendingBytes_ += size;
        size_t room = Room(rows);
        if (room >= size) {
            CopyRow(rows.at, text, size);
            rows.at += size;
            return;
        }
        while (size > 0) {
            if (room == 0) {
                NewChunk(rows);
                room = RowChunk::kBytes;
            }
            const size_t part = std::min(room, size);
            std::memcpy(rows.at, text, part);
            rows.at += part;
            text += part;
            size -= part;
            room -= part;
        }
    }

    // The rows of a frame's table, listed for the next flush.
    Rows& DirtyRows(uint32_t index) {
        Rows& rows = rows_[index];
        if (!rows.made) MakeTable(index);
        if (!rows.dirty) {
            rows.dirty = true;
            dirty_.push_back(index);
        }
        return rows;
    }

    void MakeTable(uint32_t index) {
        const FrameCodec& frame = frames_.At(index);
        std::string name = FileNameOf(writer_.NameOf(frame));
        if (!names_.insert(name).second) name += "_" + std::to_string(index);
        names_.insert(name);
        files_->SetPath(index, (std::filesystem::path(folder_) / (name + ".csv")).string());
        const std::string header = writer_.CsvHeader(frame);
        Append(rows_[index], header.data(), header.size());
        rows_[index].made = true;
    }

    // The chunks written since the last call back to the pool; with wait, waits for some
    // unless the writer is idle.
    void TakeWritten(bool wait) {
        files_->TakeWritten(written_, wait);
        pool_.Give(written_);
        written_.clear();
    }

    // The chains of the first `count` tables of dirty_ handed to the writing thread, once the
    // batch before is written.
    void HandOver(size_t count) {
        files_->WaitIdle();
        TakeWritten(false);
        batch_.chains.clear();
        for (size_t i = 0; i < count; ++i) {
            const uint32_t index = dirty_[i];
            Rows& rows = rows_[index];
            if (rows.first != nullptr) batch_.chains.push_back({index, rows.first, rows.at});
            pendingBytes_ -= rows.bytes;
            rows = Rows{nullptr, nullptr, nullptr, 0, true, false};
        }
        dirty_.erase(dirty_.begin(), dirty_.begin() + static_cast<std::ptrdiff_t>(count));
        if (!batch_.chains.empty()) files_->Hand(batch_);
    }

    // The tables that hold the most are handed over until half the budget is left: a log of
    // thousands of frames then costs few, large writes, and the tables of rare frames gather
    // rows for several rounds instead of one small write each round.
    // keep: a table whose rows are being appended, which stays.
    void FlushLargest(const Rows* keep = nullptr) {
        std::sort(dirty_.begin(), dirty_.end(),
                  [&](uint32_t a, uint32_t b) { return rows_[a].bytes > rows_[b].bytes; });
        size_t count = 0;
        size_t left = pendingBytes_;
        for (size_t i = 0; i < dirty_.size() && left > budget_ / 2; ++i) {
            if (&rows_[dirty_[i]] == keep) continue;
            left -= rows_[dirty_[i]].bytes;
            std::swap(dirty_[count++], dirty_[i]);
        }
        HandOver(count);
    }

    std::string folder_;
    const FrameCatalog& frames_;
    const DecodeWriter& writer_;
    size_t budget_;  // bytes of rows that wait before the largest tables are handed over
    std::vector<Rows> rows_;
    std::set<std::string> names_;
    std::vector<uint32_t> dirty_;
    TextBuffer scratch_;
    size_t pendingBytes_ = 0;
    ChunkPool pool_;
    TableFiles::Batch batch_;
    std::vector<RowChunk*> written_;     // taken back from the writer, for the pool
    std::unique_ptr<TableFiles> files_;  // last: its thread ends before the batch goes
};

// ---------------------------------------------------------------------------------------------
// Reporting.

std::string SourceName(const std::string& path) {
    return path == "-" ? "stdin" : path;
}

// "quillmere: decoding 412 of 1000 MB (41%)" on a terminal, rewritten in place.
class Progress {
  public:
    explicit Progress(const std::vector<std::string>& logs) {
        if (!::isatty(STDERR_FILENO)) return;
        for (const std::string& log : logs) {
            struct stat info {};
            if (log != "-" && ::stat(log.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
                total_ += static_cast<uint64_t>(info.st_size);
            }
        }
        shown_ = total_ > kProgressFrom;
    }
    void Add(size_t bytes) {
        if (!shown_) return;
        done_ += bytes;
        const auto now = std::chrono::steady_clock::now();
        if (now - last_ < std::chrono::milliseconds(250)) return;
        last_ = now;
        std::fprintf(
            stderr, "\rquillmere: decoding %llu of %llu MB (%llu%%)",
            static_cast<unsigned long long>(done_ / 1000000),
            static_cast<unsigned long long>(total_ / 1000000),
            static_cast<unsigned long long>(std::min<uint64_t>(done_ * 100 / total_, 100)));
        drawn_ = true;
    }
    // Clears the line before other text goes to stderr.
    void Clear() {
        if (drawn_) std::fputs("\r\033[K", stderr);
        drawn_ = false;
    }

  private:
    uint64_t total_ = 0;
    uint64_t done_ = 0;
    bool shown_ = false;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point last_{};
};

// What became of the logs: their counts and the first error.
struct Outcome {
    std::string firstError;

    void EndOfLog(const std::string& path, const LogCounts& counts, const std::string& error,
                  Progress& progress) {
        progress.Clear();
        if (error.empty() || error.rfind("cannot open", 0) != 0)
            PrintCountsLine(counts, SourceName(path), true);
        if (!error.empty() && firstError.empty()) firstError = error;
    }
};

// ---------------------------------------------------------------------------------------------
// Reading.

// Opens a log (standard input for "-"); on failure returns -1 and the message.
int OpenLog(const std::string& path, std::string& error) {
    if (path == "-") return STDIN_FILENO;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) error = "cannot open log '" + path + "': " + std::strerror(errno);
    return fd;
}

// Calls onPiece(piece) for the pieces of a log, then returns the error text ("" when read in
// full).
template <class OnPiece>
std::string ReadLog(const std::string& path, size_t pieceBytes, OnPiece&& onPiece) {
    std::string error;
    const int fd = OpenLog(path, error);
    if (fd < 0) return error;
    qm::codec::LineReader reader(fd, kReadChunk);
    std::string_view block;
    while (reader.NextBlock(block)) SplitBlock(block, pieceBytes, onPiece);
    if (fd != STDIN_FILENO) ::close(fd);
    if (reader.Failed()) error = "cannot read log '" + path + "'";
    return error;
}

// ---------------------------------------------------------------------------------------------
// One thread.

// tables: the sink when it is a folder of CSV tables, which rows then go straight into.
void DecodeInline(const FrameCatalog& frames, const DecodeWriter& writer,
                  const LogJobOptions& options, Sink& sink, TableFolderSink* tables,
                  Progress& progress, Outcome& outcome) {
    FrameLookup lookup(frames);
    PieceOutput out;
    for (const std::string& path : options.logs) {
        LogLineParser parser;
        LogCounts counts;
        const std::string error = ReadLog(path, options.pieceBytes, [&](std::string_view piece) {
            if (tables != nullptr) {
                DecodePiece(piece, parser, lookup, writer, counts, *tables);
                tables->EndPiece();
            } else {
                out.Clear();
                DecodePieceInto(piece, parser, lookup, writer, false, out, counts);
                sink.Write(out);
            }
            progress.Add(piece.size());
        });
        outcome.EndOfLog(path, counts, error, progress);
    }
}

// ---------------------------------------------------------------------------------------------
// Several threads: the reader (the calling thread) fills pieces from a fixed pool, workers
// decode them and put them out in order, and return them to the pool. No thread is set apart
// for putting out (a thread that copies every piece would hold up the workers): the worker that
// decodes the next piece in order puts it out, and with it the pieces after it that others
// have decoded meanwhile; one worker at a time does so.

struct Piece {
    uint64_t sequence = 0;
    size_t log = 0;
    bool endOfLog = false;  // no text: the log ends here (error says why, when it failed)
    std::string error;
    std::string text;
    LogLineParser parser;  // as it stands at the start of the piece
    PieceOutput out;
    LogCounts counts;
    bool decoded = false;
};

class Pipeline {
  public:
    Pipeline(const FrameCatalog& frames, const DecodeWriter& writer, const LogJobOptions& options,
             Sink& sink, Progress& progress, Outcome& outcome, unsigned workers)
        : frames_(frames),
          writer_(writer),
          options_(options),
          sink_(sink),
          progress_(progress),
          outcome_(outcome),
          pool_(2 * workers + 2),
          slots_(pool_.size(), nullptr),
          logCounts_(options.logs.size()) {
        for (auto& piece : pool_) {
            piece = std::make_unique<Piece>();
            free_.push_back(piece.get());
        }
        for (unsigned i = 0; i < workers; ++i) threads_.emplace_back([this] { Work(); });
    }

    void Run() {
        try {
            for (size_t log = 0; log < options_.logs.size() && !Stopped(); ++log) {
                LogLineParser parser;
                const std::string error =
                    ReadLog(options_.logs[log], options_.pieceBytes, [&](std::string_view text) {
                        Piece* piece = Take();
                        if (piece == nullptr) return;
                        piece->log = log;
                        piece->text.assign(text);
                        piece->parser = parser;
                        parser.FollowHeaders(text);
                        Hand(piece);
                    });
                if (Piece* end = Take()) {
                    end->log = log;
                    end->endOfLog = true;
                    end->error = error;
                    Hand(end);
                }
            }
        } catch (...) {
            Fail(std::current_exception());
        }
        {
            const std::lock_guard lock(mutex_);
            reading_ = false;
        }
        changed_.notify_all();
        for (auto& thread : threads_) thread.join();
        if (failure_) std::rethrow_exception(failure_);
    }

  private:
    bool Stopped() {
        const std::lock_guard lock(mutex_);
        return failure_ != nullptr;
    }

    void Fail(std::exception_ptr failure) {
        {
            const std::lock_guard lock(mutex_);
            if (!failure_) failure_ = failure;
        }
        changed_.notify_all();
    }

    // A free piece, or nullptr once something failed.
    Piece* Take() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return !free_.empty() || failure_; });
        if (failure_) return nullptr;
        Piece* piece = free_.back();
        free_.pop_back();
        piece->sequence = next_++;
        piece->endOfLog = false;
        piece->error.clear();
        piece->decoded = false;
        slots_[piece->sequence % slots_.size()] = piece;
        return piece;
    }

    void Hand(Piece* piece) {
        {
            const std::lock_guard lock(mutex_);
            work_.push_back(piece);
        }
        changed_.notify_all();
    }

    void Work() {
        FrameLookup lookup(frames_);
        const bool markRows = sink_.MarksRows();
        while (true) {
            Piece* piece = nullptr;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return !work_.empty() || !reading_ || failure_; });
                if (failure_ || work_.empty()) return;
                piece = work_.front();
                work_.pop_front();
            }
            try {
                piece->out.Clear();
                piece->counts = LogCounts();
                if (!piece->endOfLog) {
                    DecodePieceInto(piece->text, piece->parser, lookup, writer_, markRows,
                                    piece->out, piece->counts);
                }
            } catch (...) {
                Fail(std::current_exception());
                return;
            }
            if (!PutOutInOrder(piece)) return;
        }
    }

    // Marks the piece decoded; when no other worker is putting out, puts out the pieces that
    // are next in order and decoded. Returns false once something failed.
    bool PutOutInOrder(Piece* decoded) {
        std::unique_lock lock(mutex_);
        decoded->decoded = true;
        if (putting_) return true;
        putting_ = true;
        while (!failure_) {
            Piece* piece = slots_[putNext_ % slots_.size()];
            if (piece == nullptr || piece->sequence != putNext_ || !piece->decoded) break;
            lock.unlock();
            try {
                LogCounts& counts = logCounts_[piece->log];
                if (piece->endOfLog) {
                    outcome_.EndOfLog(options_.logs[piece->log], counts, piece->error, progress_);
                } else {
                    sink_.Write(piece->out);
                    counts += piece->counts;
                    progress_.Add(piece->text.size());
                }
            } catch (...) {
                lock.lock();
                putting_ = false;
                lock.unlock();
                Fail(std::current_exception());
                return false;
            }
            lock.lock();
            slots_[putNext_ % slots_.size()] = nullptr;
            free_.push_back(piece);
            ++putNext_;
            changed_.notify_all();
        }
        putting_ = false;
        return !failure_;
    }

    const FrameCatalog& frames_;
    const DecodeWriter& writer_;
    const LogJobOptions& options_;
    Sink& sink_;
    Progress& progress_;
    Outcome& outcome_;
    std::vector<std::unique_ptr<Piece>> pool_;
    std::vector<Piece*> slots_;  // by sequence, modulo the pool's size
    std::vector<LogCounts> logCounts_;
    std::vector<std::thread> threads_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Piece*> free_;
    std::deque<Piece*> work_;
    uint64_t next_ = 0;     // the sequence of the next piece taken
    uint64_t putNext_ = 0;  // the sequence of the next piece put out
    bool putting_ = false;  // a worker is putting out pieces
    bool reading_ = true;
    std::exception_ptr failure_;
};

}  // namespace

FrameLookup::FrameLookup(const FrameCatalog& frames)
    : frames_(frames),
      direct_(size_t{kDirect} * 2, Unresolved()),
      table_(size_t{1} << 12, Entry{kEmpty, nullptr}),
      mask_(table_.size() - 1) {}

const FrameCodec* FrameLookup::Remember(size_t at, uint32_t key, uint32_t id, bool extended) {
    const FrameCodec* frame = frames_.ForId(id, extended);
    // Half full at most, so that every probe ends soon; identifiers beyond are looked up anew.
    if (used_ < table_.size() / 2) {
        table_[at] = Entry{key, frame};
        ++used_;
    }
    return frame;
}

void DecodeLogs(const FrameCatalog& frames, DecodeWriter& writer, const LogJobOptions& options) {
    writer.ServeCatalog(frames);
    std::unique_ptr<Sink> sink;
    TableFolderSink* tables = nullptr;
    if (options.csv) {
        if (options.output.empty()) {
            throw ToolError("--csv writes one table per frame into a folder: give -o FOLDER");
        }
        auto folder =
            std::make_unique<TableFolderSink>(options.output, frames, writer, options.tableBytes);
        tables = folder.get();
        sink = std::move(folder);
    } else {
        if (!options.output.empty() && std::filesystem::is_directory(options.output)) {
            throw ToolError("-o " + options.output + " is a folder; this output is one file");
        }
        sink = std::make_unique<StreamSink>(options.output);
    }
    Progress progress(options.logs);
    Outcome outcome;
    // More workers than a machine has cores only cost memory (each brings two pieces).
    constexpr unsigned kMostJobs = 64;
    const unsigned jobs =
        std::min(kMostJobs, options.jobs != 0 ? options.jobs
                                              : std::max(1u, std::thread::hardware_concurrency()));
    if (jobs <= 1) {
        DecodeInline(frames, writer, options, *sink, tables, progress, outcome);
    } else {
#ifdef __GLIBC__
        // The workers allocate from the heap the model was freed into (glibc would give each
        // thread an arena of its own, whose pages come on top of that memory).
        ::mallopt(M_ARENA_MAX, 1);
#endif
        Pipeline(frames, writer, options, *sink, progress, outcome, jobs).Run();
    }
    progress.Clear();
    sink->Finish();
    if (!outcome.firstError.empty()) throw ToolError(outcome.firstError);
}

void PrintCountsLine(const LogCounts& counts, const std::string& source, bool lineCounts) {
    const auto n = [](uint64_t value) { return static_cast<unsigned long long>(value); };
    char lines[32] = "";
    char skipped[32] = "";
    if (lineCounts) {
        std::snprintf(lines, sizeof lines, "%llu lines, ", n(counts.lines));
        std::snprintf(skipped, sizeof skipped, "%llu skipped, ", n(counts.skipped));
    }
    std::fprintf(stderr,
                 "quillmere: %s: %s%llu frames (%llu decoded, %llu unknown, %llu truncated), %llu "
                 "remote, %llu error frames, %s%llu unreadable\n",
                 source.c_str(), lines, n(counts.frames), n(counts.decoded), n(counts.unknown),
                 n(counts.truncated), n(counts.remote), n(counts.errorFrames), skipped,
                 n(counts.unreadable));
}

}  // namespace qmtool
