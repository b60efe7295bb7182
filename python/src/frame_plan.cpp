#include "frame_plan.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

namespace qmpy {

using qm::codec::CodecError;
using qm::codec::Physical;
using qm::codec::SignalCodec;

size_t PaddedStride(const qm::codec::FrameCodec& codec) {
    // A container's record holds the payload as sent (its contained PDUs are laid out when read).
    const size_t bytes =
        codec.container ? std::max<size_t>(codec.FieldEnd(), codec.size) : codec.FieldEnd();
    return (bytes + 8 + 7) / 8 * 8;
}

size_t RecordPayloadBytes(const qm::codec::FrameCodec& codec) {
    return codec.container ? PaddedStride(codec) - 8 : codec.FieldEnd();
}

bool AlwaysCarried(const SignalCodec& signal) {
    return signal.mux != qm::codec::MuxRole::Multiplexed && signal.extendedMux < 0;
}

char ColumnCode(const qm::codec::FrameCodec& codec, size_t index) {
    const SignalCodec& signal = codec.signals[index];
    if (!AlwaysCarried(signal) || codec.container) return 'd';
    const uint32_t length = signal.layout.Length();
    if (signal.byteArray) return length <= 64 ? 'Q' : 'd';
    if (!signal.IntegerPhysical() || length == 0 || length > 64) return 'd';
    // The extremes of every scaling over the whole raw range, exactly.
    const bool isSigned = signal.kind == qm::codec::ValueKind::Signed;
    const __int128 rawLow = isSigned ? -(static_cast<__int128>(1) << (length - 1)) : 0;
    const __int128 rawHigh = isSigned ? (static_cast<__int128>(1) << (length - 1)) - 1
                                      : (static_cast<__int128>(1) << length) - 1;
    __int128 low = 0;
    __int128 high = 0;
    bool first = true;
    const auto cover = [&](double factor, double offset) {
        const __int128 f = static_cast<int64_t>(factor);
        const __int128 o = static_cast<int64_t>(offset);
        for (const __int128 end : {rawLow * f + o, rawHigh * f + o}) {
            low = first || end < low ? end : low;
            high = first || end > high ? end : high;
            first = false;
        }
    };
    cover(signal.factor, signal.offset);
    for (const auto& range : signal.ranges) cover(range.factor, range.offset);
    if (low >= std::numeric_limits<int64_t>::min() && high <= std::numeric_limits<int64_t>::max())
        return 'q';
    if (low >= 0 && high <= static_cast<__int128>(std::numeric_limits<uint64_t>::max())) return 'Q';
    return 'd';
}

namespace {

// The codec's own loops (Way::Codec): PhysicalDouble, PhysicalOf and extended multiplexing.
void CodecDoubles(const qm::codec::FrameCodec& codec, size_t index, const PaddedRecords& records,
                  double* out) {
    const auto& signals = codec.signals;
    const SignalCodec& signal = signals[index];
    const qm::codec::BitLayout field = signal.layout;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const size_t count = records.count;
    const int64_t* selected = records.selected;
    const uint8_t* at = records.data;
    const size_t stride = records.stride;
    if (codec.HasExtendedMultiplexing()) {
        for (size_t f = 0; f < count; ++f, at += stride) {
            const auto rawOf = [&](size_t other) {
                return signals[other].layout.ExtractPadded(at);
            };
            out[f] = codec.Carries(index, selected ? selected[f] : -1, rawOf)
                         ? signal.PhysicalDouble(field.ExtractPadded(at))
                         : nan;
        }
    } else if (signal.mux == qm::codec::MuxRole::Multiplexed) {
        for (size_t f = 0; f < count; ++f, at += stride) {
            out[f] = selected && selected[f] == signal.muxValue
                         ? signal.PhysicalDouble(field.ExtractPadded(at))
                         : nan;
        }
    } else {
        for (size_t f = 0; f < count; ++f, at += stride) {
            out[f] = signal.PhysicalDouble(field.ExtractPadded(at));
        }
    }
}

void CodecIntegers(const SignalCodec& signal, const PaddedRecords& records, uint64_t* out) {
    const qm::codec::BitLayout field = signal.layout;
    const size_t count = records.count;
    const uint8_t* at = records.data;
    const size_t stride = records.stride;
    // Integer scaling in 64-bit unsigned arithmetic: the bits are right whenever the value
    // fits the column, which ColumnCode made sure of.
    const uint64_t factor = static_cast<uint64_t>(static_cast<int64_t>(signal.factor));
    const uint64_t offset = static_cast<uint64_t>(static_cast<int64_t>(signal.offset));
    const bool bcd = signal.ReadsAsDecimal();
    if (signal.byteArray && !bcd) {
        for (size_t f = 0; f < count; ++f, at += stride) out[f] = field.ExtractPadded(at);
    } else if (!bcd && signal.ranges.empty() && signal.kind == qm::codec::ValueKind::Unsigned) {
        for (size_t f = 0; f < count; ++f, at += stride) {
            out[f] = field.ExtractPadded(at) * factor + offset;
        }
    } else if (signal.ranges.empty() && signal.kind == qm::codec::ValueKind::Signed) {
        for (size_t f = 0; f < count; ++f, at += stride) {
            out[f] = static_cast<uint64_t>(signal.SignedValue(field.ExtractPadded(at))) * factor +
                     offset;
        }
    } else {
        for (size_t f = 0; f < count; ++f, at += stride) {
            const Physical physical = signal.PhysicalOf(field.ExtractPadded(at));
            out[f] = physical.type == Physical::Type::Unsigned
                         ? physical.natural
                         : static_cast<uint64_t>(physical.integer);
        }
    }
}

static_assert(sizeof(ColumnFill) == 32, "a column fill is half a cache line");

// A 'd' column of a field one load holds: valueOf(raw) down the records, NaN where the switch
// of a multiplexed signal selects another value (everywhere when the records have no switch).
template <class ValueOf>
void FieldDoubles(const ColumnFill& fill, const PaddedRecords& records, double* out,
                  ValueOf&& valueOf) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const int64_t* selected = fill.multiplexed ? records.selected : nullptr;
    if (fill.multiplexed && !selected) {
        std::fill(out, out + records.count, nan);
        return;
    }
    // Copies: the stores into `out` could otherwise alias the fill, read again every frame.
    const qm::codec::FieldLoad load = fill.load;
    const int32_t muxValue = fill.muxValue;
    const size_t count = records.count;
    const size_t stride = records.stride;
    const uint8_t* at = records.data;
    for (size_t f = 0; f < count; ++f, at += stride) {
        const double value = valueOf(load.ExtractFast(at));
        out[f] = selected && selected[f] != muxValue ? nan : value;
    }
}

// 10^decimals, as SignalCodec::RoundScale() has them.
constexpr double kTens[16] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                              1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

}  // namespace

