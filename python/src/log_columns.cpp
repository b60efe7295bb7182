#include "log_columns.h"

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "codec/codec_compaction.h"
#include "codec/log_reader.h"

namespace qmpy {

namespace {

using qm::codec::FrameCodec;
using qm::codec::LogCounts;
using qm::codec::LogFrame;
using qm::codec::LogLineKind;

constexpr const char* kTimestamp = "timestamp";
constexpr const char* kChannel = "channel";

// The column names of a frame: the timestamp, the channel, then the signals keyed as decode()
// keys them; a signal whose key is one of the first two is keyed "<key>#signal".
std::vector<py::object> ColumnNames(const FramePlan& plan) {
    // One "timestamp" and one "channel" for every frame (interned: thousands of frames
    // would otherwise hold a copy each).
    std::vector<py::object> names;
    names.reserve(plan.keys.size() + 2);  // kept per frame: no room to spare
    names.push_back(py::reinterpret_steal<py::object>(PyUnicode_InternFromString(kTimestamp)));
    names.push_back(py::reinterpret_steal<py::object>(PyUnicode_InternFromString(kChannel)));
    if (!names[0] || !names[1]) throw py::error_already_set();
    for (const py::object& key : plan.keys) {
        if (key.equal(names[0]) || key.equal(names[1])) {
            names.push_back(py::str(key) + py::str("#signal"));
        } else {
            names.push_back(key);
        }
    }
    return names;
}

const std::shared_ptr<const LogColumnLayout>& ColumnsOf(const FramePlan& plan) {
    if (!plan.logColumns) {
        auto layout = std::make_shared<LogColumnLayout>();
        layout->names = ColumnNames(plan);
        const FrameCodec& codec = *plan.codec;
        layout->fills.reserve(codec.signals.size());
        for (size_t i = 0; i < codec.signals.size(); ++i) {
            layout->fills.push_back(ColumnFillOf(codec, i, ColumnCode(codec.signals[i])));
        }
        layout->switchIndex = codec.SwitchIndex();
        if (layout->switchIndex >= 0)
            layout->switchLoad =
                codec.signals[static_cast<size_t>(layout->switchIndex)].layout.Load();
        plan.logColumns = std::move(layout);
    }
    return plan.logColumns;
}

// Frames of one layout in arrival order, one row each: the timestamp, the channel index and
// the payload size in a 16-byte head, then the padded record of the payload; one frame touches
// one place in memory. Rows are kept in chunks that grow from small (a log may hold a frame
// once) to large, so that nothing is ever copied to grow.
constexpr size_t kRowHead = 16;
constexpr size_t kChannelAt = 8;
constexpr size_t kSizeAt = 10;

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
    explicit Collected(const FramePlan& plan)
        : codec(plan.codec), name(plan.name), columns(ColumnsOf(plan)) {
        stride = PaddedStride(*codec);
        fieldEnd = codec->FieldEnd();
        rowSize = kRowHead + stride;
    }

    uint8_t* next = nullptr;  // the next free row
    size_t room = 0;          // rows left in the last chunk
    size_t rowSize = 0;
    size_t stride = 0;
    size_t fieldEnd = 0;
    size_t count = 0;
    size_t truncated = 0;  // frames whose payload ends before the last field (some may be taken)
    std::vector<Chunk> chunks;
    size_t current = 0;  // the chunk being filled
    size_t skipped = 0;  // rows of the first chunk already taken
    // Shared with the plan: the scan runs without the GIL, while Python may edit the model.
    std::shared_ptr<const FrameCodec> codec;
    py::object name;
    std::shared_ptr<const LogColumnLayout> columns;

