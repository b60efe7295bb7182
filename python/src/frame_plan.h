#pragma once
// A frame's signals prepared once for decoding and encoding: where each lies, how its raw
// value becomes a physical value, which texts name which raw values, and which multiplexer
// value selects it. DBC messages, LIN frames and network-model messages all become a plan; the
// decoding loops below know only plans.
#include <pybind11/pybind11.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bit_field.h"
#include "codec/multiplex_selection.h"

namespace qmpy {

namespace py = pybind11;

// One value-table or encoding entry: the raw range it covers, the text it gives (a choice) and,
// for a scaled range, the scaling that replaces the signal's own.
struct ValueEntry {
    uint64_t rawMin = 0;
    uint64_t rawMax = 0;
    py::object text;  // None when the entry names no value
    bool scaled = false;
    double factor = 1.0;
    double offset = 0.0;
};

enum class MuxRole : uint8_t { Plain, Switch, Multiplexed };

struct SignalPlan {
    py::object name;  // str
    BitField field;
    RawKind kind = RawKind::Unsigned;
    double factor = 1.0;
    double offset = 0.0;
    // Physical range checked by encode; not checked when minimum == maximum == 0 or the two
    // are crossed.
    double minimum = 0.0;
    double maximum = 0.0;
    MuxRole mux = MuxRole::Plain;
    int64_t muxValue = -1;
    // Extended multiplexing: the index of the signal whose value selects this one, -1 without,
    // and the value ranges that select it.
    struct MuxRange {
        uint64_t minimum = 0;
        uint64_t maximum = 0;
    };
    int extendedMux = -1;
    std::vector<MuxRange> muxRanges;
    // The value of a byte array is the bytes themselves, least significant first.
    bool byteArray = false;
    // Raw value an encode writes for a signal the caller leaves out.
    uint64_t defaultRaw = 0;
    // Entries in lookup order; when every entry is a single unscaled value they are sorted by
    // raw value (first of equals kept first) and found by binary search.
    std::vector<ValueEntry> entries;
    bool sortedExact = false;
    bool hasScaled = false;  // an entry replaces the scaling for its raw range

    // Finishes the plan once its fields are set.
    void Prepare();
    // The entry that covers a raw value, or null.
    const ValueEntry* Covering(uint64_t raw) const;
    double Physical(uint64_t raw) const {
        if (hasScaled) return ScaledPhysical(raw);
        return RawToNumber(raw, field.Length(), kind) * factor + offset;
    }
    // A new reference: the choice text when asked for and there is one, else the number (or the
    // bytes of a byte array).
    PyObject* Value(uint64_t raw, bool choices) const;
    // The raw value for a Python value; raises ValueError naming the signal when it cannot be
    // represented or lies outside the signal's range.
    uint64_t RawFor(const py::handle& value) const;

  private:
    double ScaledPhysical(uint64_t raw) const;
    uint64_t RawForNumber(double value) const;
};

struct FramePlan {
    py::object name;  // str
    uint32_t id = 0;
    size_t size = 0;  // bytes an encode produces
    std::vector<SignalPlan> signals;
    int switchIndex = -1;  // the first multiplexer switch
    size_t fieldEnd = 0;   // the payload bytes the signals reach

    void Prepare();
    // The multiplexer value a payload carries, or -1 without a switch.
    int64_t Selected(const uint8_t* payload, size_t size) const;
    bool extended = false;  // a signal has extended multiplexing
    // Whether a frame carries signals[index], by the multiplexing rule of the library: selected
    // is the switch value; rawOf(i) gives the raw value of signals[i] (needed only for the
    // multiplexers of extended multiplexing).
    template <class RawOf>
    bool Active(size_t index, int64_t selected, const RawOf& rawOf) const;
    // A multiplexed signal or one of extended multiplexing: not in every frame.
    bool Conditional(const SignalPlan& signal) const {
        return signal.mux == MuxRole::Multiplexed || signal.extendedMux >= 0;
    }

    py::dict Decode(const uint8_t* payload, size_t size, bool choices) const;
    // One array('d') per signal, in signal order, keyed by name; a multiplexed signal that a
    // frame does not carry reads NaN there.
    py::dict DecodeMany(const py::handle& payloads, size_t stride) const;
    py::bytes Encode(const py::dict& values, bool strict) const;
};

// The plan's signals as the library's multiplexing rule walks them, by index.
template <class RawOf>
struct PlanMuxAccess {
    const FramePlan& plan;
    const RawOf& rawOf;

    int Multiplexer(int index) const {
        return plan.signals[static_cast<size_t>(index)].extendedMux;
    }
    bool IsNull(int index) const { return index < 0; }
    bool IsMultiplexed(int index) const {
        return plan.signals[static_cast<size_t>(index)].mux == MuxRole::Multiplexed;
    }
    int64_t MultiplexValue(int index) const {
        return plan.signals[static_cast<size_t>(index)].muxValue;
    }
    bool InRanges(int index, uint64_t raw) const {
        return qm::codec::InMultiplexRanges(plan.signals[static_cast<size_t>(index)].muxRanges, raw);
    }
    uint64_t Raw(int index) const { return rawOf(static_cast<size_t>(index)); }
};

template <class RawOf>
bool FramePlan::Active(size_t index, int64_t selected, const RawOf& rawOf) const {
    if (!extended) {
        const SignalPlan& signal = signals[index];
        return signal.mux != MuxRole::Multiplexed || signal.muxValue == selected;
    }
    return qm::codec::IsCarried(PlanMuxAccess<RawOf>{*this, rawOf}, static_cast<int>(index),
                              selected);
}

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
