#include "log_columns.h"

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

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
    std::vector<py::object> names{py::str(kTimestamp), py::str(kChannel)};
    for (const py::object& key : plan.keys) {
        if (key.equal(names[0]) || key.equal(names[1])) {
            names.push_back(py::str(key) + py::str("#signal"));
        } else {
            names.push_back(key);
        }
    }
    return names;
}

// Frames of one layout in arrival order: padded records, payload sizes, timestamps and channel
// indexes. Kept in chunks that grow from small (a log may hold a frame once) to large, so that
// nothing is ever copied to grow.
struct Chunk {
    Chunk(size_t capacity, size_t stride)
        : capacity(capacity),
          records(new uint8_t[capacity * stride]),
          sizes(new uint8_t[capacity]),
          timestamps(new double[capacity]),
          channels(new uint16_t[capacity]) {}

    size_t capacity;
    size_t count = 0;
    std::unique_ptr<uint8_t[]> records;
    std::unique_ptr<uint8_t[]> sizes;
    std::unique_ptr<double[]> timestamps;
    std::unique_ptr<uint16_t[]> channels;
};

// The frames of one layout met in the log.
struct Collected {
    explicit Collected(const FramePlan& plan)
        : codec(*plan.codec), name(plan.name), columns(ColumnNames(plan)) {
        stride = PaddedStride(codec);
        fieldEnd = codec.FieldEnd();
    }

    FrameCodec codec;  // a copy: the scan runs without the GIL, while Python may edit the model
    py::object name;
    std::vector<py::object> columns;
    size_t stride = 0;
    size_t fieldEnd = 0;
    size_t count = 0;
    size_t truncated = 0;  // frames whose payload ends before the last field
    std::vector<Chunk> chunks;

    void Add(const LogFrame& frame, double timestamp, uint16_t channel) {
        if (chunks.empty() || chunks.back().count == chunks.back().capacity) {
            const size_t capacity =
                chunks.empty() ? 64 : std::min<size_t>(chunks.back().capacity * 2, 8192);
            chunks.emplace_back(capacity, stride);
        }
        Chunk& chunk = chunks.back();
        const size_t at = chunk.count++;
        uint8_t* target = chunk.records.get() + at * stride;
        const size_t copied = std::min<size_t>(frame.size, fieldEnd);
        if (copied) std::memcpy(target, frame.data, copied);
        std::memset(target + copied, 0, stride - copied);
        truncated += frame.size < fieldEnd;
        chunk.sizes[at] = frame.size;
        chunk.timestamps[at] = timestamp;
        chunk.channels[at] = channel;
        ++count;
    }
};

// Finds the frame layout of each identifier seen, once: the look-up of a new identifier takes
// the GIL (plans are built by Python-facing code); every later frame is a table look-up.
class LayoutIndex {
  public:
    LayoutIndex(PlanSource& source, const py::object& frames) : source_(source) {
        if (frames.is_none()) return;
        filtered_ = true;
        for (const py::handle frame : frames) wanted_.insert(&source_.PlanForKey(frame));
    }

    // The slot of a frame's layout, -1 when the database has none (or it is not wanted).
    int SlotOf(uint32_t id, bool extended) {
        if (!extended && id < standard_.size()) {
            int& slot = standard_[id];
            if (slot == kUnresolved) slot = Resolve(id, extended);
            return slot;
        }
        const uint32_t key = id | (extended ? qm::codec::kExtendedFlag : 0);
        const auto found = others_.find(key);
        if (found != others_.end()) return found->second;
        const int slot = Resolve(id, extended);
        others_.emplace(key, slot);
        return slot;
    }

    std::vector<std::unique_ptr<Collected>>& Slots() { return slots_; }

  private:
    static constexpr int kUnresolved = -2;

