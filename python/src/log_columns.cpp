#include "log_columns.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "codec/codec_compaction.h"
#include "log_scan.h"

namespace qmpy {

namespace {

using qm::codec::LogCounts;

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
        slot.codec->signals[static_cast<size_t>(columns.switchIndex)].layout;  // ReadsCodec
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
                                    slot.truncated || slot.container ? sizes.data() : nullptr};
        const std::vector<ColumnFill>& fills = slot.columns->fills;
        if (slot.container) {
            std::vector<double*> signalColumns;
            for (size_t index = 0; index < fills.size(); ++index)
                signalColumns.push_back(static_cast<double*>(columns[index + 2].view.buf) + done);
            FillContainerColumns(*slot.codec, records, signalColumns.data());
        } else {
            for (size_t index = 0; index < fills.size(); ++index) {
                // Every column's items are 8 bytes.
                FillColumn(slot.codec, index, fills[index], records,
                           static_cast<uint64_t*>(columns[index + 2].view.buf) + done);
            }
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

// With by_message, frames wait in their slots until ten times the chunk's frames wait. A
// waiting frame costs a row (24 to 88 bytes, 48 on average for the benchmarks' database), a
// fraction of its columns; the more frames wait, the longer the runs a chunk takes and the fewer
// the messages it holds (each costs a dict and an array per column). Measured over a log of
// 7,500 messages with chunks of 50,000 frames: 12 times about a tenth faster than 8 times, 16
// times no faster; 10 times within the noise of 12, for 5 MiB less.
size_t WaitingFrames(size_t chunkFrames) {
    constexpr size_t kTimes = 10;
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