    // True when the payload ends before the last field.
    bool Add(const LogFrame& frame, double timestamp, uint16_t channel) {
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
        // starts below `copied` (at most 64), so it stays within LogFrame::data.
        const size_t copied = std::min<size_t>(frame.size, fieldEnd);
        for (size_t at = 0; at < stride; at += 8) {
            uint64_t word = 0;
            if (at < copied) {
                std::memcpy(&word, frame.data + at, sizeof word);
                if (const size_t kept = copied - at; kept < 8) word &= LowBytes(kept);
            }
            std::memcpy(record + at, &word, sizeof word);
        }
        const bool cut = frame.size < fieldEnd;
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
        // Not zeroed: Add writes every byte that is read later.
        chunks.push_back({capacity, std::unique_ptr<uint8_t[]>(new uint8_t[capacity * rowSize])});
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
        const FramePlan* plan = source_.PlanForFrame(id, extended);
        if (!plan || (filtered_ && !wanted_.count(plan))) return -1;
        const auto [at, added] = slotOfPlan_.emplace(plan, static_cast<int>(slots_.size()));
        if (added) slots_.push_back(std::make_unique<Collected>(*plan));
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
    std::unordered_map<const FramePlan*, int> slotOfPlan_;
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

// A timestamp as from_chars reads it (NaN when it is no number). The common form, digits with
// one point ("1436509052.249713"), is a whole number up to 2^53 over a power of ten up to
// 10^16: both are exact doubles, and one division rounds once to the same double as the
// decimal text. Every other form (a sign, an exponent, more digits) goes to from_chars.
double ParseTimestamp(std::string_view text) {
    static constexpr double kTens[] = {1e0, 1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7, 1e8,
                                       1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16};
    constexpr size_t kMostDigits = 16;
    uint64_t whole = 0;
    size_t digits = 0;
    size_t decimals = 0;
    bool point = false;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            whole = whole * 10 + static_cast<uint64_t>(c - '0');
            decimals += point;
            if (++digits > kMostDigits) break;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            digits = kMostDigits + 1;  // not the common form
            break;
        }
    }
    if (digits > 0 && digits <= kMostDigits && whole <= (uint64_t{1} << 53))
        return static_cast<double>(whole) / kTens[decimals];
    if (text.empty()) return std::numeric_limits<double>::quiet_NaN();
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::numeric_limits<double>::quiet_NaN();
    return value;
}

class FileCloser {
  public:
    explicit FileCloser(int fd) : fd_(fd) {}
    ~FileCloser() { ::close(fd_); }
    FileCloser(const FileCloser&) = delete;
    FileCloser& operator=(const FileCloser&) = delete;

  private:
    int fd_;
};

int OpenForReading(const py::object& path, uint64_t start) {
    py::bytes encoded = py::module_::import("os").attr("fsencode")(path);
    const std::string name = encoded;
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, path.ptr());
        throw py::error_already_set();
    }
    if (start > 0 && ::lseek(fd, static_cast<off_t>(start), SEEK_SET) < 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, path.ptr());
        throw py::error_already_set();
    }
    return fd;
}