ColumnFill ColumnFillOf(const qm::codec::FrameCodec& codec, size_t index, char code) {
    const SignalCodec& signal = codec.signals[index];
    ColumnFill fill;
    fill.code = code;
    if (codec.HasExtendedMultiplexing() || codec.container || !signal.layout.Load().Fast())
        return fill;
    fill.load = signal.layout.Load();
    fill.factor = signal.factor;
    fill.offset = signal.offset;
    fill.decimals = static_cast<uint8_t>(std::clamp(signal.RoundDecimals(), 0, 15));
    fill.isSigned = signal.kind == qm::codec::ValueKind::Signed;
    fill.multiplexed = signal.mux == qm::codec::MuxRole::Multiplexed;
    const bool integerKind = fill.isSigned || signal.kind == qm::codec::ValueKind::Unsigned;
    if (!signal.ranges.empty()) return fill;
    if (fill.multiplexed && (signal.muxValue < INT32_MIN || signal.muxValue > INT32_MAX))
        return fill;
    fill.muxValue = static_cast<int32_t>(signal.muxValue);
    if (code == 'd' && !signal.byteArray && signal.PlainScaling()) {
        fill.kind = static_cast<uint8_t>(signal.kind);
        fill.way = ColumnFill::Way::Plain;
        return fill;
    }
    if (!integerKind) return fill;
    if (signal.ReadsAsDecimal()) {
        // (decimals of BCD digits: the codec's physical value)
    } else if (code != 'd') {
        fill.way = signal.byteArray ? ColumnFill::Way::Raw : ColumnFill::Way::Integer;
    } else if (signal.byteArray) {
        // (a byte array too long for an integer column: the codec's physical value)
    } else if (signal.RoundScale() != 0.0 && signal.RoundScale() == kTens[fill.decimals]) {
        fill.way = ColumnFill::Way::Decimal;
    } else if (signal.IntegerPhysical() && (fill.multiplexed || fill.isSigned)) {
        // Integer scaling of a signed or multiplexed field: the decimal loop with no decimals
        // (its sums are integers below 2^51, exact doubles, as PhysicalDouble gives them).
        fill.decimals = 0;
        fill.way = ColumnFill::Way::Decimal;
    } else if (!fill.multiplexed && !fill.isSigned && signal.IntegerPhysical() &&
               signal.layout.Length() <= 32 && std::fabs(signal.factor) <= 1048576.0 &&
               std::fabs(signal.offset) <= 4503599627370496.0) {
        // (Integer scaling takes this way only where doubles hold every step exactly.)
        fill.way = ColumnFill::Way::Linear;
    }
    return fill;
}

