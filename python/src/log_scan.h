#pragma once
// The lines of a log read into rows: each frame of the database a log holds is kept, in the
// order met, as a row of its frame layout (timestamp, channel index, padded payload) until the
// rows become columns (log_columns.cpp). The lines are parsed and laid out without the GIL.
#include <pybind11/pybind11.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "codec/log_reader.h"
#include "heap_pages.h"
#include "log_columns.h"
#include "plan_source.h"

namespace qmpy {

namespace py = pybind11;

// The column layout of a frame (its names and fills), made once per plan.
const std::shared_ptr<const LogColumnLayout>& ColumnsOf(const FramePlan& plan);
// The column layout of a codec made for the columns alone: it keeps the codec only where the
// columns read it (ReadsCodec). Names and keys as a FramePlan of the codec gives them.
std::shared_ptr<const LogColumnLayout> LeanColumns(std::unique_ptr<qm::codec::FrameCodec> codec,
                                                   const TextRule& text);

// Frames of one layout in arrival order, one row each: the timestamp, the channel index and
// the payload size in a 16-byte head, then the record of the payload (its words up to the last
// field, zeros after a short payload); one frame touches one place in memory. Rows are kept in
// chunks that grow from small (a log may hold a frame once) to large, so that nothing is ever
// copied to grow.
constexpr size_t kRowHead = 16;
constexpr size_t kChannelAt = 8;
constexpr size_t kSizeAt = 10;
// Zeroed bytes after a block of rows, for the 64-bit loads of the last row's last fields.
constexpr size_t kLoadSlack = 8;

struct Chunk {
    size_t capacity = 0;
    std::unique_ptr<uint8_t[]> rows;
};

// The mask of a word's first `count` bytes in memory (count below 8).
inline uint64_t LowBytes(size_t count) {
    const uint64_t low = (uint64_t{1} << (8 * count)) - 1;
    if constexpr (std::endian::native == std::endian::little) return low;
    return ~(~uint64_t{0} >> (8 * count));
}

// The frames of one layout met in the log. What every frame touches comes first.
struct Collected {
    explicit Collected(std::shared_ptr<const LogColumnLayout> layout)
        : stride(layout->stride),
          fieldEnd(layout->fieldEnd),
          container(layout->container),
          codec(layout->codec.get()),
          name(layout->frameName),
          columns(std::move(layout)) {
        rowSize = kRowHead + stride;
    }

    uint8_t* next = nullptr;  // the next free row
    size_t room = 0;          // rows left in the last chunk
    size_t rowSize = 0;
    size_t stride = 0;
    size_t fieldEnd = 0;     // payload bytes a row keeps
    bool container = false;  // rows hold payloads as sent, read by their sizes
    size_t count = 0;
    size_t truncated = 0;  // frames whose payload ends before the last field (some may be taken)
    std::vector<Chunk> chunks;
    size_t current = 0;  // the chunk being filled
    size_t skipped = 0;  // rows of the first chunk already taken
    // The layout's codec (null where the columns do not read it). The layout is shared with
    // the document: the scan runs without the GIL, while Python may edit the model.
    const qm::codec::FrameCodec* codec = nullptr;
    py::object name;
    std::shared_ptr<const LogColumnLayout> columns;

    // True when the payload ends before the last field.
    bool Add(const qm::codec::LogFrame& frame, double timestamp, uint16_t channel) {
        if (room == 0) Grow();
        uint8_t* row = next;
        next += rowSize;
        --room;
        std::memcpy(row, &timestamp, sizeof timestamp);
        std::memcpy(row + kChannelAt, &channel, sizeof channel);
        row[kSizeAt] = frame.size;
        uint8_t* record = row + kRowHead;
        // Word by word (a classic frame's record is two words; no call per frame): the bytes
        // of the payload up to the last field, zeros after them. A word read from the payload
        // starts below `copied` (at most 64), so it stays within qm::codec::LogFrame::data.
        const size_t copied = std::min<size_t>(frame.size, fieldEnd);
        for (size_t at = 0; at < stride; at += 8) {
            uint64_t word = 0;
            if (at < copied) {
                std::memcpy(&word, frame.data + at, sizeof word);
                if (const size_t kept = copied - at; kept < 8) word &= LowBytes(kept);
            }
            std::memcpy(record + at, &word, sizeof word);
        }
        const bool cut = !container && frame.size < fieldEnd;
        truncated += cut;
        ++count;
        return cut;
    }

    // Asks the processor for the row the next Add writes (and this object's fields first).
    void PrefetchRow() const {
        if (room) {
            __builtin_prefetch(next, 1);
            __builtin_prefetch(next + 64, 1);
        }
    }

    // The frames chunk `chunk` holds (the first chunk's taken rows left out), and the first.
    size_t CountOf(size_t chunk) const {
        return (chunk == current ? chunks[chunk].capacity - room : chunks[chunk].capacity) -
               (chunk == 0 ? skipped : 0);
    }
    const uint8_t* RowsOf(size_t chunk) const {
        return chunks[chunk].rows.get() + (chunk == 0 ? skipped * rowSize : 0);
    }