// Reads the lines of the piece into the slots of the index; runs without the GIL. With
// maxFrames, stops once that many frames are decoded and the lines after them that hold no
// frame of the index are counted, and returns where the next such frame's line starts
// (nullopt: the piece is done). The lines after a chunk's last frame are thus the chunk's: a
// log that ends in lines of no frame ends with a full chunk, their counts in it.
std::optional<uint64_t> Scan(int fd, const LogPiece& piece, LayoutIndex& index,
                             ChannelNames& channels, LogCounts& counts, size_t maxFrames = 0) {
    // Lines are parsed a batch ahead of their rows, and what their rows need is asked of the
    // memory one level a step for the whole batch (the identifier's slot, the frame's
    // collection, its next row): with thousands of frames in random order each level is a
    // cache miss, which the batch overlaps instead of waiting for each in turn.
    constexpr size_t kBatch = 32;
    struct Pending {
        LogFrame frame;
        uint64_t after;  // where the next line starts
        Collected* slot;
    };
    Pending batch[kBatch];
    size_t pending = 0;
    bool full = false;  // maxFrames are decoded
    const auto putOut = [&] {
        size_t known = 0;
        for (size_t i = 0; i < pending; ++i) {
            const int slot = index.SlotOf(batch[i].frame.id, batch[i].frame.extended);
            if (slot < 0) {
                ++counts.unknown;
                continue;
            }
            batch[i].slot = index.Slots()[static_cast<size_t>(slot)].get();
            __builtin_prefetch(batch[i].slot);
            if (known != i) batch[known] = batch[i];
            ++known;
        }
        for (size_t i = 0; i < known; ++i) batch[i].slot->PrefetchRow();
        pending = 0;
        for (size_t i = 0; i < known; ++i) {
            const LogFrame& frame = batch[i].frame;
            ++counts.decoded;
            counts.truncated += batch[i].slot->Add(frame, ParseTimestamp(frame.timestamp),
                                                   channels.IndexOf(frame.channel));
            // The batch never holds more frames than the chunk has room for, so this is its
            // last line: nothing after it was parsed (or counted) yet.
            full = maxFrames && counts.decoded == maxFrames;
        }
    };
    qm::codec::LineReader reader(fd);
    qm::codec::LogLineParser parser;
    bool skipPartial = piece.start > 0 && !piece.atLineStart;
    std::string_view block;
    while (reader.NextBlock(block)) {
        const uint64_t position = piece.start + reader.BlockOffset();  // of the block's first byte
        size_t at = 0;
        while (at < block.size()) {
            const size_t end = block.find('\n', at);
            const size_t next = end == std::string_view::npos ? block.size() : end + 1;
            std::string_view line =
                block.substr(at, (end == std::string_view::npos ? next : end) - at);
            const uint64_t lineStart = position + at;
            at = next;
            if (skipPartial) {
                // The rest of the line the piece's start falls in belongs to the piece before.
                skipPartial = false;
                continue;
            }
            if (piece.stop && lineStart > *piece.stop) {
                putOut();
                return std::nullopt;
            }
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            if (full) {
                LogFrame frame;
                const LogLineKind kind = parser.Parse(line, frame);
                if (kind == LogLineKind::Frame && index.SlotOf(frame.id, frame.extended) >= 0)
                    return lineStart;
                counts.Count(kind);
                counts.unknown += kind == LogLineKind::Frame;
                continue;
            }
            Pending& entry = batch[pending];
            const LogLineKind kind = parser.Parse(line, entry.frame);
            counts.Count(kind);
            if (kind != LogLineKind::Frame) continue;
            entry.after = position + at;
            index.Prefetch(entry.frame.id, entry.frame.extended);
            // A chunk may end within the batch: it never holds more than the frames left.
            if (++pending == kBatch || (maxFrames && counts.decoded + pending >= maxFrames))
                putOut();
        }
        // The batch's frames point into the block: out before the next block is read.
        putOut();
    }
    if (reader.Failed()) throw std::runtime_error("reading the log failed");
    return std::nullopt;
}

// One column: its array and the writable view of it (released when the column goes).
struct Column {
    Column() = default;
    Column(Column&& other) noexcept : array(std::move(other.array)), view(other.view) {
        other.view.obj = nullptr;
    }
    Column& operator=(Column&&) = delete;
    ~Column() { Release(); }
    void Release() {
        if (view.obj) PyBuffer_Release(&view);
        view.obj = nullptr;
    }

    py::object array;
    Py_buffer view{};
};

// The switch value of every row of a chunk (-1 where the payload does not hold the switch).
void SwitchValues(const Collected& slot, const uint8_t* rows, size_t count,
                  std::vector<int64_t>& selected) {
    selected.clear();
    const LogColumnLayout& columns = *slot.columns;
    if (columns.switchIndex < 0) return;
    selected.resize(count);
    const qm::codec::FieldLoad load = columns.switchLoad;
    if (load.Fast()) {
        for (size_t f = 0; f < count; ++f, rows += slot.rowSize) {
            selected[f] = load.FitsIn(rows[kSizeAt])
                              ? static_cast<int64_t>(load.ExtractFast(rows + kRowHead))
                              : -1;
        }
        return;
    }
    const qm::codec::BitLayout& field =
        slot.codec->signals[static_cast<size_t>(columns.switchIndex)].layout;
    for (size_t f = 0; f < count; ++f, rows += slot.rowSize) {
        selected[f] = field.FitsIn(rows[kSizeAt])
                          ? static_cast<int64_t>(field.ExtractPadded(rows + kRowHead))
                          : -1;
    }
}

