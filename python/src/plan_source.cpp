#include "plan_source.h"

#include <pybind11/stl.h>

#include <optional>
#include <string>

#include <cstdlib>

#include "codec/log_reader.h"
#include "log_columns.h"

namespace qmpy {

namespace {

// Decodes the frames of a candump log one at a time, reading the next line only when asked.
class LogReader {
  public:
    LogReader(std::shared_ptr<PlanSource> source, py::object lines, py::object file,
              bool decodeChoices, bool skipUnknown)
        : source_(std::move(source)),
          lines_(std::move(lines)),
          file_(std::move(file)),
          decodeChoices_(decodeChoices),
          skipUnknown_(skipUnknown) {}

    ~LogReader() {
        try {
            Close();
        } catch (const py::error_already_set&) {
            // A close that fails while the reader is collected has nobody to tell.
        }
    }

    py::object Next() {
        py::object frameType = py::module_::import("quillmere").attr("DecodedFrame");
        while (true) {
            PyObject* item = lines_ ? PyIter_Next(lines_.ptr()) : nullptr;
            if (!item) {
                if (PyErr_Occurred()) throw py::error_already_set();
                Close();
                throw py::stop_iteration();
            }
            py::object line = py::reinterpret_steal<py::object>(item);
            ++lineNumber_;
            std::string text;
            if (PyBytes_Check(line.ptr())) {
                text.assign(PyBytes_AS_STRING(line.ptr()),
                            static_cast<size_t>(PyBytes_GET_SIZE(line.ptr())));
            } else if (PyUnicode_Check(line.ptr())) {
                text = line.cast<std::string>();
            } else {
                throw py::type_error("log lines must be str or bytes");
            }
            qm::codec::LogFrame frame;
            if (!text.empty() && text.back() == '\n') text.pop_back();
            if (!text.empty() && text.back() == '\r') text.pop_back();
            if (parser_.Parse(text, frame) != qm::codec::LogLineKind::Frame) continue;
            const FramePlan* plan = source_->PlanForFrame(frame.id, frame.extended);
            if (!plan && skipUnknown_) continue;
            py::object timestamp = frame.timestamp.empty()
                                       ? py::object(py::none())
                                       : py::object(py::float_(std::strtod(
                                             std::string(frame.timestamp).c_str(), nullptr)));
            py::object name = plan ? plan->name : py::object(py::none());
            py::object signals =
                plan ? py::object(plan->Decode(frame.data, frame.size, decodeChoices_))
                     : py::object(py::none());
            return frameType(timestamp, py::str(std::string(frame.channel)), frame.id, name,
                             signals,
                             py::bytes(reinterpret_cast<const char*>(frame.data), frame.size));
        }
    }

    void Close() {
        if (file_ && !file_.is_none()) {
            file_.attr("close")();
            file_ = py::none();
        }
        lines_ = py::object();
    }