    int Resolve(uint32_t id, bool extended) {
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
    std::vector<int> standard_ = std::vector<int>(0x800, kUnresolved);
    std::unordered_map<uint32_t, int> others_;
    std::unordered_map<const FramePlan*, int> slotOfPlan_;
    std::vector<std::unique_ptr<Collected>> slots_;
};

// Channel names in the order first seen; the channel column holds their indexes. A log names
// a handful; one that names more than the column can count shares the last index.
class ChannelNames {
  public:
    uint16_t IndexOf(std::string_view channel) {
        if (last_ < names_.size() && names_[last_] == channel) return static_cast<uint16_t>(last_);
        const auto found = index_.find(std::string(channel));
        if (found != index_.end()) return static_cast<uint16_t>(last_ = found->second);
        if (names_.size() == kMost) return static_cast<uint16_t>(kMost - 1);
        names_.emplace_back(channel);
        index_.emplace(names_.back(), names_.size() - 1);
        return static_cast<uint16_t>(last_ = names_.size() - 1);
    }
    const std::vector<std::string>& Names() const { return names_; }

  private:
    static constexpr size_t kMost = size_t{std::numeric_limits<uint16_t>::max()} + 1;
    std::vector<std::string> names_;
    std::unordered_map<std::string, size_t> index_;
    size_t last_ = 0;
};

double ParseTimestamp(std::string_view text) {
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

// Reads the lines of the piece into the slots of the index; runs without the GIL.
void Scan(int fd, const LogPiece& piece, LayoutIndex& index, ChannelNames& channels,
          LogCounts& counts) {
    qm::codec::LineReader reader(fd);
    qm::codec::LogLineParser parser;
    LogFrame frame;
    uint64_t position = piece.start;  // of the block's first byte
    bool skipPartial = piece.start > 0;
    std::string_view block;
    while (reader.NextBlock(block)) {
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
            if (piece.stop && lineStart > *piece.stop) return;
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            const LogLineKind kind = parser.Parse(line, frame);
            counts.Count(kind);
            if (kind != LogLineKind::Frame) continue;
            const int slot = index.SlotOf(frame.id, frame.extended);
            if (slot < 0) {
                ++counts.unknown;
                continue;
            }
            ++counts.decoded;
            index.Slots()[static_cast<size_t>(slot)]->Add(frame, ParseTimestamp(frame.timestamp),
                                                          channels.IndexOf(frame.channel));
        }
        position += block.size();
    }
    if (reader.Failed()) throw std::runtime_error("reading the log failed");
}

// One column: its array and the writable view of it (released when the column goes).
struct Column {
    Column() = default;
    Column(Column&& other) noexcept
        : array(std::move(other.array)), view(other.view), code(other.code) {
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
    char code = 'd';
};

// The switch value of every record of a chunk (-1 where the payload does not hold the switch).
void SwitchValues(const Collected& slot, const Chunk& chunk, std::vector<int64_t>& selected) {
    selected.clear();
    const int switchIndex = slot.codec.SwitchIndex();
    if (switchIndex < 0) return;
    const qm::codec::BitLayout& field = slot.codec.signals[static_cast<size_t>(switchIndex)].layout;
    selected.resize(chunk.count);
    for (size_t f = 0; f < chunk.count; ++f) {
        selected[f] =
            field.FitsIn(chunk.sizes[f])
                ? static_cast<int64_t>(field.ExtractPadded(chunk.records.get() + f * slot.stride))
                : -1;
    }
}

// Fills a slot's columns (timestamp, channel, signals) chunk by chunk; runs without the GIL.
void FillColumns(Collected& slot, std::vector<Column>& columns) {
    std::vector<int64_t> selected;
    size_t done = 0;
    for (Chunk& chunk : slot.chunks) {
        std::memcpy(static_cast<double*>(columns[0].view.buf) + done, chunk.timestamps.get(),
                    chunk.count * sizeof(double));
        std::memcpy(static_cast<uint16_t*>(columns[1].view.buf) + done, chunk.channels.get(),
                    chunk.count * sizeof(uint16_t));
        SwitchValues(slot, chunk, selected);
        const PaddedRecords records{chunk.records.get(), slot.stride, chunk.count,
                                    selected.empty() ? nullptr : selected.data(),
                                    slot.truncated ? chunk.sizes.get() : nullptr};
        for (size_t index = 0; index < slot.codec.signals.size(); ++index) {
            Column& column = columns[index + 2];
            if (column.code == 'd') {
                FillDoubles(slot.codec, index, records,
                            static_cast<double*>(column.view.buf) + done);
            } else {
                FillIntegers(slot.codec, index, records,
                             static_cast<uint64_t*>(column.view.buf) + done);
            }
        }
        done += chunk.count;
        chunk = Chunk(0, 0);  // its memory back before the next chunk's columns grow
    }
    slot.chunks.clear();
}

// Arrays of `count` items of a type code, made by repeating one item (no Python object per
// item, and no per-item work in Python).
class ArrayMaker {
  public:
    ArrayMaker() {
        py::object array = py::module_::import("array").attr("array");
        for (const char code : {'d', 'q', 'Q', 'H'}) {
            seeds_[code] =
                array(std::string(1, code), py::make_tuple(code == 'd' ? py::object(py::float_(0.0))
                                                                       : py::object(py::int_(0))));
        }
    }
    Column Make(char code, size_t count) {
        Column column;
        column.code = code;
        column.array = seeds_.at(code) * py::int_(count);
        if (PyObject_GetBuffer(column.array.ptr(), &column.view, PyBUF_WRITABLE) != 0)
            throw py::error_already_set();
        return column;
    }

