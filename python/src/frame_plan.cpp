#include "frame_plan.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <sstream>

namespace qmpy {

namespace {

// Payloads are copied into a zeroed buffer with room for one 64-bit load past every field, so
// that each field is one load, shift and mask whatever the payload's length.
class PaddedPayload {
  public:
    explicit PaddedPayload(size_t fieldEnd) : need_(fieldEnd + 8) {
        if (need_ > sizeof(inline_)) heap_.resize(need_);
    }

    const uint8_t* Fill(const uint8_t* payload, size_t size) {
        uint8_t* bytes = heap_.empty() ? inline_ : heap_.data();
        const size_t copied = std::min(size, need_);
        if (copied) std::memcpy(bytes, payload, copied);
        if (copied < need_) std::memset(bytes + copied, 0, need_ - copied);
        return bytes;
    }

  private:
    size_t need_;
    uint8_t inline_[136];
    std::vector<uint8_t> heap_;
};

std::string NumberText(double value) {
    std::ostringstream out;
    out.precision(17);
    out << value;
    std::string text = out.str();
    return text;
}

std::string NameOf(const py::object& name) {
    return py::str(name).cast<std::string>();
}

[[noreturn]] void SignalError(const SignalPlan& signal, const std::string& what) {
    throw py::value_error("signal '" + NameOf(signal.name) + "': " + what);
}

uint64_t LowMask(uint32_t length) {
    return length >= 64 ? ~uint64_t{0} : (uint64_t{1} << length) - 1;
}

bool Within(double value, double low, double high) {
    const double tolerance = 1e-9 * std::max({1.0, std::fabs(low), std::fabs(high)});
    return value >= low - tolerance && value <= high + tolerance;
}

}  // namespace

ByteView::ByteView(const py::handle& object) {
    if (PyObject_GetBuffer(object.ptr(), &view_, PyBUF_SIMPLE) != 0) {
        PyErr_Clear();
        throw py::type_error("a payload must be bytes-like (bytes, bytearray, memoryview)");
    }
}

ByteView::~ByteView() {
    PyBuffer_Release(&view_);
}

void SignalPlan::Prepare() {
    sortedExact = !entries.empty();
    hasScaled = false;
    for (const ValueEntry& entry : entries) {
        if (entry.scaled || entry.rawMin != entry.rawMax) sortedExact = false;
        if (entry.scaled) hasScaled = true;
    }
    if (sortedExact) {
        std::stable_sort(
            entries.begin(), entries.end(),
            [](const ValueEntry& a, const ValueEntry& b) { return a.rawMin < b.rawMin; });
    }
}

const ValueEntry* SignalPlan::Covering(uint64_t raw) const {
    if (sortedExact) {
        auto at = std::lower_bound(entries.begin(), entries.end(), raw,
                                   [](const ValueEntry& e, uint64_t r) { return e.rawMin < r; });
        return at != entries.end() && at->rawMin == raw ? &*at : nullptr;
    }
    for (const ValueEntry& entry : entries) {
        if (raw >= entry.rawMin && raw <= entry.rawMax) return &entry;
    }
    return nullptr;
}

double SignalPlan::ScaledPhysical(uint64_t raw) const {
    const ValueEntry* entry = Covering(raw);
    if (entry && entry->scaled) return static_cast<double>(raw) * entry->factor + entry->offset;
    return RawToNumber(raw, field.Length(), kind) * factor + offset;
}

PyObject* SignalPlan::Value(uint64_t raw, bool choices) const {
    if (byteArray) {
        const size_t count = (field.Length() + 7) / 8;
        uint8_t bytes[8] = {};
        for (size_t i = 0; i < count && i < 8; ++i) bytes[i] = static_cast<uint8_t>(raw >> (8 * i));
        return PyBytes_FromStringAndSize(reinterpret_cast<const char*>(bytes),
                                         static_cast<Py_ssize_t>(std::min<size_t>(count, 8)));
    }
    if ((choices || hasScaled) && !entries.empty()) {
        const ValueEntry* entry = Covering(raw);
        if (entry) {
            if (choices && !entry->text.is_none()) return entry->text.inc_ref().ptr();
            if (entry->scaled) {
                return PyFloat_FromDouble(static_cast<double>(raw) * entry->factor + entry->offset);
            }
        }
    }
    return PyFloat_FromDouble(RawToNumber(raw, field.Length(), kind) * factor + offset);
}

uint64_t SignalPlan::RawFor(const py::handle& value) const {
    if (PyUnicode_Check(value.ptr())) {
        for (const ValueEntry& entry : entries) {
            if (!entry.text.is_none() && entry.text.equal(value)) return entry.rawMin;
        }
        SignalError(*this, "no value is named '" + value.cast<std::string>() + "'");
    }
    if (byteArray && PyObject_CheckBuffer(value.ptr())) {
        ByteView bytes(value);
        if (bytes.size() * 8 > field.Length() || bytes.size() > 8) {
            SignalError(*this, std::to_string(bytes.size()) + " bytes do not fit " +
                                   std::to_string(field.Length()) + " bits");
        }
        uint64_t raw = 0;
        for (size_t i = 0; i < bytes.size(); ++i) raw |= uint64_t{bytes.data()[i]} << (8 * i);
        return raw;
    }
    if (!PyFloat_Check(value.ptr()) && !PyLong_Check(value.ptr())) {
        PyObject* number = PyNumber_Float(value.ptr());
        if (!number) {
            PyErr_Clear();
            SignalError(*this, "a number or a value name is needed, not " +
                                   std::string(Py_TYPE(value.ptr())->tp_name));
        }
        const double converted = PyFloat_AS_DOUBLE(number);
        Py_DECREF(number);
        return RawForNumber(converted);
    }
    const double number = PyFloat_AsDouble(value.ptr());
    if (number == -1.0 && PyErr_Occurred()) {
        PyErr_Clear();
        SignalError(*this, "the number is too large");
    }
    return RawForNumber(number);
}

uint64_t SignalPlan::RawForNumber(double value) const {
    if (std::isnan(value)) SignalError(*this, "NaN cannot be encoded");
    // Encodings with scaled ranges choose the range by the physical value.
    bool anyScaled = false;
    for (const ValueEntry& entry : entries) {
        if (!entry.scaled) continue;
        anyScaled = true;
        double low = static_cast<double>(entry.rawMin) * entry.factor + entry.offset;
        double high = static_cast<double>(entry.rawMax) * entry.factor + entry.offset;
        if (low > high) std::swap(low, high);
        if (!Within(value, low, high) || entry.factor == 0.0) continue;
        const double raw = std::nearbyint((value - entry.offset) / entry.factor);
        const double clamped =
            std::clamp(raw, static_cast<double>(entry.rawMin), static_cast<double>(entry.rawMax));
        return static_cast<uint64_t>(clamped);
    }
    if (anyScaled) {
        // A number may still name a logical value directly.
        for (const ValueEntry& entry : entries) {
            if (!entry.scaled && value == std::floor(value) && value >= 0 &&
                Within(value, static_cast<double>(entry.rawMin),
                       static_cast<double>(entry.rawMax))) {
                return static_cast<uint64_t>(value);
            }
        }
        SignalError(*this, NumberText(value) + " lies in none of its encoding's ranges");
    }
    if (!(minimum == 0.0 && maximum == 0.0) && minimum <= maximum &&
        !Within(value, minimum, maximum)) {
        SignalError(*this, NumberText(value) + " is outside its range [" + NumberText(minimum) +
                               ", " + NumberText(maximum) + "]");
    }
    if (factor == 0.0) SignalError(*this, "a factor of 0 cannot be inverted");
    const double scaled = (value - offset) / factor;
    if (kind == RawKind::Float32) {
        const float single = static_cast<float>(scaled);
        uint32_t bits;
        std::memcpy(&bits, &single, sizeof(bits));
        return bits;
    }
    if (kind == RawKind::Float64) {
        uint64_t bits;
        std::memcpy(&bits, &scaled, sizeof(bits));
        return bits;
    }
    const double raw = std::nearbyint(scaled);
    const uint32_t length = std::min<uint32_t>(field.Length(), 64);
    double low = 0.0;
    double high = std::ldexp(1.0, static_cast<int>(length)) - 1.0;
    if (kind == RawKind::Signed && length > 0) {
        low = -std::ldexp(1.0, static_cast<int>(length) - 1);
        high = std::ldexp(1.0, static_cast<int>(length) - 1) - 1.0;
    }
    if (!(raw >= low && raw <= high)) {
        SignalError(*this, NumberText(value) + " needs the raw value " + NumberText(raw) +
                               ", which does not fit " + std::to_string(field.Length()) + " bits");
    }
    if (raw < 0) return static_cast<uint64_t>(static_cast<int64_t>(raw)) & LowMask(length);
    if (raw >= 18446744073709551615.0) return ~uint64_t{0};
    return static_cast<uint64_t>(raw);
}

void FramePlan::Prepare() {
    switchIndex = -1;
    fieldEnd = 0;
    for (size_t i = 0; i < signals.size(); ++i) {
        signals[i].Prepare();
        fieldEnd = std::max(fieldEnd, signals[i].field.EndByte());
        if (switchIndex < 0 && signals[i].mux == MuxRole::Switch) switchIndex = static_cast<int>(i);
        if (signals[i].extendedMux >= 0) extended = true;
    }
}

int64_t FramePlan::Selected(const uint8_t* payload, size_t size) const {
    if (switchIndex < 0) return -1;
    return static_cast<int64_t>(
        signals[static_cast<size_t>(switchIndex)].field.Extract(payload, size));
}

py::dict FramePlan::Decode(const uint8_t* payload, size_t size, bool choices) const {
    PaddedPayload padded(fieldEnd);
    const uint8_t* bytes = padded.Fill(payload, size);
    int64_t selected = -1;
    if (switchIndex >= 0) {
        selected = static_cast<int64_t>(
            signals[static_cast<size_t>(switchIndex)].field.ExtractPadded(bytes));
    }
    auto result = py::reinterpret_steal<py::dict>(
        _PyDict_NewPresized(static_cast<Py_ssize_t>(signals.size())));
    if (!result) throw py::error_already_set();
    const auto rawOf = [&](size_t index) { return signals[index].field.ExtractPadded(bytes); };
    for (size_t i = 0; i < signals.size(); ++i) {
        const SignalPlan& signal = signals[i];
        if (!Active(i, selected, rawOf)) continue;
        PyObject* value = signal.Value(signal.field.ExtractPadded(bytes), choices);
        if (!value) throw py::error_already_set();
        const int failed = PyDict_SetItem(result.ptr(), signal.name.ptr(), value);
        Py_DECREF(value);
        if (failed) throw py::error_already_set();
    }
    return result;
}

py::dict FramePlan::DecodeMany(const py::handle& payloads, size_t stride) const {
    // Every payload is copied into a zeroed record with room for a 64-bit load past each field;
    // then each signal runs down all records in one tight loop. The records live in a scratch
    // buffer kept by the thread, so that repeated calls do not fault in fresh memory.
    thread_local std::vector<uint8_t> records;
    const size_t record = (fieldEnd + 8 + 7) / 8 * 8;
    size_t count = 0;
    auto place = [&](size_t index, const uint8_t* bytes, size_t size) {
        uint8_t* target = records.data() + index * record;
        const size_t copied = std::min(size, fieldEnd);
        if (copied) std::memcpy(target, bytes, copied);
        std::memset(target + copied, 0, record - copied);
    };
    if (PyObject_CheckBuffer(payloads.ptr())) {
        ByteView whole(payloads);
        if (stride == 0) stride = size;
        if (stride == 0) throw py::value_error("the frame has no size; give the stride");
        if (whole.size() % stride != 0) {
            throw py::value_error("the buffer's " + std::to_string(whole.size()) +
                                  " bytes are no whole number of " + std::to_string(stride) +
                                  "-byte frames");
        }
        count = whole.size() / stride;
        if (records.size() < count * record) records.resize(count * record);
        for (size_t f = 0; f < count; ++f) place(f, whole.data() + f * stride, stride);
    } else {
        // A tuple of our own holds every payload while we read it.
        auto sequence = py::reinterpret_steal<py::object>(PySequence_Tuple(payloads.ptr()));
        if (!sequence) {
            PyErr_Clear();
            throw py::type_error("payloads must be a sequence of bytes-like objects or one buffer");
        }
        count = static_cast<size_t>(PyTuple_GET_SIZE(sequence.ptr()));
        if (records.size() < count * record) records.resize(count * record);
        for (size_t f = 0; f < count; ++f) {
            PyObject* item = PyTuple_GET_ITEM(sequence.ptr(), static_cast<Py_ssize_t>(f));
            if (PyBytes_Check(item)) {
                place(f, reinterpret_cast<const uint8_t*>(PyBytes_AS_STRING(item)),
                      static_cast<size_t>(PyBytes_GET_SIZE(item)));
            } else {
                ByteView view(item);
                place(f, view.data(), view.size());
            }
        }
    }

    std::vector<int64_t> selected;
    if (switchIndex >= 0) {
        const BitField& field = signals[static_cast<size_t>(switchIndex)].field;
        selected.resize(count);
        for (size_t f = 0; f < count; ++f) {
            selected[f] = static_cast<int64_t>(field.ExtractPadded(records.data() + f * record));
        }
    }

    // Each column is an array('d') written in place through its buffer.
    py::object array = py::module_::import("array").attr("array");
    py::object one = array("d", py::make_tuple(0.0));
    py::dict result;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (size_t index = 0; index < signals.size(); ++index) {
        const SignalPlan& signal = signals[index];
        py::object column = one * py::int_(count);
        Py_buffer view{};
        if (PyObject_GetBuffer(column.ptr(), &view, PyBUF_WRITABLE) != 0)
            throw py::error_already_set();
        double* out = static_cast<double*>(view.buf);
        const uint8_t* at = records.data();
        if (extended && Conditional(signal)) {
            for (size_t f = 0; f < count; ++f, at += record) {
                const auto rawOf = [&](size_t other) {
                    return signals[other].field.ExtractPadded(at);
                };
                out[f] = Active(index, selected.empty() ? -1 : selected[f], rawOf)
                             ? signal.Physical(signal.field.ExtractPadded(at))
                             : nan;
            }
        } else if (signal.mux == MuxRole::Multiplexed) {
            for (size_t f = 0; f < count; ++f, at += record) {
                out[f] = selected[f] == signal.muxValue
                             ? signal.Physical(signal.field.ExtractPadded(at))
                             : nan;
            }
        } else if (!signal.hasScaled && signal.kind == RawKind::Unsigned) {
            const BitField field = signal.field;
            const double factor = signal.factor;
            const double offset = signal.offset;
            for (size_t f = 0; f < count; ++f, at += record) {
                out[f] = static_cast<double>(field.ExtractPadded(at)) * factor + offset;
            }
        } else {
            for (size_t f = 0; f < count; ++f, at += record) {
                out[f] = signal.Physical(signal.field.ExtractPadded(at));
            }
        }
        PyBuffer_Release(&view);
        result[signal.name] = column;
    }
    return result;
}

py::bytes FramePlan::Encode(const py::dict& values, bool strict) const {
    if (strict) {
        for (auto item : values) {
            bool known = false;
            for (const SignalPlan& signal : signals) {
                if (signal.name.equal(item.first)) {
                    known = true;
                    break;
                }
            }
            if (!known) {
                throw py::value_error("'" + py::str(item.first).cast<std::string>() +
                                      "' is no signal of '" + NameOf(name) + "'");
            }
        }
    }
    std::vector<uint8_t> payload(size, 0);
    int64_t selected = -1;
    if (switchIndex >= 0) {
        const SignalPlan& multiplexer = signals[static_cast<size_t>(switchIndex)];
        PyObject* given = PyDict_GetItemWithError(values.ptr(), multiplexer.name.ptr());
        if (!given && PyErr_Occurred()) throw py::error_already_set();
        selected = static_cast<int64_t>(given ? multiplexer.RawFor(given) : multiplexer.defaultRaw);
    }
    // A multiplexer of extended multiplexing selects by the value given for it, else by the
    // value an encode writes for it.
    const auto rawOf = [&](size_t index) {
        const SignalPlan& multiplexer = signals[index];
        PyObject* given = PyDict_GetItemWithError(values.ptr(), multiplexer.name.ptr());
        if (!given && PyErr_Occurred()) throw py::error_already_set();
        return given ? multiplexer.RawFor(given) : multiplexer.defaultRaw;
    };
    for (size_t i = 0; i < signals.size(); ++i) {
        const SignalPlan& signal = signals[i];
        PyObject* given = PyDict_GetItemWithError(values.ptr(), signal.name.ptr());
        if (!given && PyErr_Occurred()) throw py::error_already_set();
        if (!Active(i, selected, rawOf)) {
            if (given && strict) {
                if (signal.extendedMux >= 0) {
                    SignalError(signal,
                                "its multiplexer '" +
                                    NameOf(signals[static_cast<size_t>(signal.extendedMux)].name) +
                                    "' does not select it");
                }
                SignalError(signal, "it is sent with multiplexer value " +
                                        std::to_string(signal.muxValue) + ", not " +
                                        std::to_string(selected));
            }
            continue;
        }
        const uint64_t raw = given ? signal.RawFor(given) : signal.defaultRaw;
        signal.field.Insert(payload.data(), payload.size(), raw);
    }
    return py::bytes(reinterpret_cast<const char*>(payload.data()), payload.size());
}

}  // namespace qmpy