bool ReadsCodec(const LogColumnLayout& layout) {
    if (layout.container || (layout.switchIndex >= 0 && !layout.switchLoad.Fast())) return true;
    return std::any_of(layout.fills.begin(), layout.fills.end(), [](const ColumnFill& fill) {
        if (fill.way == ColumnFill::Way::Codec) return true;
        if (fill.way != ColumnFill::Way::Decimal) return false;
        // The largest term of the field is 2^length x |factor| (exact in doubles).
        const double largest =
            std::ldexp(std::fabs(fill.factor), static_cast<int>(fill.load.Length()));
        return !qm::codec::RoundsBack(largest, fill.offset, kTens[fill.decimals]);
    });
}

void FillColumn(const qm::codec::FrameCodec* codec, size_t index, const ColumnFill& fill,
                const PaddedRecords& records, void* target) {
    const size_t count = records.count;
    const uint8_t* at = records.data;
    const size_t stride = records.stride;
    const qm::codec::FieldLoad load = fill.load;
    auto* doubles = static_cast<double*>(target);
    auto* integers = static_cast<uint64_t*>(target);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    switch (fill.way) {
        case ColumnFill::Way::Codec:
            if (fill.code == 'd') {
                CodecDoubles(*codec, index, records, doubles);
            } else {
                CodecIntegers(codec->signals[index], records, integers);
            }
            break;
        case ColumnFill::Way::Decimal: {
            // As PhysicalDouble works it out: scale, and round back to the decimals of factor
            // and offset where the double product keeps them; PhysicalDouble for the rest.
            const double factor = fill.factor;
            const double offset = fill.offset;
            const double round = kTens[fill.decimals];
            const bool isSigned = fill.isSigned;
            const uint32_t length = load.Length();
            FieldDoubles(fill, records, doubles, [&](uint64_t raw) {
                const double term =
                    (isSigned ? static_cast<double>(qm::codec::SignExtend(raw, length))
                              : static_cast<double>(raw)) *
                    factor;
                double value;
                if (!qm::codec::RoundedBack(term, offset, round, value)) {
                    value = codec->signals[index].PhysicalDouble(raw);
                }
                return value;
            });
            break;
        }
        case ColumnFill::Way::Plain: {
            const auto kind = static_cast<qm::codec::ValueKind>(fill.kind);
            const uint32_t length = load.Length();
            const double factor = fill.factor;
            const double offset = fill.offset;
            FieldDoubles(fill, records, doubles, [&](uint64_t raw) {
                return qm::codec::ValueOfKind(kind, raw, length) * factor + offset;
            });
            break;
        }
        case ColumnFill::Way::Linear:
            for (size_t f = 0; f < count; ++f, at += stride) {
                doubles[f] = static_cast<double>(load.ExtractFast(at)) * fill.factor + fill.offset;
            }
            break;
        case ColumnFill::Way::Integer: {
            // Integer scaling in 64-bit unsigned arithmetic: the bits are right whenever the
            // value fits the column, which ColumnCode made sure of.
            const uint64_t factor = static_cast<uint64_t>(static_cast<int64_t>(fill.factor));
            const uint64_t offset = static_cast<uint64_t>(static_cast<int64_t>(fill.offset));
            const uint32_t length = load.Length();
            if (fill.isSigned) {
                for (size_t f = 0; f < count; ++f, at += stride) {
                    const int64_t value = qm::codec::SignExtend(load.ExtractFast(at), length);
                    integers[f] = static_cast<uint64_t>(value) * factor + offset;
                }
            } else {
                for (size_t f = 0; f < count; ++f, at += stride) {
                    integers[f] = load.ExtractFast(at) * factor + offset;
                }
            }
            break;
        }
        case ColumnFill::Way::Raw:
            for (size_t f = 0; f < count; ++f, at += stride) integers[f] = load.ExtractFast(at);
            break;
    }
    if (records.sizes) {
        // A payload too short for the field: NaN, or 0 in an integer column.
        // Every way but the codec's own loads the field in one go (its end as the layout's).
        const bool fitsByLoad = fill.way != ColumnFill::Way::Codec;
        for (size_t f = 0; f < count; ++f) {
            if (fitsByLoad ? load.FitsIn(records.sizes[f])
                           : codec->signals[index].layout.FitsIn(records.sizes[f]))
                continue;
            if (fill.code == 'd') {
                doubles[f] = nan;
            } else {
                integers[f] = 0;
            }
        }
    }
}

