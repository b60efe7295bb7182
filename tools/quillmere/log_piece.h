#pragma once
// Decoding one piece of a log (whole lines) into its output: text, or CSV rows with the table of
// each. Used by the one-thread decode, which writes rows straight into their tables, and by the
// workers of several threads, which decode into a piece's own output.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "codec/frame_codec.h"
#include "codec/log_reader.h"
#include "decode_output.h"
#include "log_jobs.h"

namespace qmtool {

// Copies a row: moves of 16 bytes (the last one ending at its end) where a call would cost more.
inline void CopyRow(char* at, const char* text, size_t bytes) {
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
    TextBuffer text;            // JSON Lines or text
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
void DecodePiece(std::string_view piece, qm::codec::LogLineParser& parser, FrameLookup& lookup,
                 const DecodeWriter& writer, qm::codec::LogCounts& counts, Out& out) {
    // 16 frames a batch: a fetch is asked for 32-48 frames before the decode that reads it, more
    // than the memory's latency, and the lines of the frames in flight (codecs, steps, tables)
    // stay in the first-level cache, which those of batches of 32 overran.
    constexpr size_t kBatch = 16;
    constexpr size_t kStages = 4;  // parsed and looked up, fields, signals, decoded
    struct Pending {
        qm::codec::LogFrame frame;
        const qm::codec::FrameCodec* codec;
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
        const qm::codec::LogLineKind kind = parser.ParseFirst(piece, entry.frame);
        counts.Count(kind);
        if (kind != qm::codec::LogLineKind::Frame) continue;
        lookup.Prefetch(entry.frame.id, entry.frame.extended);
        if (++parsing.size == kBatch) advance();
    }
    // The last batches through the remaining steps.
    for (size_t step = 0; step < kStages; ++step) advance();
}

// A piece decoded into its output: text, or (csvRows) CSV rows with the table of each.
void DecodePieceInto(std::string_view piece, qm::codec::LogLineParser& parser, FrameLookup& lookup,
                     const DecodeWriter& writer, bool csvRows, PieceOutput& out,
                     qm::codec::LogCounts& counts);

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

}  // namespace qmtool