  private:
    std::shared_ptr<PlanSource> source_;
    py::object lines_;  // an iterator over the lines
    py::object file_;   // the file we opened, closed at the end
    bool decodeChoices_;
    bool skipUnknown_;
    size_t lineNumber_ = 0;
    qm::codec::LogLineParser parser_;
};

std::unique_ptr<LogReader> OpenLog(const std::shared_ptr<PlanSource>& source,
                                   const py::object& pathOrLines, bool decodeChoices,
                                   bool skipUnknown) {
    py::object os = py::module_::import("os");
    const bool isPath =
        py::isinstance<py::str>(pathOrLines) || py::isinstance(pathOrLines, os.attr("PathLike"));
    if (isPath) {
        py::object file = py::module_::import("builtins").attr("open")(pathOrLines, "rb");
        py::object lines = file.attr("__iter__")();
        return std::make_unique<LogReader>(source, lines, file, decodeChoices, skipUnknown);
    }
    py::object lines = py::reinterpret_steal<py::object>(PyObject_GetIter(pathOrLines.ptr()));
    if (!lines) throw py::error_already_set();
    return std::make_unique<LogReader>(source, lines, py::none(), decodeChoices, skipUnknown);
}

constexpr const char* kDecodeDoc =
    "decode(frame_id, data, decode_choices=True)\n--\n\n"
    "Signal values of one payload as a dict of name to physical value; with decode_choices a "
    "value that the signal's value table names gives that name. Only the multiplexed signals "
    "that the multiplexer value selects are present. KeyError for an unknown frame.";

// decode() is the call made once per frame, so it skips the generic argument handling of the
// binding layer: a vectorcall method that parses its three arguments itself.
PyObject* FastDecode(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    try {
        PyObject* given[3] = {nullptr, nullptr, nullptr};
        static const char* const kNames[3] = {"frame_id", "data", "decode_choices"};
        if (nargs > 3) throw py::type_error("decode() takes at most 3 arguments");
        for (Py_ssize_t i = 0; i < nargs; ++i) given[i] = args[i];
        const Py_ssize_t keywords = kwnames ? PyTuple_GET_SIZE(kwnames) : 0;
        for (Py_ssize_t k = 0; k < keywords; ++k) {
            PyObject* name = PyTuple_GET_ITEM(kwnames, k);
            int slot = -1;
            for (int n = 0; n < 3; ++n) {
                if (PyUnicode_CompareWithASCIIString(name, kNames[n]) == 0) slot = n;
            }
            if (slot < 0 || given[slot]) {
                throw py::type_error("decode() got an unexpected or repeated argument " +
                                     py::repr(name).cast<std::string>());
            }
            given[slot] = args[nargs + k];
        }
        if (!given[0] || !given[1]) throw py::type_error("decode() needs frame_id and data");
        bool choices = true;
        if (given[2]) {
            const int truth = PyObject_IsTrue(given[2]);
            if (truth < 0) throw py::error_already_set();
            choices = truth != 0;
        }
        PlanSource& source = py::cast<PlanSource&>(py::handle(self));
        const FramePlan& plan = source.PlanForKey(given[0]);
        if (PyBytes_Check(given[1])) {
            return plan
                .Decode(reinterpret_cast<const uint8_t*>(PyBytes_AS_STRING(given[1])),
                        static_cast<size_t>(PyBytes_GET_SIZE(given[1])), choices)
                .release()
                .ptr();
        }
        ByteView bytes(given[1]);
        return plan.Decode(bytes.data(), bytes.size(), choices).release().ptr();
    } catch (py::error_already_set& error) {
        error.restore();
    } catch (const py::builtin_exception& error) {
        error.set_error();
    } catch (const std::exception& error) {
        PyErr_SetString(PyExc_RuntimeError, error.what());
    }
    return nullptr;
}

PyMethodDef kDecodeMethod = {
    "decode", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(FastDecode)),
    METH_FASTCALL | METH_KEYWORDS, kDecodeDoc};

}  // namespace