void FillDoubles(const qm::codec::FrameCodec& codec, size_t index, const PaddedRecords& records,
                 double* out) {
    FillColumn(&codec, index, ColumnFillOf(codec, index, 'd'), records, out);
}

void FillContainerColumns(const qm::codec::FrameCodec& codec, const PaddedRecords& records,
                          double* const* columns) {
    const auto& signals = codec.signals;
    const size_t payloadBytes = RecordPayloadBytes(codec);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const uint8_t* at = records.data;
    for (size_t f = 0; f < records.count; ++f, at += records.stride) {
        for (size_t i = 0; i < signals.size(); ++i) columns[i][f] = nan;
        const size_t size = records.sizes ? records.sizes[f] : payloadBytes;
        codec.Decode(at, std::min(size, payloadBytes), [&](size_t i, uint64_t raw) {
            columns[i][f] = signals[i].PhysicalDouble(raw);
        });
    }
}

ByteView::ByteView(const py::handle& object) {
    if (PyObject_GetBuffer(object.ptr(), &view_, PyBUF_SIMPLE) != 0) {
        PyErr_Clear();
        throw py::type_error("a payload must be bytes-like (bytes, bytearray, memoryview)");
    }
}

ByteView::~ByteView() {
    PyBuffer_Release(&view_);
}

std::vector<py::object> SignalKeys(const qm::codec::FrameCodec& codec, const TextRule& text) {
    std::vector<py::object> keys;
    std::unordered_map<std::string, int> seen;
    keys.reserve(codec.signals.size());
    for (const SignalCodec& signal : codec.signals) {
        const int count = ++seen[signal.name];
        std::string key = signal.name;
        if (count > 1) key += "#" + std::to_string(count);
        keys.push_back(text(key.c_str()));
    }
    return keys;
}

FramePlan::FramePlan(std::unique_ptr<qm::codec::FrameCodec> frame, const TextRule& text)
    : codec(std::move(frame)), rule_(text) {
    name = text(codec->name.c_str());
    id = codec->Key();
    size = codec->size;
    keys = SignalKeys(*codec, text);
}

const std::vector<py::object>& FramePlan::TextsOf(size_t index) const {
    // Signal by signal: a log's values meet the texts of few of a frame's signals.
    std::vector<py::object>& texts = texts_[index];
    const auto& entries = codec->signals[index].texts;
    if (texts.size() != entries.size()) {
        texts.reserve(entries.size());
        for (const auto& entry : entries) texts.push_back(rule_(entry.text.c_str()));
    }
    return texts;
}

int FramePlan::IndexOfKey(const py::handle& key) const {
    if (indexOfKey_.empty()) {
        for (size_t i = 0; i < keys.size(); ++i)
            indexOfKey_.emplace(keys[i].cast<std::string>(), static_cast<int>(i));
    }
    if (!PyUnicode_Check(key.ptr())) return -1;
    Py_ssize_t length = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(key.ptr(), &length);
    if (utf8 == nullptr) {
        PyErr_Clear();
        return -1;
    }
    const auto found = indexOfKey_.find(std::string(utf8, static_cast<size_t>(length)));
    return found == indexOfKey_.end() ? -1 : found->second;
}