// Fills a slot's columns (timestamp, channel, signals) with its first `taken` frames, chunk by
// chunk, and drops them; runs without the GIL. With keepRows the rows' memory stays for the
// next chunk of the log, else each chunk of rows is freed once read (all frames are taken
// then), so that the columns grow into its memory.
void FillColumns(Collected& slot, size_t taken, Column* columns, bool keepRows,
                 std::vector<int64_t>& selected, std::vector<uint8_t>& sizes) {
    auto* timestamps = static_cast<double*>(columns[0].view.buf);
    auto* channels = static_cast<uint16_t*>(columns[1].view.buf);
    size_t done = 0;
    for (size_t c = 0; done < taken; ++c) {
        const size_t count = std::min(slot.CountOf(c), taken - done);
        const uint8_t* rows = slot.RowsOf(c);
        sizes.resize(count);
        for (size_t f = 0; f < count; ++f) {
            const uint8_t* row = rows + f * slot.rowSize;
            std::memcpy(timestamps + done + f, row, sizeof(double));
            std::memcpy(channels + done + f, row + kChannelAt, sizeof(uint16_t));
            sizes[f] = row[kSizeAt];
        }
        SwitchValues(slot, rows, count, selected);
        const PaddedRecords records{rows + kRowHead, slot.rowSize, count,
                                    selected.empty() ? nullptr : selected.data(),
                                    slot.truncated ? sizes.data() : nullptr};
        const std::vector<ColumnFill>& fills = slot.columns->fills;
        for (size_t index = 0; index < fills.size(); ++index) {
            // Every column's items are 8 bytes.
            FillColumn(*slot.codec, index, fills[index], records,
                       static_cast<uint64_t*>(columns[index + 2].view.buf) + done);
        }
        done += count;
        if (!keepRows) slot.chunks[c].rows.reset();
    }
    slot.Drop(taken, keepRows);
}

// What FillColumns reads of a slot, asked of the memory a slot ahead: a chunk meets thousands
// of messages, whose column fills and rows are no longer in the processor's caches.
void PrefetchFills(const Collected& slot) {
    const std::vector<ColumnFill>& fills = slot.columns->fills;
    const auto* data = reinterpret_cast<const char*>(fills.data());
    for (size_t at = 0; at < fills.size() * sizeof(ColumnFill); at += 64)
        __builtin_prefetch(data + at);
    if (slot.chunks.empty()) return;
    const uint8_t* rows = slot.RowsOf(0);
    const size_t bytes = std::min<size_t>(slot.CountOf(0) * slot.rowSize, 1024);
    for (size_t at = 0; at < bytes; at += 64) __builtin_prefetch(rows + at);
}

// Arrays of `count` items of a type code. A short one (the common case: a message met a few
// times in a chunk) repeats a one-item array; a long one is a slice of a zeroed array kept for
// the call (one copy of bytes; no Python object per item, and no per-item work in Python).
// An array refers to nothing but its type, so it can be part of no reference cycle: the
// arrays are taken off the cyclic collector's lists, and so are the dicts that hold only them
// (CPython tracks a dict once it holds a tracked object), so that no collection visits the
// hundreds of thousands of objects of a chunk.
class ArrayMaker {
  public:
    ArrayMaker() {
        py::object array = py::module_::import("array").attr("array");
        for (size_t at = 0; at < kCodes.size(); ++at) {
            const char code = kCodes[at];
            one_[at] =
                array(std::string(1, code), py::make_tuple(code == 'd' ? py::object(py::float_(0.0))
                                                                       : py::object(py::int_(0))));
            zeros_[at].array = one_[at];
            zeros_[at].size = 1;
        }
    }
    Column Make(char code, size_t count) {
        const size_t at = kCodes.find(code);
        Column column;
        if (count <= kRepeatMost) {
            column.array = py::reinterpret_steal<py::object>(
                PySequence_Repeat(one_[at].ptr(), static_cast<Py_ssize_t>(count)));
        } else {
            Zeros& zeros = zeros_[at];
            if (zeros.size < count) {
                // Grown by repeating its one-item start: a few times per call at most.
                const size_t size = std::max<size_t>({count, zeros.size * 2, 1024});
                zeros.array = py::reinterpret_steal<py::object>(
                    PySequence_Repeat(one_[at].ptr(), static_cast<Py_ssize_t>(size)));
                if (!zeros.array) throw py::error_already_set();
                zeros.size = size;
            }
            column.array = py::reinterpret_steal<py::object>(
                PySequence_GetSlice(zeros.array.ptr(), 0, static_cast<Py_ssize_t>(count)));
        }
        if (!column.array) throw py::error_already_set();
        PyObject_GC_UnTrack(column.array.ptr());
        if (PyObject_GetBuffer(column.array.ptr(), &column.view, PyBUF_WRITABLE) != 0)
            throw py::error_already_set();
        return column;
    }