void BindCodec(py::module_& m) {
    py::object namedtuple = py::module_::import("collections").attr("namedtuple");
    py::object decoded = namedtuple("DecodedFrame", "timestamp channel frame_id name signals data");
    decoded.attr("__module__") = "quillmere";
    decoded.attr("__doc__") =
        "One frame of a log: timestamp (float or None), channel, frame_id (without the "
        "extended flag), name of the frame (None when unknown), signals (dict, None when "
        "unknown) and the payload bytes.";
    m.attr("DecodedFrame") = decoded;
    BindLogColumns(m);

    py::class_<LogReader>(m, "LogReader",
                          "Iterator over the decoded frames of a candump log; lines are read "
                          "as the iteration asks for them.")
        .def("__iter__", [](py::object self) { return self; })
        .def("__next__", &LogReader::Next)
        .def("close", &LogReader::Close, "Closes the log file early.")
        .def("__enter__", [](py::object self) { return self; })
        .def("__exit__", [](LogReader& self, py::args) {
            self.Close();
            return false;
        });

    py::class_<PlanSource, std::shared_ptr<PlanSource>> codec(
        m, "FrameCodec",
        "Decoding and encoding of frames; frames are named by identifier (int) or name (str).");
    codec
        .def(
            "decode_many",
            [](PlanSource& self, const py::handle& frame, const py::handle& payloads,
               size_t stride) { return self.PlanForKey(frame).DecodeMany(payloads, stride); },
            py::arg("frame_id"), py::arg("payloads"), py::arg("stride") = 0,
            "Physical values of many payloads of one frame as a dict of signal name to "
            "array('d'), one entry per payload (NaN where a multiplexed signal is not sent). "
            "payloads is a sequence of bytes-like objects or one buffer of consecutive "
            "payloads of `stride` bytes (default: the frame's size).")
        .def(
            "encode",
            [](PlanSource& self, const py::handle& frame, const py::dict& values, bool strict) {
                return self.PlanForKey(frame).Encode(values, strict);
            },
            py::arg("frame_id"), py::arg("values"), py::arg("strict") = true,
            "The payload (bytes) for a dict of signal name to physical value or choice text. "
            "Signals left out take their start value. ValueError names the signal whose value "
            "lies outside its range or does not fit its bits; with strict, also unknown names "
            "and multiplexed signals the multiplexer value does not select.")
        .def(
            "decode_log",
            [](std::shared_ptr<PlanSource> self, const py::object& path_or_lines,
               bool decode_choices, bool skip_unknown, bool columns, uint64_t start,
               std::optional<uint64_t> stop, const py::object& frames,
               std::optional<size_t> chunk_frames, bool by_message) -> py::object {
                if (columns && chunk_frames) {
                    return DecodeLogColumnChunks(self, path_or_lines, {start, stop}, frames,
                                                 *chunk_frames, by_message);
                }
                if (by_message)
                    throw py::value_error("by_message needs columns=True and chunk_frames");
                if (columns) return DecodeLogColumns(self, path_or_lines, {start, stop}, frames);
                if (start != 0 || stop || !frames.is_none() || chunk_frames)
                    throw py::value_error("start, stop, frames and chunk_frames need columns=True");
                return py::cast(OpenLog(self, path_or_lines, decode_choices, skip_unknown));
            },
            py::arg("path_or_lines"), py::arg("decode_choices") = true,
            py::arg("skip_unknown") = true, py::kw_only(), py::arg("columns") = false,
            py::arg("start") = 0, py::arg("stop") = py::none(), py::arg("frames") = py::none(),
            py::arg("chunk_frames") = py::none(), py::arg("by_message") = false,
            "Lazily decodes a candump log (a path, or any iterable of str or bytes lines) into "
            "DecodedFrame tuples. Lines that are no frame are passed over; frames of unknown "
            "identifiers too, unless skip_unknown is False.\n\n"
            "With columns=True (a path only) the whole log, or the lines of the byte range "
            "start..stop, is decoded at once into a LogColumns: a dict of frame name to a dict "
            "of column name to array.array ('timestamp', 'channel', then one column per "
            "signal); frames limits the frames decoded (names or identifiers). With "
            "chunk_frames=N it returns an iterator of LogColumns of at most N frames each, in "
            "log order, so that memory does not grow with the log. With by_message=True as "
            "well, frames wait per message and each chunk takes the messages with the most "
            "frames waiting: a frequent message comes in long runs, a rare one seldom (each "
            "message's frames in log order across chunks).")
        .def(
            "column_types",
            [](PlanSource& self, const py::handle& frame) {
                return ColumnTypes(self.PlanForKey(frame));
            },
            py::arg("frame_id"),
            "The columns decode_log(columns=True) gives a frame, in order: a dict of column name "
            "to array type code ('d', 'q', 'Q', 'H').");
    PyObject* decode =
        PyDescr_NewMethod(reinterpret_cast<PyTypeObject*>(codec.ptr()), &kDecodeMethod);
    if (!decode) throw py::error_already_set();
    codec.attr("decode") = py::reinterpret_steal<py::object>(decode);
}

}  // namespace qmpy
