#pragma once
// "quillmere decode DB --log LOG... [--jobs N] [--csv|--jsonl] [-o OUT]": logs decoded by
// several threads at once. Each log is read in blocks of whole lines and cut at line ends into
// pieces of a few hundred kilobytes; workers decode pieces side by side (pieces of the next log
// start while the last ones of the previous log are still decoding) and their output is put
// out in the order of the input (by one worker at a time), so the output is the same byte for
// byte whatever the number of workers. A fixed pool of pieces bounds the memory at any log
// size. CSV tables are written to their files by a thread of their own, with any number of
// workers.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "codec/frame_codec.h"
#include "codec/log_reader.h"

namespace qmtool {

class DecodeWriter;

struct LogJobOptions {
    std::vector<std::string> logs;  // paths, "-" for standard input
    unsigned jobs = 0;              // decoding threads; 0: one per core
    bool csv = false;               // one CSV table per frame layout in the folder `output`
    std::string output;             // "" for standard output
    size_t pieceBytes = size_t{256} << 10;
    // With --csv: bytes of rows that wait in their tables before the largest are written.
    size_t tableBytes = size_t{40} * 1000 * 1000;
};

// Decodes the logs through the writer; prints one line of counts per log on stderr (and a
// progress line when stderr is a terminal and the logs exceed 100 MB). Throws ToolError when
// a log cannot be read (after the others are decoded) or the output cannot be written.
void DecodeLogs(const qm::codec::FrameCatalog& frames, DecodeWriter& writer,
                const LogJobOptions& options);

// One line of counts on stderr ("quillmere: SOURCE: 12 lines, 10 frames (...), ..."); a live
// source, which has no lines, leaves out the line and skipped counts.
void PrintCountsLine(const qm::codec::LogCounts& counts, const std::string& source,
                     bool lineCounts);

// The frames of a catalog by identifier as a log names them (FrameCatalog::ForId), remembered
// so that each frame of a log costs one look-up: identifiers below kDirect (those of most
// databases) in a table indexed by identifier and addressing, whose used part is as small as
// the identifiers are dense; others in an open-addressing table. One per thread.
class FrameLookup {
  public:
    explicit FrameLookup(const qm::codec::FrameCatalog& frames);
    const qm::codec::FrameCodec* Find(uint32_t id, bool extended) {
        if (id < kDirect) {
            const qm::codec::FrameCodec*& slot = direct_[size_t{id} * 2 + extended];
            if (slot == Unresolved()) slot = frames_.ForId(id, extended);
            return slot;
        }
        const uint32_t key = extended ? id | qm::codec::kExtendedFlag : id;
        for (size_t at = Hash(key);; at = (at + 1) & mask_) {
            const Entry& entry = table_[at];
            if (entry.key == key) return entry.frame;
            if (entry.key == kEmpty) return Remember(at, key, id, extended);
        }
    }

    // Asks the processor for the slot Find(id, extended) reads (for a batch of frames ahead).
    void Prefetch(uint32_t id, bool extended) const {
        if (id < kDirect) __builtin_prefetch(&direct_[size_t{id} * 2 + extended]);
    }

  private:
    static constexpr uint32_t kDirect = 1u << 14;
    struct Entry {
        uint32_t key;
        const qm::codec::FrameCodec* frame;
    };
    static constexpr uint32_t kEmpty = 0xFFFFFFFFu;  // no identifier has all bits set
    // A slot of direct_ not looked up yet (never dereferenced).
    static const qm::codec::FrameCodec* Unresolved() {
        return reinterpret_cast<const qm::codec::FrameCodec*>(alignof(qm::codec::FrameCodec));
    }
    size_t Hash(uint32_t key) const {
        return static_cast<size_t>((key * 0x9E3779B1u) >> 7) & mask_;
    }
    const qm::codec::FrameCodec* Remember(size_t at, uint32_t key, uint32_t id, bool extended);

    const qm::codec::FrameCatalog& frames_;
    std::vector<const qm::codec::FrameCodec*> direct_;
    std::vector<Entry> table_;
    size_t mask_;
    size_t used_ = 0;
};

}  // namespace qmtool