  private:
    static constexpr std::string_view kCodes = "dqQH";
    // Up to this many items an array is made by repeating one item (no slice object, no
    // zeroed source to keep); longer ones copy a zeroed array in one go.
    static constexpr size_t kRepeatMost = 64;
    struct Zeros {
        py::object array;
        size_t size = 0;
    };
    std::array<py::object, 4> one_;
    std::array<Zeros, 4> zeros_;
};

// The cyclic garbage collector off for a scope (as it was before, after it).
class GcPause {
  public:
    GcPause() : wasOn_(PyGC_Disable() == 1) {}
    ~GcPause() {
        if (wasOn_) PyGC_Enable();
    }
    GcPause(const GcPause&) = delete;
    GcPause& operator=(const GcPause&) = delete;

  private:
    bool wasOn_;
};

py::dict CountsDict(const LogCounts& counts) {
    py::dict result;
    result["lines"] = counts.lines;
    result["frames"] = counts.frames;
    result["decoded"] = counts.decoded;
    result["unknown"] = counts.unknown;
    result["truncated"] = counts.truncated;
    result["remote"] = counts.remote;
    result["error_frames"] = counts.errorFrames;
    result["skipped"] = counts.skipped;
    result["unreadable"] = counts.unreadable;
    return result;
}

}  // namespace

py::dict ColumnTypes(const FramePlan& plan) {
    py::dict types;
    const LogColumnLayout& columns = *ColumnsOf(plan);
    types[columns.names[0]] = py::str("d");
    types[columns.names[1]] = py::str("H");
    for (size_t i = 0; i < columns.fills.size(); ++i) {
        types[columns.names[i + 2]] = py::str(std::string(1, columns.fills[i].code));
    }
    return types;
}