  private:
    std::unordered_map<char, py::object> seeds_;
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
    const std::vector<py::object> names = ColumnNames(plan);
    types[names[0]] = py::str("d");
    types[names[1]] = py::str("H");
    for (size_t i = 0; i < plan.codec->signals.size(); ++i) {
        types[names[i + 2]] = py::str(std::string(1, ColumnCode(plan.codec->signals[i])));
    }
    return types;
}

py::object DecodeLogColumns(const std::shared_ptr<PlanSource>& source, const py::object& path,
                            const LogPiece& piece, const py::object& frames) {
    LayoutIndex index(*source, frames);
    ChannelNames channels;
    LogCounts counts;
    const int fd = OpenForReading(path, piece.start);
    {
        FileCloser closer(fd);
        py::gil_scoped_release release;
        Scan(fd, piece, index, channels, counts);
    }

    // Arrays made with the GIL, filled without it, handed over with it.
    auto& slots = index.Slots();
    ArrayMaker maker;
    std::vector<std::vector<Column>> columns(slots.size());
    for (size_t s = 0; s < slots.size(); ++s) {
        const Collected& slot = *slots[s];
        columns[s].push_back(maker.Make('d', slot.count));
        columns[s].push_back(maker.Make('H', slot.count));
        for (const auto& signal : slot.codec.signals) {
            columns[s].push_back(maker.Make(ColumnCode(signal), slot.count));
        }
        counts.truncated += slot.truncated;
    }
    {
        py::gil_scoped_release release;
        for (size_t s = 0; s < slots.size(); ++s) FillColumns(*slots[s], columns[s]);
    }

    py::object result = py::module_::import("quillmere._columns").attr("LogColumns")();
    for (size_t s = 0; s < slots.size(); ++s) {
        py::dict frame;
        for (size_t c = 0; c < columns[s].size(); ++c) {
            columns[s][c].Release();
            frame[slots[s]->columns[c]] = columns[s][c].array;
        }
        result[slots[s]->name] = frame;
    }
    py::list names;
    for (const std::string& name : channels.Names()) names.append(py::str(name));
    result.attr("channels") = names;
    result.attr("counts") = CountsDict(counts);
    return result;
}

}  // namespace qmpy
