#pragma once
// Documents that decode and encode frames: they turn a frame key (an identifier or a name)
// into the plan of its frame, build plans on first use and keep them until an edit.
#include <pybind11/pybind11.h>

#include <cstdint>
#include <memory>
#include <string>

#include "frame_plan.h"
#include "session.h"

namespace qmpy {

namespace py = pybind11;

// The number of an int frame key; KeyError for a negative or too large one.
inline uint64_t FrameNumber(const py::handle& key) {
    if (!PyLong_Check(key.ptr()))
        throw py::type_error("a frame is named by an int identifier or a str name");
    const unsigned long long id = PyLong_AsUnsignedLongLong(key.ptr());
    if (PyErr_Occurred()) {
        PyErr_Clear();
        throw py::key_error(py::repr(key).cast<std::string>());
    }
    return id;
}

// A frame seen on the bus, found as FrameCatalog::ForId finds it: an identifier that no frame
// has is also tried with the other addressing (a log line does not always say it as the
// database does, e.g. "24F7#.." for a message written "BO_ 9463"). find(key) takes a raw key
// (bit 31: extended) and gives a pointer, null when no frame has it.
template <class Find>
auto FindEitherAddressing(uint32_t id, bool extended, Find&& find) {
    using qm::codec::kExtendedFlag;
    auto found = find(extended ? id | kExtendedFlag : id);
    if (!found && id <= 0x1FFFFFFFu) found = find(extended ? id : id | kExtendedFlag);
    return found;
}

class PlanSource : public DocumentBase {
  public:
    virtual ~PlanSource() = default;
    // The plan of the frame an int identifier or a str name names; KeyError when none.
    virtual const FramePlan& PlanForKey(const py::handle& key) = 0;
    // The plan for a frame seen on the bus (a log line), or null.
    virtual const FramePlan* PlanForFrame(uint32_t id, bool extended) = 0;
    // The column layout of a frame seen on the bus, or null: by default its plan's. A document
    // that makes codecs from a model it keeps gives layouts made apart from the plans
    // (LeanColumns), which keep no codec that the columns do not read.
    virtual std::shared_ptr<const LogColumnLayout> ColumnsForFrame(uint32_t id, bool extended);
};

// The Python base class FrameCodec (decode, decode_many, encode, decode_log), LogReader and
// DecodedFrame.
void BindCodec(py::module_& m);

// The methods a model object that is one frame offers: decode and encode.
template <class Class, class Plan>
void AddFrameMethods(Class& cls, Plan plan) {
    cls.def(
           "decode",
           [plan](const typename Class::type& self, const py::handle& data, bool decode_choices) {
               ByteView bytes(data);
               return plan(self).Decode(bytes.data(), bytes.size(), decode_choices);
           },
           py::arg("data"), py::arg("decode_choices") = true,
           "The signal values the payload carries, as a dict of name to physical value (or "
           "choice text).")
        .def(
            "encode",
            [plan](const typename Class::type& self, const py::dict& values, bool strict) {
                return plan(self).Encode(values, strict);
            },
            py::arg("values"), py::arg("strict") = true,
            "The payload for a dict of signal name to value; ValueError names a signal whose "
            "value cannot be sent.")
        .def(
            "decode_many",
            [plan](const typename Class::type& self, const py::handle& payloads, size_t stride) {
                return plan(self).DecodeMany(payloads, stride);
            },
            py::arg("payloads"), py::arg("stride") = 0,
            "Physical values of many payloads: one array('d') per signal.");
}

}  // namespace qmpy
