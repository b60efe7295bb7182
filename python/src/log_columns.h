#pragma once
// decode_log(path, columns=True): a log file (or a byte range of it) decoded into columns, one
// array.array per signal per frame, without a Python object per value. The lines are read,
// parsed and laid out with the GIL released; the values are computed column by column by the
// codec's fields (FillColumn, the loops of decode_many) straight into the arrays' buffers.
#include <pybind11/pybind11.h>

#include <cstdint>
#include <memory>
#include <optional>

#include "plan_source.h"

namespace qmpy {

namespace py = pybind11;

// A piece of a log by bytes: the lines that begin after `start` up to and including the line
// that crosses `stop` (a piece with start 0 also holds the first line). Pieces [a, b), [b, c)
// thus share no line and miss none.
// With atLineStart, `start` is the first byte of a line, which the piece holds.
struct LogPiece {
    uint64_t start = 0;
    std::optional<uint64_t> stop;
    bool atLineStart = false;
};

// A quillmere.LogColumns (a dict of frame name to dict of column name to array) for the frames
// of a log; `frames` (None or an iterable of names and identifiers) limits the frames decoded.
py::object DecodeLogColumns(const std::shared_ptr<PlanSource>& source, const py::object& path,
                            const LogPiece& piece, const py::object& frames);

// The same in chunks: an iterator of LogColumns of at most `chunkFrames` decoded frames each,
// in log order, so that memory stays bounded whatever the size of the log. Channel indexes
// are kept across chunks (each chunk's `channels` lists every channel seen so far). With
// byMessage, frames wait per message and a chunk takes the messages that have the most waiting
// (each message's frames still in log order across chunks).
py::object DecodeLogColumnChunks(const std::shared_ptr<PlanSource>& source, const py::object& path,
                                 const LogPiece& piece, const py::object& frames,
                                 size_t chunkFrames, bool byMessage);
void BindLogColumns(py::module_& m);

// The columns decode_log(columns=True) gives a frame, in order, as a dict of column name to
// array type code.
py::dict ColumnTypes(const FramePlan& plan);

}  // namespace qmpy
