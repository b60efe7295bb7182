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

struct FramePlan {
    // Takes the codec and renders its texts by the document's rule. Two signals of one frame
    // with the same name get the keys "name", "name#2", "name#3", ... in signal order.
    FramePlan(std::unique_ptr<qm::codec::FrameCodec> codec, const TextRule& text);

    std::unique_ptr<qm::codec::FrameCodec> codec;
    py::object name;  // str
    uint32_t id = 0;  // with bit 31 for an extended identifier
    size_t size = 0;
    std::vector<py::object> keys;                // str per signal
    std::vector<std::vector<py::object>> texts;  // str per value text per signal

    py::dict Decode(const uint8_t* payload, size_t size, bool choices) const;
    // One array('d') per signal, in signal order, keyed as decode keys them; a signal that a
    // frame does not carry reads NaN there.
    py::dict DecodeMany(const py::handle& payloads, size_t stride) const;
    py::bytes Encode(const py::dict& values, bool strict) const;

  private:
    PyObject* Value(size_t index, uint64_t raw, bool choices) const;
    uint64_t RawFor(size_t index, const py::handle& value) const;
    int IndexOfKey(const py::handle& key) const;
    std::unordered_map<std::string, int> indexOfKey_;
};

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
