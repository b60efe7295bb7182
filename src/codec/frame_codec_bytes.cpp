#include "codec/frame_codec_bytes.h"

#include <cstdint>
#include <cstring>
#include <type_traits>

namespace qm::codec {

namespace {

// The first bytes: the form's name and version. A process of another build that reads them
// refuses the bytes instead of misreading them.
constexpr char kTag[] = "QMFC3";
constexpr size_t kTagSize = sizeof(kTag) - 1;

// Bounds of what the builders make: the formats number bits and bytes in 16 bits.
constexpr uint32_t kMaxBit = 0xFFFF;
constexpr uint32_t kMaxFrameSize = 0xFFFF;

// The fewest bytes an item of each list takes (every text empty, every list empty), so that a
// count is checked against the bytes left before anything is allocated for it.
// name, id, extended, size, signal count, container flag
constexpr size_t kMinFrameBytes = 4 + 4 + 1 + 4 + 4 + 1;
constexpr size_t kMinSignalBytes = 1 + 4 + 4            // byte order, start bit, length
                                   + 8 + 8 + 1 + 1 + 1  // factor, offset, kind, mux, byte array
                                   + 4 + 4 + 4 + 4 + 4  // range and text counts, name, unit
                                   + 8 + 8 + 8 + 4      // minimum, maximum, mux value, mux ranges
                                   + 8 + 4;             // default raw, extended multiplexer
constexpr size_t kMinRangeBytes = 8 + 8 + 8 + 8 + 4;
constexpr size_t kMinTextBytes = 8 + 8 + 4;
constexpr size_t kMinMuxRangeBytes = 8 + 8;
constexpr size_t kMinContainedBytes = 4 + 4 + 4 + 4 + 4 + 4;  // name, id, offset, length, signals

class BytesWriter {
  public:
    explicit BytesWriter(std::string& out) : out_(out) {}

    template <class T>
    void Put(T value) {
        static_assert(std::is_arithmetic_v<T>);
        char bytes[sizeof(T)];
        std::memcpy(bytes, &value, sizeof(T));
        out_.append(bytes, sizeof(T));
    }
    void PutText(const std::string& text) {
        Put(static_cast<uint32_t>(text.size()));
        out_.append(text);
    }
    void PutCount(size_t count) { Put(static_cast<uint32_t>(count)); }

  private:
    std::string& out_;
};

class BytesReader {
  public:
    explicit BytesReader(std::string_view bytes) : bytes_(bytes) {}

    template <class T>
    T Get(const char* what) {
        static_assert(std::is_arithmetic_v<T>);
        Need(sizeof(T), what);
        T value;
        std::memcpy(&value, bytes_.data() + at_, sizeof(T));
        at_ += sizeof(T);
        return value;
    }
    std::string GetText(const char* what) {
        const uint32_t size = Get<uint32_t>(what);
        Need(size, what);
        std::string text(bytes_.substr(at_, size));
        at_ += size;
        return text;
    }
    // A list's length, each item taking at least `itemBytes`.
    size_t GetCount(size_t itemBytes, const char* what) {
        const uint32_t count = Get<uint32_t>(what);
        if (count > Left() / itemBytes)
            Fail(std::string(what) + " count " + std::to_string(count) +
                 " is more than the bytes left hold");
        return count;
    }
    uint32_t GetBounded(uint32_t maximum, const char* what) {
        const auto value = Get<uint32_t>(what);
        if (value > maximum)
            Fail(std::string(what) + " " + std::to_string(value) + " is out of range");
        return value;
    }
    template <class Enum>
    Enum GetEnum(Enum last, const char* what) {
        const auto value = Get<uint8_t>(what);
        if (value > static_cast<uint8_t>(last))
            Fail(std::string(what) + " " + std::to_string(value) + " is unknown");
        return static_cast<Enum>(value);
    }
    void ExpectTag() {
        if (bytes_.substr(0, kTagSize) != std::string_view(kTag, kTagSize))
            throw FrameBytesError("frame codec bytes: not of this form or of another version");
        at_ = kTagSize;
    }
    size_t Left() const { return bytes_.size() - at_; }
    [[noreturn]] void Fail(const std::string& what) const {
        throw FrameBytesError("frame codec bytes: " + what + " at byte " + std::to_string(at_));
    }

