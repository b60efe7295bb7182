#pragma once
// A frame codec of the library (src/codec/) with what Python needs beside it: the signal names
// and value texts as Python strings, made once. Decoding, multiplexing and encoding are the
// codec's; this file only turns its results into Python objects and back.
#include <pybind11/pybind11.h>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "codec/frame_codec.h"
#include "text.h"

namespace qmpy {

namespace py = pybind11;

// How one signal's column is filled, worked out once: what the loop of its common form reads,
// side by side in 32 bytes (a chunk of a log meets thousands of frames, whose signal codecs are
// no longer in the processor's caches; these are a few lines a frame). Way::Codec: the signal
// codec's own loop (scaled ranges, floats, extended multiplexing, wide fields).
struct ColumnFill {
    enum class Way : uint8_t {
        Codec,
        Decimal,  // 'd': an integer field times a decimal (or integer) factor, rounded back
        Linear,   // 'd': an unsigned field whose integer scaling doubles hold exactly
        Plain,    // 'd': the field's value as its kind reads it (SignalCodec::PlainScaling)
        Integer,  // 'q'/'Q': integer scaling in 64-bit arithmetic
        Raw,      // 'Q': the bits (LIN byte arrays)
    };
    qm::codec::FieldLoad load;
    double factor = 1.0;
    double offset = 0.0;
    int32_t muxValue = -1;     // multiplexed: the switch value that selects the signal
    uint8_t decimals : 4 = 0;  // SignalCodec::RoundDecimals()
    bool isSigned : 1 = false;
    bool multiplexed : 1 = false;
    uint8_t kind : 2 = 0;  // qm::codec::ValueKind, of Way::Plain
    Way way = Way::Codec;
    char code = 'd';  // ColumnCode, or 'd'
};

// The columns decode_log(columns=True) gives a frame: their names (timestamp, channel, then the
// signals), how each signal's column is filled (its array type code among it) and what a row
// of the frame holds.
struct LogColumnLayout {
    std::vector<py::object> names;
    std::vector<ColumnFill> fills;
    // The switch of simple multiplexing (switchIndex -1: none), read by its load when Fast().
    int switchIndex = -1;
    qm::codec::FieldLoad switchLoad;
    py::object frameName;
    size_t stride = 0;    // PaddedStride
    size_t fieldEnd = 0;  // RecordPayloadBytes
    bool container = false;
    // The codec, where the columns read it (ReadsCodec); a layout made apart from a plan holds
    // it only then, so that a whole model's log keeps 32 bytes a signal, not a signal codec.
    std::shared_ptr<const qm::codec::FrameCodec> codec;
};

// Whether filling a layout's columns reads its codec: a fill of the codec's own loop, a
// decimal product that the doubles may not round back, a switch that one load does not hold,
// or a container.
bool ReadsCodec(const LogColumnLayout& layout);
// The keys of a codec's signals as decode() gives them (see FramePlan).
std::vector<py::object> SignalKeys(const qm::codec::FrameCodec& codec, const TextRule& text);

struct FramePlan {
    // Takes the codec and renders its texts by the document's rule. Two signals of one frame
    // with the same name get the keys "name", "name#2", "name#3", ... in signal order.
    FramePlan(std::unique_ptr<qm::codec::FrameCodec> codec, const TextRule& text);

    // Shared with decodes that run without the GIL (log columns), so that an edit that drops
    // the plan does not pull the layout from under them.
    std::shared_ptr<const qm::codec::FrameCodec> codec;
    py::object name;  // str
    uint32_t id = 0;  // with bit 31 for an extended identifier
    size_t size = 0;
    std::vector<py::object> keys;  // str per signal
    // The value texts of a signal as str, made on the signal's first use (with the GIL): log
    // columns need none of them, a log's values meet the texts of few signals.
    const std::vector<py::object>& TextsOf(size_t index) const;