namespace {

// A slot and how many of its first frames a chunk takes.
struct Taken {
    Collected* slot;
    size_t frames;
};

// Every frame the index's slots hold.
std::vector<Taken> AllFrames(LayoutIndex& index) {
    std::vector<Taken> all;
    for (const auto& slot : index.Slots()) {
        if (slot->count) all.push_back({slot.get(), slot->count});
    }
    return all;
}

// At most `chunk` frames of the slots that hold the most, largest first: each is taken whole
// but the last one, which gives the frames that fill the chunk (its first ones). In the order
// of the slots (that of the log's first frames).
std::vector<Taken> MostFrames(LayoutIndex& index, size_t chunk) {
    std::vector<std::pair<size_t, size_t>> held;  // frames, slot
    const auto& slots = index.Slots();
    for (size_t s = 0; s < slots.size(); ++s) {
        if (slots[s]->count) held.emplace_back(slots[s]->count, s);
    }
    const auto larger = [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    };
    // The largest few ordered first, more only when they do not fill the chunk: a small chunk
    // takes a few of thousands of slots.
    size_t ordered = 0;
    size_t sum = 0;
    size_t end = 0;  // of the slots taken
    for (size_t want = 64;; want *= 4) {
        const size_t upto = std::min(want, held.size());
        const auto from = held.begin() + static_cast<std::ptrdiff_t>(ordered);
        const auto to = held.begin() + static_cast<std::ptrdiff_t>(upto);
        if (to != held.end()) std::nth_element(from, to, held.end(), larger);
        std::sort(from, to, larger);
        for (ordered = upto; end < ordered && sum < chunk; ++end) sum += held[end].first;
        if (sum >= chunk || ordered == held.size()) break;
    }
    if (sum > chunk) held[end - 1].first -= sum - chunk;  // the first frames of the last
    std::vector<Taken> taken;
    taken.reserve(end);
    std::sort(held.begin(), held.begin() + static_cast<std::ptrdiff_t>(end),
              [](const auto& a, const auto& b) { return a.second < b.second; });
    for (size_t i = 0; i < end; ++i) taken.push_back({slots[held[i].second].get(), held[i].first});
    return taken;
}

// The taken frames as LogColumns, dropped from their slots.
py::object TakeColumns(const std::vector<Taken>& slots, const ChannelNames& channels,
                       const LogCounts& counts, bool keepRows) {
    // Thousands of dicts and arrays at once would start the cyclic collector again and again
    // (over every object of the process); none of them can form a cycle.
    const GcPause pause;
    py::object result = py::module_::import("quillmere._columns").attr("LogColumns")();
    ArrayMaker maker;
    // Slots a batch of about kBatchBytes of columns at a time: arrays made with the GIL,
    // filled without it (each slot's rows freed as they are read, unless kept for the next
    // chunk), handed over with it. The columns of the whole log thus grow into the memory of
    // its rows instead of coming on top of all of them. A batch is small enough to stay in the
    // processor's cache from the making of its arrays to their dicts: a chunk of thousands of
    // messages is otherwise three trips to memory for every array.
    constexpr size_t kBatchBytes = size_t{256} << 10;
    std::vector<Column> made;         // the batch's columns, slot after slot
    std::vector<size_t> firstColumn;  // of each slot of the batch, and the end
    std::vector<int64_t> selected;    // scratch of FillColumns
    std::vector<uint8_t> sizes;
    for (size_t first = 0; first < slots.size();) {
        size_t end = first;
        size_t bytes = 0;
        made.clear();
        firstColumn.clear();
        while (end < slots.size() && (end == first || bytes < kBatchBytes)) {
            const Collected& slot = *slots[end].slot;
            const size_t count = slots[end++].frames;
            firstColumn.push_back(made.size());
            made.push_back(maker.Make('d', count));
            made.push_back(maker.Make('H', count));
            for (const ColumnFill& fill : slot.columns->fills)
                made.push_back(maker.Make(fill.code, count));
            bytes += count * (8 * slot.columns->fills.size() + 10);
        }
        firstColumn.push_back(made.size());
        {
            py::gil_scoped_release release;
            for (size_t s = first; s < end; ++s) {
                if (s + 1 < end) PrefetchFills(*slots[s + 1].slot);
                // A slot that gives part of its frames keeps its rows in any case.
                FillColumns(*slots[s].slot, slots[s].frames, made.data() + firstColumn[s - first],
                            keepRows || slots[s].frames < slots[s].slot->count, selected, sizes);
            }
        }
        for (size_t s = first; s < end; ++s) {
            const std::vector<py::object>& names = slots[s].slot->columns->names;
            const size_t from = firstColumn[s - first];
            auto frame = py::reinterpret_steal<py::dict>(
                _PyDict_NewPresized(static_cast<Py_ssize_t>(names.size())));
            if (!frame) throw py::error_already_set();
            for (size_t c = 0; c < names.size(); ++c) {
                Column& column = made[from + c];
                column.Release();
                if (PyDict_SetItem(frame.ptr(), names[c].ptr(), column.array.ptr()) != 0)
                    throw py::error_already_set();
            }
            PyObject_GC_UnTrack(frame.ptr());  // it holds arrays alone (see ArrayMaker)
            if (PyDict_SetItem(result.ptr(), slots[s].slot->name.ptr(), frame.ptr()) != 0)
                throw py::error_already_set();
        }
        first = end;
    }
    py::list names;
    for (const std::string& name : channels.Names()) names.append(py::str(name));
    result.attr("channels") = names;
    result.attr("counts") = CountsDict(counts);
    return result;
}

// Scans the piece from `piece.start`; the next chunk's piece when maxFrames stopped it.
std::optional<LogPiece> ScanPiece(const py::object& path, const LogPiece& piece, LayoutIndex& index,
                                  ChannelNames& channels, LogCounts& counts, size_t maxFrames) {
    const int fd = OpenForReading(path, piece.start);
    FileCloser closer(fd);
    py::gil_scoped_release release;
    const std::optional<uint64_t> resume = Scan(fd, piece, index, channels, counts, maxFrames);
    if (!resume) return std::nullopt;
    return LogPiece{*resume, piece.stop, true};
}

// With by_message, frames wait in their slots until twelve times the chunk's frames wait. A
// waiting frame costs a row (24 to 88 bytes, 48 on average for the benchmarks' database), a
// fraction of its columns; the more frames wait, the longer the runs a chunk takes and the fewer
// the messages it holds (each costs a dict and an array per column). Measured over a log of
// 7,500 messages with chunks of 50,000 frames: 12 times about a tenth faster than 8 times; 16
// times no faster within the machine's noise, for 14 MiB more.
size_t WaitingFrames(size_t chunkFrames) {
    constexpr size_t kTimes = 12;
    return chunkFrames > std::numeric_limits<size_t>::max() / kTimes
               ? std::numeric_limits<size_t>::max()
               : chunkFrames * kTimes;
}

// The iterator decode_log(columns=True, chunk_frames=N) returns.
class LogColumnChunks {
  public:
    LogColumnChunks(std::shared_ptr<PlanSource> source, py::object path, const LogPiece& piece,
                    const py::object& frames, size_t chunkFrames, bool byMessage)
        : source_(std::move(source)),
          path_(std::move(path)),
          next_(piece),
          index_(*source_, frames),
          chunkFrames_(chunkFrames),
          waitingMost_(byMessage ? WaitingFrames(chunkFrames) : 0) {}