PyObject* FramePlan::Value(size_t index, uint64_t raw, bool choices) const {
    const SignalCodec& signal = codec->signals[index];
    // An ASCII array's text stands where a value's name would (bytes without choices).
    if (choices && signal.ReadsAsText()) {
        const std::string text = signal.ArrayText(raw);
        return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
    }
    uint64_t digits = 0;
    if (signal.ReadsAsDecimal() && signal.BcdValue(raw, digits)) {
        return PyLong_FromUnsignedLongLong(digits);
    }
    if (signal.byteArray) {
        const size_t count = std::min<size_t>((signal.layout.Length() + 7) / 8, 8);
        uint8_t bytes[8] = {};
        for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(raw >> (8 * i));
        return PyBytes_FromStringAndSize(reinterpret_cast<const char*>(bytes),
                                         static_cast<Py_ssize_t>(count));
    }
    if (choices && !signal.texts.empty()) {
        const int text = signal.TextIndex(raw);
        if (text >= 0) return TextsOf(index)[static_cast<size_t>(text)].inc_ref().ptr();
    }
    const Physical physical = signal.PhysicalOf(raw);
    switch (physical.type) {
        case Physical::Type::Integer:
            return PyLong_FromLongLong(physical.integer);
        case Physical::Type::Unsigned:
            return PyLong_FromUnsignedLongLong(physical.natural);
        case Physical::Type::Wide: {
            std::string digits;
            physical.AppendTo(digits);
            return PyLong_FromString(digits.c_str(), nullptr, 10);
        }
        case Physical::Type::Double:
            break;
    }
    return PyFloat_FromDouble(physical.real);
}

py::dict FramePlan::Decode(const uint8_t* payload, size_t length, bool choices) const {
    auto result = py::reinterpret_steal<py::dict>(
        _PyDict_NewPresized(static_cast<Py_ssize_t>(codec->signals.size())));
    if (!result) throw py::error_already_set();
    codec->Decode(payload, length, [&](size_t index, uint64_t raw) {
        PyObject* value = Value(index, raw, choices);
        if (!value) throw py::error_already_set();
        const int failed = PyDict_SetItem(result.ptr(), keys[index].ptr(), value);
        Py_DECREF(value);
        if (failed) throw py::error_already_set();
    });
    return result;
}