    // Drops the first `taken` frames (read into columns). An emptied object keeps its smallest
    // chunk of rows with keepRows, else none. Otherwise the chunks read to their end go after
    // the one being filled, which fills them again.
    void Drop(size_t taken, bool keepRows) {
        if (taken == count) {
            if (!keepRows) {
                Release();
                return;
            }
            // The smallest chunk stays: most messages fit it again; larger ones of a burst
            // would otherwise stay with every message met, a chunk of frames each.
            if (chunks.size() > 1) {
                const auto smallest = std::min_element(
                    chunks.begin(), chunks.end(),
                    [](const Chunk& a, const Chunk& b) { return a.capacity < b.capacity; });
                std::iter_swap(chunks.begin(), smallest);
                chunks.resize(1);
            }
            Rewind();
            return;
        }
        count -= taken;
        size_t read = 0;  // chunks read to their end
        while (taken >= CountOf(read)) {
            taken -= CountOf(read);
            ++read;
            skipped = 0;  // only ever of the first chunk
        }
        if (read) {
            std::rotate(chunks.begin(), chunks.begin() + static_cast<std::ptrdiff_t>(read),
                        chunks.end());
            current -= read;
        }
        skipped += taken;
    }

    // Empties the rows but keeps their memory for the next chunk of a log (no allocation and
    // no first touch of fresh pages per chunk).
    void Rewind() {
        current = 0;
        skipped = 0;
        next = chunks.empty() ? nullptr : chunks[0].rows.get();
        room = chunks.empty() ? 0 : chunks[0].capacity;
        count = 0;
        truncated = 0;
    }
    // Empties the rows and frees their memory.
    void Release() {
        chunks.clear();
        Rewind();
    }

  private:
    void Grow() {
        if (count && current + 1 < chunks.size()) {
            next = chunks[++current].rows.get();
            room = chunks[current].capacity;
            return;
        }
        // Half as large again as the largest so far (chunks read to their end may have moved
        // behind it), so that no more than a third of the rows stand empty.
        size_t largest = 0;
        for (const Chunk& chunk : chunks) largest = std::max(largest, chunk.capacity);
        const size_t capacity = std::clamp<size_t>((largest * 3 / 2 + 7) / 8 * 8, 16, 8192);
        // Not zeroed (Add writes every byte of a row), but for the slack after the last row.
        const size_t bytes = capacity * rowSize;
        chunks.push_back({capacity, std::unique_ptr<uint8_t[]>(new uint8_t[bytes + kLoadSlack])});
        std::memset(chunks.back().rows.get() + bytes, 0, kLoadSlack);
        current = chunks.size() - 1;
        next = chunks.back().rows.get();
        room = capacity;
    }
};

// Identifiers to slots in one open-addressing table: a look-up is one probe in the common case.
class SlotTable {
  public:
    static constexpr int kMissing = -2;

    int Find(uint32_t key) const {
        for (size_t at = Hash(key);; at = (at + 1) & mask_) {
            if (entries_[at].key == key) return entries_[at].slot;
            if (entries_[at].key == kEmpty) return kMissing;
        }
    }
    void Insert(uint32_t key, int slot) {
        if ((used_ + 1) * 2 > entries_.size()) Rehash(entries_.size() * 2);
        size_t at = Hash(key);
        while (entries_[at].key != kEmpty) at = (at + 1) & mask_;
        entries_[at] = {key, slot};
        ++used_;
    }

  private:
    // No frame key is all ones (the extended flag goes with 29 bits).
    static constexpr uint32_t kEmpty = 0xFFFFFFFFu;
    struct Entry {
        uint32_t key = kEmpty;
        int slot = kMissing;
    };
    size_t Hash(uint32_t key) const { return (key * 0x9E3779B1u) & mask_; }
    void Rehash(size_t size) {
        std::vector<Entry> old = std::move(entries_);
        entries_.assign(size, Entry{});
        mask_ = size - 1;
        used_ = 0;
        for (const Entry& entry : old) {
            if (entry.key != kEmpty) Insert(entry.key, entry.slot);
        }
    }

    std::vector<Entry> entries_ = std::vector<Entry>(64);
    size_t mask_ = 63;
    size_t used_ = 0;
};

// Finds the frame layout of each identifier seen, once: the look-up of a new identifier takes
// the GIL (plans are built by Python-facing code); every later frame is a table look-up.
class LayoutIndex {
  public:
    LayoutIndex(PlanSource& source, const py::object& frames) : source_(source) {
        if (frames.is_none()) return;
        filtered_ = true;
        for (const py::handle frame : frames) {
            const FramePlan& plan = source_.PlanForKey(frame);
            wanted_.insert(&plan);
            wantedKeys_.insert(plan.id);
        }
    }