    py::dict Decode(const uint8_t* payload, size_t size, bool choices) const;
    // One array('d') per signal, in signal order, keyed as decode keys them; a signal that a
    // frame does not carry reads NaN there.
    py::dict DecodeMany(const py::handle& payloads, size_t stride) const;
    py::bytes Encode(const py::dict& values, bool strict) const;

    // Made by log columns on first use (with the GIL), then shared with every decode of the
    // log that meets the frame: a log of thousands of frames would otherwise make the names
    // again per frame and per call.
    mutable std::shared_ptr<const LogColumnLayout> logColumns;

  private:
    PyObject* Value(size_t index, uint64_t raw, bool choices) const;
    // The raw value of a Python value for a signal; with checkRange numbers are checked against
    // the signal's [minimum, maximum] (encode's strict).
    uint64_t RawFor(size_t index, const py::handle& value, bool checkRange) const;
    int IndexOfKey(const py::handle& key) const;
    TextRule rule_;
    mutable std::unordered_map<size_t, std::vector<py::object>> texts_;  // filled by TextsOf
    mutable std::unordered_map<std::string, int> indexOfKey_;            // empty until IndexOfKey
};

// Payloads of one frame laid out as decode_many and log columns lay them out: each copied into a
// zeroed record `stride` bytes after the one before, with room for a 64-bit load past every
// field (in the record, or in readable bytes after it).
struct PaddedRecords {
    const uint8_t* data = nullptr;
    size_t stride = 0;
    size_t count = 0;
    // The raw value of the frame's switch per record (-1 where the payload does not hold it);
    // null when the frame has no switch.
    const int64_t* selected = nullptr;
    // The payload size per record, null when every payload reached the frame's last field.
    const uint8_t* sizes = nullptr;
};

// The record size for a frame codec.
size_t PaddedStride(const qm::codec::FrameCodec& codec);
// The payload bytes a record keeps: up to the last field, or a container's payload as sent.
size_t RecordPayloadBytes(const qm::codec::FrameCodec& codec);
// Whether every frame carries a signal (it is not multiplexed).
bool AlwaysCarried(const qm::codec::SignalCodec& signal);
// The array type code of signals[index]'s column: 'q' or 'Q' for a signal that every frame
// carries and whose physical values are integers that fit it, 'd' for every other.
char ColumnCode(const qm::codec::FrameCodec& codec, size_t index);
// How signals[index] of a codec fills a column of type `code` (ColumnCode of the signal, or 'd').
ColumnFill ColumnFillOf(const qm::codec::FrameCodec& codec, size_t index, char code);
// The column of signals[index] down the records as `fill` says: physical values ('d': NaN
// where a frame does not carry the signal or its payload is too short), or the bits of int64 /
// uint64 ('q'/'Q': 0 where the payload is too short). `out` holds records.count items.
// `codec` may be null where the fill does not read it (ReadsCodec).
void FillColumn(const qm::codec::FrameCodec* codec, size_t index, const ColumnFill& fill,
                const PaddedRecords& records, void* out);
// A container's columns ('d', all of them at once): each record decoded by the codec, which
// finds the contained PDUs by their headers; NaN where the frame does not send a signal.
// `columns[i]` holds records.count items for signals[i]. FillColumn is not for containers.
void FillContainerColumns(const qm::codec::FrameCodec& codec, const PaddedRecords& records,
                          double* const* columns);
// FillColumn of a 'd' column.
void FillDoubles(const qm::codec::FrameCodec& codec, size_t index, const PaddedRecords& records,
                 double* out);

// The bytes of a bytes-like Python object, kept alive by the view.
class ByteView {
  public:
    explicit ByteView(const py::handle& object);
    ~ByteView();
    ByteView(const ByteView&) = delete;
    ByteView& operator=(const ByteView&) = delete;
    const uint8_t* data() const { return static_cast<const uint8_t*>(view_.buf); }
    size_t size() const { return static_cast<size_t>(view_.len); }

  private:
    Py_buffer view_{};
};

}  // namespace qmpy