    py::object Next() {
        // The frames that wait, counted again each time (a chunk that failed half made leaves
        // no count behind that its slots do not hold).
        size_t waiting = 0;
        if (waitingMost_) {
            for (const auto& slot : index_.Slots()) waiting += slot->count;
        }
        if (!next_ && !waiting) throw py::stop_iteration();
        // The scan runs without the GIL: a second thread must not enter the same iterator.
        if (busy_) throw std::runtime_error("these log chunks are being read by another thread");
        busy_ = true;
        const struct Done {
            bool& busy;
            ~Done() { busy = false; }
        } done{busy_};
        LogCounts counts;
        if (!waitingMost_) {
            const LogPiece piece = *next_;
            // A scan that fills its chunk goes on to the next line of a frame to decode, so a
            // scan after a full chunk decodes at least one frame: no empty chunk follows a full
            // one, and an empty log gives one chunk.
            next_ = ScanPiece(path_, piece, index_, channels_, counts, chunkFrames_);
            return TakeColumns(AllFrames(index_), channels_, counts, next_.has_value());
        }
        // By message: the lines are read until the bound of waiting frames (or the end), then
        // the slots that hold the most give the chunk. A scan stops only at the bound, above
        // one chunk, so frames still wait after it, and a scan resumed decodes at least one
        // frame (see the log order above): only an empty log gives a chunk of no frames.
        if (next_ && waiting < waitingMost_) {
            const LogPiece piece = *next_;
            next_ = ScanPiece(path_, piece, index_, channels_, counts, waitingMost_ - waiting);
        }
        const std::vector<Taken> taken = MostFrames(index_, chunkFrames_);
        // Once the lines are read the rows of a message taken whole are freed (none come
        // again), and the pages they free are handed back every few megabytes: the last chunks
        // hold the rare messages, thousands of small arrays, which the freed rows cannot hold.
        if (!next_) {
            for (const Taken& part : taken) freedRows_ += part.frames * part.slot->rowSize;
        }
        py::object chunk = TakeColumns(taken, channels_, counts, next_.has_value());
        if (freedRows_ >= kTrimRows) {
            qm::codec::TrimHeaps();
            freedRows_ = 0;
        }
        return chunk;
    }

  private:
    std::shared_ptr<PlanSource> source_;
    py::object path_;
    std::optional<LogPiece> next_;
    LayoutIndex index_;
    ChannelNames channels_;
    size_t chunkFrames_;
    size_t waitingMost_;  // frames that wait at most (by message), else 0
    static constexpr size_t kTrimRows = size_t{4} << 20;
    size_t freedRows_ = 0;  // bytes of rows freed since the last trim (by message)
    bool busy_ = false;
};

}  // namespace

py::object DecodeLogColumns(const std::shared_ptr<PlanSource>& source, const py::object& path,
                            const LogPiece& piece, const py::object& frames) {
    LayoutIndex index(*source, frames);
    ChannelNames channels;
    LogCounts counts;
    ScanPiece(path, piece, index, channels, counts, 0);
    return TakeColumns(AllFrames(index), channels, counts, false);
}

py::object DecodeLogColumnChunks(const std::shared_ptr<PlanSource>& source, const py::object& path,
                                 const LogPiece& piece, const py::object& frames,
                                 size_t chunkFrames, bool byMessage) {
    if (chunkFrames == 0) throw py::value_error("chunk_frames must be positive");
    ::close(OpenForReading(path, 0));  // a log that cannot be read fails here, not later
    return py::cast(
        std::make_unique<LogColumnChunks>(source, path, piece, frames, chunkFrames, byMessage));
}

void BindLogColumns(py::module_& m) {
    py::class_<LogColumnChunks>(m, "LogColumnChunks",
                                "Iterator over the LogColumns of a log, a bounded number of "
                                "frames each (decode_log(path, columns=True, chunk_frames=N)).")
        .def("__iter__", [](py::object self) { return self; })
        .def("__next__", &LogColumnChunks::Next);
}

}  // namespace qmpy
