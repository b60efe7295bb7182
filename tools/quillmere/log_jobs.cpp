#include "log_jobs.h"

#include <fcntl.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <exception>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

#include "csv_tables.h"
#include "decode_output.h"
#include "format.h"
#include "log_piece.h"
#include "log_sinks.h"

namespace qmtool {

using qm::codec::FrameCatalog;
using qm::codec::FrameCodec;
using qm::codec::LogCounts;
using qm::codec::LogLineParser;

namespace {

constexpr size_t kReadChunk = size_t{1} << 20;   // the longest line a log may have
constexpr uint64_t kProgressFrom = 100'000'000;  // bytes of input that earn a progress line

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
        sink = OpenStreamSink(options.output);
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