    void Prefetch(uint32_t id, bool extended) const {
        if (id < kDirect) __builtin_prefetch(&direct_[size_t{id} * 2 + extended]);
    }

    // The slot of a frame's layout, -1 when the database has none (or it is not wanted).
    int SlotOf(uint32_t id, bool extended) {
        if (id < kDirect) {
            int& slot = direct_[size_t{id} * 2 + extended];
            if (slot == kUnresolved) slot = Resolve(id, extended);
            return slot;
        }
        const uint32_t key = id | (extended ? qm::codec::kExtendedFlag : 0);
        const int found = others_.Find(key);
        if (found != SlotTable::kMissing) return found;
        const int slot = Resolve(id, extended);
        others_.Insert(key, slot);
        return slot;
    }

    std::vector<std::unique_ptr<Collected>>& Slots() { return slots_; }

  private:
    static constexpr int kUnresolved = SlotTable::kMissing;

    int Resolve(uint32_t id, bool extended) {
        // Frames not asked for are passed over without building their plans (a database of
        // thousands of messages would otherwise build them all).
        if (filtered_ && !wantedKeys_.count(id) &&
            !(id <= 0x1FFFFFFFu && wantedKeys_.count(id | qm::codec::kExtendedFlag)))
            return -1;
        py::gil_scoped_acquire gil;
        std::shared_ptr<const LogColumnLayout> layout;
        if (filtered_) {
            const FramePlan* plan = source_.PlanForFrame(id, extended);
            if (plan && wanted_.count(plan)) layout = ColumnsOf(*plan);
        } else {
            layout = source_.ColumnsForFrame(id, extended);
        }
        HeapInHugePages::Grown();
        if (!layout) return -1;
        const auto [at, added] =
            slotOfLayout_.emplace(layout.get(), static_cast<int>(slots_.size()));
        if (added) slots_.push_back(std::make_unique<Collected>(std::move(layout)));
        return at->second;
    }

    PlanSource& source_;
    bool filtered_ = false;
    std::unordered_set<const FramePlan*> wanted_;
    std::unordered_set<uint32_t> wantedKeys_;  // their keys (identifier and extended flag)
    // Identifiers below 2^14 (standard ones, and the four-digit ones candump writes for small
    // extended identifiers) by a direct table indexed by identifier and addressing.
    static constexpr uint32_t kDirect = 1u << 14;
    std::vector<int> direct_ = std::vector<int>(size_t{kDirect} * 2, kUnresolved);
    SlotTable others_;
    std::unordered_map<const LogColumnLayout*, int> slotOfLayout_;
    std::vector<std::unique_ptr<Collected>> slots_;
};

// Channel names in the order first seen; the channel column holds their indexes. A log names
// a handful; one that names more than the column can count shares the last index.
class ChannelNames {
  public:
    uint16_t IndexOf(std::string_view channel) {
        if (last_ < names_.size() && Same(names_[last_], channel))
            return static_cast<uint16_t>(last_);
        // Logs interleave their channels frame by frame: the first few names are compared in
        // turn, which costs less than hashing the name (and making a string of it) per frame.
        const size_t few = std::min(names_.size(), kFew);
        for (size_t i = 0; i < few; ++i) {
            if (Same(names_[i], channel)) return static_cast<uint16_t>(last_ = i);
        }
        if (names_.size() > kFew) {
            const auto found = index_.find(std::string(channel));
            if (found != index_.end()) return static_cast<uint16_t>(last_ = found->second);
        }
        if (names_.size() == kMost) return static_cast<uint16_t>(kMost - 1);
        names_.emplace_back(channel);
        index_.emplace(names_.back(), names_.size() - 1);
        return static_cast<uint16_t>(last_ = names_.size() - 1);
    }
    const std::vector<std::string>& Names() const { return names_; }

  private:
    // A byte loop: names are a few bytes (a call to memcmp costs more than the compare).
    static bool Same(std::string_view a, std::string_view b) {
        if (a.size() != b.size()) return false;
        for (size_t i = 0; i < a.size(); ++i) {
            if (a[i] != b[i]) return false;
        }
        return true;
    }
    static constexpr size_t kFew = 8;
    static constexpr size_t kMost = size_t{std::numeric_limits<uint16_t>::max()} + 1;
    std::vector<std::string> names_;
    std::unordered_map<std::string, size_t> index_;  // every name
    size_t last_ = 0;
};

// A file descriptor of the log at `start`; raises OSError (with the path) when it cannot be
// opened or positioned.
int OpenForReading(const py::object& path, uint64_t start);

// Scans the piece from `piece.start` into the index's slots; the next chunk's piece when
// maxFrames (0: none) stopped it.
std::optional<LogPiece> ScanPiece(const py::object& path, const LogPiece& piece, LayoutIndex& index,
                                  ChannelNames& channels, qm::codec::LogCounts& counts,
                                  size_t maxFrames);

}  // namespace qmpy