py::dict FramePlan::DecodeMany(const py::handle& payloads, size_t stride) const {
    // Every payload is copied into a zeroed record with room for a 64-bit load past each field;
    // then each signal runs down all records in one tight loop. The records live in a scratch
    // buffer kept by the thread, so that repeated calls do not fault in fresh memory.
    thread_local std::vector<uint8_t> records;
    const size_t fieldEnd = RecordPayloadBytes(*codec);
    const size_t record = PaddedStride(*codec);
    size_t count = 0;
    // A container's payloads are read by their lengths (its records hold them as sent).
    std::vector<uint8_t> sizes;
    auto place = [&](size_t index, const uint8_t* bytes, size_t length) {
        if (codec->container) {
            if (sizes.size() <= index) sizes.resize(index + 1);
            sizes[index] = static_cast<uint8_t>(std::min<size_t>({length, fieldEnd, 255}));
        }
        uint8_t* target = records.data() + index * record;
        const size_t copied = std::min(length, fieldEnd);
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

    const auto& signals = codec->signals;
    const int switchIndex = codec->SwitchIndex();
    std::vector<int64_t> selected;
    if (switchIndex >= 0) {
        const qm::codec::BitLayout& field = signals[static_cast<size_t>(switchIndex)].layout;
        selected.resize(count);
        for (size_t f = 0; f < count; ++f) {
            selected[f] = static_cast<int64_t>(field.ExtractPadded(records.data() + f * record));
        }
    }

    // Each column is an array('d') written in place through its buffer.
    py::object array = py::module_::import("array").attr("array");
    py::object one = array("d", py::make_tuple(0.0));
    py::dict result;
    const PaddedRecords padded{records.data(), record, count,
                               selected.empty() ? nullptr : selected.data(),
                               sizes.empty() ? nullptr : sizes.data()};
    std::vector<double*> containerColumns;
    for (size_t index = 0; index < signals.size(); ++index) {
        py::object column = one * py::int_(count);
        Py_buffer view{};
        if (PyObject_GetBuffer(column.ptr(), &view, PyBUF_WRITABLE) != 0)
            throw py::error_already_set();
        // The array keeps its buffer while the result holds it (array('d') never moves it
        // unless resized).
        if (codec->container) {
            containerColumns.push_back(static_cast<double*>(view.buf));
        } else {
            FillDoubles(*codec, index, padded, static_cast<double*>(view.buf));
        }
        PyBuffer_Release(&view);
        result[keys[index]] = column;
    }
    if (codec->container) FillContainerColumns(*codec, padded, containerColumns.data());
    return result;
}

namespace {

// A Python int of up to 128 bits: a decode gives the physical values of 64-bit fields scaled
// by integers in full (2^64 - 1 times 3), and an encode takes them back. False beyond.
bool WideIntegerOf(const py::handle& value, __int128& wide) {
    const auto number = py::reinterpret_borrow<py::int_>(value);
    const py::object high = number >> py::int_(64);
    int overflow = 0;
    const long long top = PyLong_AsLongLongAndOverflow(high.ptr(), &overflow);
    if (overflow != 0) return false;
    if (top == -1 && PyErr_Occurred()) throw py::error_already_set();
    const py::object low = number & py::int_(~0ull);
    const unsigned long long bottom = PyLong_AsUnsignedLongLong(low.ptr());
    if (PyErr_Occurred()) throw py::error_already_set();
    wide = static_cast<__int128>(static_cast<unsigned __int128>(static_cast<__int128>(top)) << 64 |
                                 bottom);
    return true;
}

}  // namespace

uint64_t FramePlan::RawFor(size_t index, const py::handle& value, bool checkRange) const {
    const SignalCodec& signal = codec->signals[index];
    if (PyUnicode_Check(value.ptr()) && signal.ReadsAsText())
        return signal.RawForText(value.cast<std::string>());
    if (PyUnicode_Check(value.ptr())) {
        const std::vector<py::object>& texts = TextsOf(index);
        for (size_t t = 0; t < texts.size(); ++t) {
            if (texts[t].equal(value)) return signal.CheckedRaw(signal.texts[t].low);
        }
        throw CodecError("signal '" + signal.name + "': no value is named '" +
                         value.cast<std::string>() + "'");
    }
    if (signal.byteArray && PyObject_CheckBuffer(value.ptr())) {
        ByteView bytes(value);
        if (bytes.size() * 8 > signal.layout.Length() || bytes.size() > 8) {
            throw CodecError("signal '" + signal.name + "': " + std::to_string(bytes.size()) +
                             " bytes do not fit " + std::to_string(signal.layout.Length()) +
                             " bits");
        }
        uint64_t raw = 0;
        for (size_t i = 0; i < bytes.size(); ++i) raw |= uint64_t{bytes.data()[i]} << (8 * i);
        return raw;
    }
    if (PyLong_Check(value.ptr())) {
        int overflow = 0;
        const long long small = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
        if (overflow == 0) {
            if (small == -1 && PyErr_Occurred()) throw py::error_already_set();
            return signal.RawForInteger(small, checkRange);
        }
        __int128 wide = 0;
        if (!WideIntegerOf(value, wide)) {
            throw CodecError("signal '" + signal.name + "': the number is too large");
        }
        return signal.RawForInteger(wide, checkRange);
    }
    PyObject* number = PyNumber_Float(value.ptr());
    if (!number) {
        PyErr_Clear();
        throw CodecError("signal '" + signal.name + "': a number or a value name is needed, not " +
                         std::string(Py_TYPE(value.ptr())->tp_name));
    }
    const double converted = PyFloat_AS_DOUBLE(number);
    Py_DECREF(number);
    return signal.RawForPhysical(converted, checkRange);
}

py::bytes FramePlan::Encode(const py::dict& values, bool strict) const {
    std::vector<std::optional<uint64_t>> raws(codec->signals.size());
    try {
        for (auto item : values) {
            const int index = IndexOfKey(item.first);
            if (index < 0) {
                if (!strict) continue;
                throw py::value_error("'" + py::str(item.first).cast<std::string>() +
                                      "' is no signal of '" + py::str(name).cast<std::string>() +
                                      "'");
            }
            raws[static_cast<size_t>(index)] =
                RawFor(static_cast<size_t>(index), item.second, strict);
        }
        const std::vector<uint8_t> payload = codec->Encode(raws, strict);
        return py::bytes(reinterpret_cast<const char*>(payload.data()), payload.size());
    } catch (const CodecError& error) {
        throw py::value_error(error.what());
    }
}

}  // namespace qmpy