  private:
    void Need(size_t size, const char* what) const {
        if (size > Left()) Fail(std::string(what) + " cut short");
    }

    std::string_view bytes_;
    size_t at_ = 0;
};

void WriteSignal(BytesWriter& out, const SignalCodec& signal) {
    out.Put(static_cast<uint8_t>(signal.layout.Order()));
    out.Put(signal.layout.StartBit());
    out.Put(signal.layout.Length());
    out.Put(signal.factor);
    out.Put(signal.offset);
    out.Put(static_cast<uint8_t>(signal.kind));
    out.Put(static_cast<uint8_t>(signal.mux));
    // 0: no byte array; else 1 + how its bytes read.
    out.Put(static_cast<uint8_t>(signal.byteArray ? 1 + static_cast<unsigned>(signal.arrayReading)
                                                  : 0));
    out.PutCount(signal.ranges.size());
    for (const ScaledRange& range : signal.ranges) {
        out.Put(range.low);
        out.Put(range.high);
        out.Put(range.factor);
        out.Put(range.offset);
        out.PutText(range.text);
    }
    out.PutCount(signal.texts.size());
    for (const ValueText& text : signal.texts) {
        out.Put(text.low);
        out.Put(text.high);
        out.PutText(text.text);
    }
    out.Put(signal.encodeOnlyTexts);
    out.PutText(signal.name);
    out.PutText(signal.unit);
    out.Put(signal.minimum);
    out.Put(signal.maximum);
    out.Put(signal.muxValue);
    out.PutCount(signal.muxRanges.size());
    for (const MuxRange& range : signal.muxRanges) {
        out.Put(range.minimum);
        out.Put(range.maximum);
    }
    out.Put(signal.defaultRaw);
    out.Put(static_cast<int32_t>(signal.extendedMux));
}

SignalCodec ReadSignal(BytesReader& in) {
    SignalCodec signal;
    const ByteOrder order = in.GetEnum(ByteOrder::BigEndian, "byte order");
    const uint32_t start = in.GetBounded(kMaxBit, "start bit");
    const uint32_t length = in.GetBounded(kMaxBit, "bit length");
    signal.layout = order == ByteOrder::BigEndian ? BitLayout::BigFromMsb(start, length)
                                                  : BitLayout::Little(start, length);
    signal.factor = in.Get<double>("factor");
    signal.offset = in.Get<double>("offset");
    signal.kind = in.GetEnum(ValueKind::Float64, "value kind");
    signal.mux = in.GetEnum(MuxRole::Multiplexed, "multiplex role");
    const uint8_t array =
        in.GetEnum(uint8_t{1 + static_cast<unsigned>(ArrayReading::Ascii)}, "byte array flag");
    signal.byteArray = array != 0;
    if (array != 0) signal.arrayReading = static_cast<ArrayReading>(array - 1);
    signal.ranges.resize(in.GetCount(kMinRangeBytes, "scaled range"));
    for (ScaledRange& range : signal.ranges) {
        range.low = in.Get<uint64_t>("range");
        range.high = in.Get<uint64_t>("range");
        range.factor = in.Get<double>("range factor");
        range.offset = in.Get<double>("range offset");
        range.text = in.GetText("range text");
    }
    signal.texts.resize(in.GetCount(kMinTextBytes, "value text"));
    for (ValueText& text : signal.texts) {
        text.low = in.Get<uint64_t>("value text");
        text.high = in.Get<uint64_t>("value text");
        text.text = in.GetText("value text");
    }
    signal.encodeOnlyTexts =
        in.GetBounded(static_cast<uint32_t>(signal.texts.size()), "texts for encoding only");
    signal.name = in.GetText("signal name");
    signal.unit = in.GetText("unit");
    signal.minimum = in.Get<double>("minimum");
    signal.maximum = in.Get<double>("maximum");
    signal.muxValue = in.Get<int64_t>("multiplex value");
    signal.muxRanges.resize(in.GetCount(kMinMuxRangeBytes, "multiplex range"));
    for (MuxRange& range : signal.muxRanges) {
        range.minimum = in.Get<uint64_t>("multiplex range");
        range.maximum = in.Get<uint64_t>("multiplex range");
    }
    signal.defaultRaw = in.Get<uint64_t>("default value");
    signal.extendedMux = in.Get<int32_t>("multiplexer");
    return signal;
}

// After a frame's signals: 0, or 1 and its container layout.
void WriteContainer(BytesWriter& out, const ContainerLayout* layout) {
    out.Put(static_cast<uint8_t>(layout != nullptr));
    if (layout == nullptr) return;
    out.Put(layout->headerSize);
    out.Put(static_cast<uint8_t>(layout->headerBigEndian));
    out.PutCount(layout->parts.size());
    for (const ContainedLayout& part : layout->parts) {
        out.PutText(part.name);
        out.Put(part.headerId);
        out.Put(part.offset);
        out.Put(part.length);
        out.Put(part.firstSignal);
        out.Put(part.signalCount);
    }
}

std::shared_ptr<const ContainerLayout> ReadContainer(BytesReader& in, size_t signalCount) {
    if (in.GetEnum(uint8_t{1}, "container flag") == 0) return nullptr;
    auto layout = std::make_shared<ContainerLayout>();
    layout->headerSize = in.GetBounded(8, "header size");
    if (layout->headerSize != 4 && layout->headerSize != 8) in.Fail("header size is not 4 or 8");
    layout->headerBigEndian = in.GetEnum(uint8_t{1}, "header byte order") != 0;
    layout->parts.resize(in.GetCount(kMinContainedBytes, "contained PDU"));
    const auto signals = static_cast<uint32_t>(signalCount);
    for (ContainedLayout& part : layout->parts) {
        part.name = in.GetText("contained PDU name");
        part.headerId = in.Get<uint32_t>("header identifier");
        part.offset = in.GetBounded(kMaxFrameSize, "contained PDU offset");
        part.length = in.GetBounded(kMaxFrameSize, "contained PDU length");
        part.firstSignal = in.GetBounded(signals, "contained PDU signal");
        part.signalCount = in.GetBounded(signals - part.firstSignal, "contained PDU signals");
    }
    layout->Prepare(signalCount);
    return layout;
}

}  // namespace

std::string FramesToBytes(const std::vector<const FrameCodec*>& frames) {
    std::string bytes(kTag, kTagSize);
    BytesWriter out(bytes);
    out.PutCount(frames.size());
    for (const FrameCodec* frame : frames) {
        out.PutText(frame->name);
        out.Put(frame->id);
        out.Put(static_cast<uint8_t>(frame->extended));
        out.Put(static_cast<uint32_t>(frame->size));
        out.PutCount(frame->signals.size());
        for (const SignalCodec& signal : frame->signals) WriteSignal(out, signal);
        WriteContainer(out, frame->container.get());
    }
    return bytes;
}

std::vector<std::unique_ptr<FrameCodec>> FramesFromBytes(std::string_view bytes) {
    BytesReader in(bytes);
    in.ExpectTag();
    std::vector<std::unique_ptr<FrameCodec>> frames(in.GetCount(kMinFrameBytes, "frame"));
    for (auto& frame : frames) {
        frame = std::make_unique<FrameCodec>();
        frame->name = in.GetText("frame name");
        frame->id = in.GetBounded(~kExtendedFlag, "identifier");
        frame->extended = in.GetEnum(uint8_t{1}, "extended flag") != 0;
        frame->size = in.GetBounded(kMaxFrameSize, "frame size");
        frame->signals.resize(in.GetCount(kMinSignalBytes, "signal"));
        for (SignalCodec& signal : frame->signals) signal = ReadSignal(in);
        frame->container = ReadContainer(in, frame->signals.size());
        frame->Prepare();
    }
    if (in.Left() != 0) in.Fail(std::to_string(in.Left()) + " bytes left over");
    return frames;
}

}  // namespace qm::codec
