#include "log_scan.h"

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <stdexcept>

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
std::vector<py::object> ColumnNames(const std::vector<py::object>& keys) {
    // One "timestamp" and one "channel" for every frame (interned: thousands of frames
    // would otherwise hold a copy each).
    std::vector<py::object> names;
    names.reserve(keys.size() + 2);  // kept per frame: no room to spare
    names.push_back(py::reinterpret_steal<py::object>(PyUnicode_InternFromString(kTimestamp)));
    names.push_back(py::reinterpret_steal<py::object>(PyUnicode_InternFromString(kChannel)));
    if (!names[0] || !names[1]) throw py::error_already_set();
    for (const py::object& key : keys) {
        if (key.equal(names[0]) || key.equal(names[1])) {
            names.push_back(py::str(key) + py::str("#signal"));
        } else {
            names.push_back(key);
        }
    }
    return names;
}

// The layout of a codec's columns, holding the codec.
std::shared_ptr<LogColumnLayout> LayoutOf(std::shared_ptr<const FrameCodec> codec,
                                          py::object frameName,
                                          const std::vector<py::object>& keys) {
    auto layout = std::make_shared<LogColumnLayout>();
    layout->names = ColumnNames(keys);
    layout->fills.reserve(codec->signals.size());
    for (size_t i = 0; i < codec->signals.size(); ++i) {
        layout->fills.push_back(ColumnFillOf(*codec, i, ColumnCode(*codec, i)));
    }
    layout->switchIndex = codec->SwitchIndex();
    if (layout->switchIndex >= 0)
        layout->switchLoad = codec->signals[static_cast<size_t>(layout->switchIndex)].layout.Load();
    layout->frameName = std::move(frameName);
    // Rows lie back to back, each block of them followed by kLoadSlack bytes: a 64-bit load past
    // a record's last field reads into the next row's head (bits the load masks off), so that a
    // record holds its payload's words alone. A container's record is read by its sizes,
    // padded as decode_many pads it.
    layout->stride =
        codec->container ? PaddedStride(*codec) : (RecordPayloadBytes(*codec) + 7) / 8 * 8;
    layout->fieldEnd = RecordPayloadBytes(*codec);
    layout->container = codec->container != nullptr;
    layout->codec = std::move(codec);
    return layout;
}

}  // namespace

const std::shared_ptr<const LogColumnLayout>& ColumnsOf(const FramePlan& plan) {
    // The plan holds its codec anyway: the layout shares it.
    if (!plan.logColumns) plan.logColumns = LayoutOf(plan.codec, plan.name, plan.keys);
    return plan.logColumns;
}

std::shared_ptr<const LogColumnLayout> LeanColumns(std::unique_ptr<FrameCodec> frame,
                                                   const TextRule& text) {
    std::shared_ptr<const FrameCodec> codec(std::move(frame));
    py::object name = text(codec->name.c_str());
    const std::vector<py::object> keys = SignalKeys(*codec, text);
    std::shared_ptr<LogColumnLayout> layout = LayoutOf(std::move(codec), std::move(name), keys);
    if (!ReadsCodec(*layout)) layout->codec.reset();
    return layout;
}

std::shared_ptr<const LogColumnLayout> PlanSource::ColumnsForFrame(uint32_t id, bool extended) {
    const FramePlan* plan = PlanForFrame(id, extended);
    return plan ? ColumnsOf(*plan) : nullptr;
}

namespace {

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

// Reads the lines of the piece into the slots of the index; runs without the GIL. With
// maxFrames, stops once that many frames are decoded and the lines after them that hold no
// frame of the index are counted, and returns where the next such frame's line starts
// (nullopt: the piece is done). The lines after a chunk's last frame are thus the chunk's: a
// log that ends in lines of no frame ends with a full chunk, their counts in it.
std::optional<uint64_t> Scan(int fd, const LogPiece& piece, LayoutIndex& index,
                             ChannelNames& channels, LogCounts& counts, size_t maxFrames) {
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

}  // namespace

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

std::optional<LogPiece> ScanPiece(const py::object& path, const LogPiece& piece, LayoutIndex& index,
                                  ChannelNames& channels, LogCounts& counts, size_t maxFrames) {
    const int fd = OpenForReading(path, piece.start);
    FileCloser closer(fd);
    const HeapInHugePages hugePages;
    py::gil_scoped_release release;
    const std::optional<uint64_t> resume = Scan(fd, piece, index, channels, counts, maxFrames);
    if (!resume) return std::nullopt;
    return LogPiece{*resume, piece.stop, true};
}

}  // namespace qmpy
