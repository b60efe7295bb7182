#pragma once
// The memory of CSV rows that wait for their files (chunks from one pool) and the thread that
// writes them to the files of their tables.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qmtool {

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
    static RowChunk* NewSlab();
    struct Free {
        void operator()(RowChunk* slab) const;
    };
    std::vector<std::unique_ptr<RowChunk[], Free>> slabs_;
    std::vector<RowChunk*> free_;
    RowChunk* fresh_ = nullptr;  // never taken yet, up to freshEnd_
    RowChunk* freshEnd_ = nullptr;
};

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

    explicit TableFiles(size_t tables);
    // Drops a batch that still waits (the output is incomplete only when something failed).
    ~TableFiles();
    TableFiles(const TableFiles&) = delete;
    TableFiles& operator=(const TableFiles&) = delete;

    // Where a table goes; set before its first rows are handed over.
    void SetPath(uint32_t table, std::string path) { tables_[table].path = std::move(path); }

    // Has the batch written; call WaitIdle first. Throws the first error of a write.
    void Hand(Batch& batch);

    // Waits until the batch handed over is written; throws the first error of a write.
    void WaitIdle();

    // Whether the batch handed over is written (it is then the filling thread's again), without
    // waiting.
    bool Idle() const { return !busy_.load(std::memory_order_acquire); }

    // Moves the chunks written since the last call into `chunks`; with wait, waits for some
    // first unless the batch is written.
    void TakeWritten(std::vector<RowChunk*>& chunks, bool wait);

    // Throws the first error of a write, if one failed (so that the decode stops soon).
    void ThrowIfFailed() {
        if (failed_.load(std::memory_order_relaxed)) Rethrow();
    }

    // Writes what waits, ends the thread and closes the files; throws the first error.
    void Finish();

  private:
    struct Table {
        std::string path;
        int fd = -1;
        bool made = false;  // the file was made (truncated); later opens append
    };

    void Run();
    // Chunks go back in groups of this many (a lock each time).
    static constexpr size_t kChunksBack = 64;
    void GiveBack(std::vector<RowChunk*>& written);
    void Write(const Chain& chain, std::vector<RowChunk*>& written);
    [[noreturn]] void Rethrow();

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

}  // namespace qmtool
