// ARXML PDUs as frame codecs.
//
// Packing: MOST-SIGNIFICANT-BYTE-LAST (little-endian) fields start at their least significant
// bit; MOST-SIGNIFICANT-BYTE-FIRST (big-endian) fields at their most significant bit, counted in
// the sawtooth numbering (the start position of a big-endian signal is the same number a DBC
// file gives). Coding: the base type's encoding makes a signal signed ("2C", "1C", "SM") or an
// IEEE float of 32 or 64 bits ("IEEE754"); without one a signal is unsigned. Compu methods: one
// rational scale gives the signal's factor and offset (LINEAR, and a SCALE_LINEAR of one
// scale); several give a scaled range each, bounded by their limits (SCALE_LINEAR); scales with
// a constant name the values between their limits (TEXTTABLE); both kinds may mix
// (SCALE_LINEAR_AND_TEXTTABLE).
#include <cmath>
#include <cstring>
#include <limits>

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "codec_models/model_codecs.h"

namespace qm::codec {

namespace {

ValueKind KindOf(IArxmlSignal& source) {
    auto* encoding = dynamic_cast<IArxmlSignalEncoding*>(&source);
    if (encoding == nullptr) return ValueKind::Unsigned;
    const char* name = encoding->GetBaseTypeEncoding();
    if (std::strcmp(name, "IEEE754") == 0) {
        if (source.GetBitLength() == 32) return ValueKind::Float32;
        if (source.GetBitLength() == 64) return ValueKind::Float64;
        return ValueKind::Unsigned;
    }
    if (std::strcmp(name, "2C") == 0 || std::strcmp(name, "1C") == 0 ||
        std::strcmp(name, "SM") == 0) {
        return ValueKind::Signed;
    }
    return ValueKind::Unsigned;
}

// A compu limit as a bound of raw values of the signal's domain: lower limits round up, upper
// ones down; infinite limits are the ends of the domain. False when the scale holds no integer.
bool BoundsOf(const ArxmlCompuEntry& entry, const SignalCodec& signal, uint64_t& low,
              uint64_t& high) {
    double lower = std::ceil(entry.lowerLimit);
    double upper = std::floor(entry.upperLimit);
    if (std::isnan(lower) || std::isnan(upper) || lower > upper) return false;
    if (signal.kind == ValueKind::Signed) {
        constexpr double kMin = -9223372036854775808.0;
        constexpr double kMax = 9223372036854775807.0;
        if (upper < kMin || lower > kMax) return false;
        low = lower <= kMin ? static_cast<uint64_t>(std::numeric_limits<int64_t>::min())
                            : static_cast<uint64_t>(static_cast<int64_t>(lower));
        high = upper >= kMax ? static_cast<uint64_t>(std::numeric_limits<int64_t>::max())
                             : static_cast<uint64_t>(static_cast<int64_t>(upper));
        return true;
    }
    constexpr double kMax = 18446744073709551615.0;
    if (upper < 0 || lower > kMax) return false;
    low = lower <= 0 ? 0 : static_cast<uint64_t>(lower);
    high = upper >= kMax ? ~uint64_t{0} : static_cast<uint64_t>(upper);
    return true;
}

void AddCompuMethod(IArxmlSignal& source, SignalCodec& signal) {
    uint64_t rationalCount = 0;
    for (uint64_t i = 0; i < source.GetCompuEntryCount(); ++i) {
        const ArxmlCompuEntry* entry = source.GetCompuEntry(i);
        if (entry && entry->rational) ++rationalCount;
    }
    for (uint64_t i = 0; i < source.GetCompuEntryCount(); ++i) {
        const ArxmlCompuEntry* entry = source.GetCompuEntry(i);
        if (entry == nullptr) continue;
        uint64_t low = 0;
        uint64_t high = 0;
        if (entry->rational) {
            if (rationalCount == 1) {
                signal.factor = entry->factor;
                signal.offset = entry->offset;
            } else if (BoundsOf(*entry, signal, low, high)) {
                signal.ranges.push_back({low, high, entry->factor, entry->offset, ""});
            }
        }
        if (entry->text != nullptr && entry->text[0] != '\0' &&
            BoundsOf(*entry, signal, low, high)) {
            signal.texts.push_back({low, high, entry->text});
        }
    }
}

// The signal's initial value as the raw value an encode writes for a signal left out: the
// value's bits for floats, the integer for other kinds; kept only when the field holds it.
void AddInitValue(IArxmlSignal& source, SignalCodec& signal) {
    auto* encoding = dynamic_cast<IArxmlSignalEncoding*>(&source);
    if (encoding == nullptr || !encoding->HasInitValue()) return;
    const double value = encoding->GetInitValue();
    uint64_t raw = 0;
    if (signal.kind == ValueKind::Float32) {
        const auto single = static_cast<float>(value);
        uint32_t bits;
        std::memcpy(&bits, &single, sizeof bits);
        raw = bits;
    } else if (signal.kind == ValueKind::Float64) {
        std::memcpy(&raw, &value, sizeof raw);
    } else if (value != std::floor(value) || value < -9223372036854775808.0 ||
               value >= 18446744073709551616.0) {
        return;
    } else {
        raw = value < 0 ? static_cast<uint64_t>(static_cast<int64_t>(value))
                        : static_cast<uint64_t>(value);
    }
    try {
        signal.defaultRaw = signal.CheckedRaw(raw);
    } catch (const CodecError&) {
    }
}

SignalCodec SignalOf(IArxmlSignal& source) {
    SignalCodec signal;
    signal.name = source.GetName();
    signal.unit = source.GetUnit();
    signal.layout = source.GetByteOrder() == '0'
                        ? BitLayout::BigFromMsb(source.GetStartPosition(), source.GetBitLength())
                        : BitLayout::Little(source.GetStartPosition(), source.GetBitLength());
    signal.kind = KindOf(source);
    signal.minimum = source.GetMinimum();
    signal.maximum = source.GetMaximum();
    AddCompuMethod(source, signal);
    AddInitValue(source, signal);
    return signal;
}

// The dynamic parts of a multiplexed PDU: the selector field is the switch, each signal of a
// dynamic part is multiplexed by it (as extended multiplexing, so that a container carrying
// several multiplexed PDUs keeps each selector to its own signals).
void AddSelectors(const std::vector<IArxmlSignal*>& sources, FrameCodec& frame) {
    std::unordered_map<const IArxmlSignal*, int> indexOf;
    for (size_t i = 0; i < sources.size(); ++i) {
        auto* multiplexing = dynamic_cast<IArxmlSignalMultiplexing*>(sources[i]);
        if (multiplexing == nullptr) continue;
        if (multiplexing->IsSelector()) frame.signals[i].mux = MuxRole::Switch;
        IArxmlSignal* selector = multiplexing->GetSelector();
        const int64_t code = multiplexing->GetSelectorCode();
        if (selector == nullptr || code < 0) continue;
        if (indexOf.empty()) {
            for (size_t k = 0; k < sources.size(); ++k)
                indexOf.emplace(sources[k], static_cast<int>(k));
        }
        const auto found = indexOf.find(selector);
        if (found == indexOf.end()) continue;
        SignalCodec& signal = frame.signals[i];
        signal.mux = MuxRole::Multiplexed;
        signal.muxValue = code;
        signal.extendedMux = found->second;
        signal.muxRanges = {MuxRange{static_cast<uint64_t>(code), static_cast<uint64_t>(code)}};
    }
}

// A container that sends its contained PDUs behind headers: where each one's signals lie.
void AddContainer(IArxmlPdu& pdu, FrameCodec& frame) {
    auto* source = dynamic_cast<IArxmlContainerPdu*>(&pdu);
    if (source == nullptr || source->GetHeaderSize() == 0 || source->GetContainedPduCount() == 0)
        return;
    auto layout = std::make_shared<ContainerLayout>();
    layout->headerSize = source->GetHeaderSize();
    layout->headerBigEndian = source->IsHeaderBigEndian();
    for (uint64_t i = 0; i < source->GetContainedPduCount(); ++i) {
        layout->parts.push_back({source->GetContainedPduName(i), source->GetContainedHeaderId(i),
                                 source->GetContainedOffset(i), source->GetContainedLength(i),
                                 static_cast<uint32_t>(source->GetContainedFirstSignal(i)),
                                 static_cast<uint32_t>(source->GetContainedSignalCount(i))});
    }
    layout->Prepare(frame.signals.size());
    frame.container = std::move(layout);
}

}  // namespace

std::unique_ptr<FrameCodec> BuildArxmlFrame(IArxmlPdu& pdu) {
    auto frame = std::make_unique<FrameCodec>();
    frame->name = pdu.GetName();
    frame->id = static_cast<uint32_t>(pdu.GetIdentifier()) & ~kExtendedFlag;
    frame->extended = pdu.IsExtendedAddressing();
    frame->size = pdu.GetLength();
    std::vector<IArxmlSignal*> sources;
    for (uint64_t i = 0; i < pdu.GetSignalCount(); ++i) {
        if (IArxmlSignal* signal = pdu.GetSignal(i)) {
            frame->signals.push_back(SignalOf(*signal));
            sources.push_back(signal);
        }
    }
    AddSelectors(sources, *frame);
    AddContainer(pdu, *frame);
    frame->Prepare();
    return frame;
}

namespace {

std::string FrameNameOf(IArxmlPdu& pdu) {
    auto* carried = dynamic_cast<IArxmlPduFrame*>(&pdu);
    return carried == nullptr ? std::string() : std::string(carried->GetFrameName());
}

bool ReadsWholeDocument(INetConfigArxmlFile& file) {
    auto* options = dynamic_cast<INetConfigArxmlFileOptions*>(&file);
    return options != nullptr && options->GetReadingMode() == kArxmlReadWholeDocument;
}

// Which PDUs take the name of the frame that carries them: cantools and canmatrix name a bus's
// messages after their frames, so a PDU does unless it has no frame, another PDU has that name,
// or an earlier PDU already took it (two PDUs of one frame). The PDU's own name stays an alias.
std::vector<bool> TakeFrameNames(const std::vector<std::string>& frames,
                                 INetConfigArxmlFile& file) {
    std::unordered_set<std::string> taken;
    for (uint64_t i = 0; i < file.GetPduCount(); ++i) {
        if (IArxmlPdu* pdu = file.GetPdu(i)) taken.insert(pdu->GetName());
    }
    std::vector<bool> takes;
    takes.reserve(frames.size());
    for (const std::string& frame : frames)
        takes.push_back(!frame.empty() && taken.insert(frame).second);
    return takes;
}

}  // namespace

FrameCatalog BuildArxmlCatalog(INetConfigArxmlFile& file) {
    std::vector<IArxmlPdu*> cataloged;
    for (uint64_t i = 0; i < file.GetPduCount(); ++i) {
        IArxmlPdu* pdu = file.GetPdu(i);
        if (pdu != nullptr && pdu->GetIdentifier() >= 0) cataloged.push_back(pdu);
    }
    std::vector<std::string> frames;
    frames.reserve(cataloged.size());
    for (IArxmlPdu* pdu : cataloged) frames.push_back(FrameNameOf(*pdu));
    const std::vector<bool> takesFrameName = ReadsWholeDocument(file)
                                                 ? TakeFrameNames(frames, file)
                                                 : std::vector<bool>(cataloged.size(), false);
    FrameCatalog catalog;
    // The other name of each codec: first the PDUs' own names where a codec took its frame's,
    // then the frames' names where it kept its PDU's. Both come after every codec's own name,
    // which wins (as in a catalog rebuilt by MoveApart), and a PDU's name over a frame's.
    std::vector<std::pair<std::string, size_t>> pduNames;
    std::vector<std::pair<std::string, size_t>> frameAliases;
    for (size_t index = 0; index < cataloged.size(); ++index) {
        std::unique_ptr<FrameCodec> frame = BuildArxmlFrame(*cataloged[index]);
        if (takesFrameName[index]) {
            pduNames.emplace_back(std::exchange(frame->name, std::move(frames[index])), index);
        } else {
            frameAliases.emplace_back(std::move(frames[index]), index);
        }
        catalog.Add(std::move(frame));
    }
    for (auto* aliases : {&pduNames, &frameAliases}) {
        for (auto& [name, index] : *aliases) {
            if (!name.empty()) catalog.AddAlias(std::move(name), index);
        }
    }
    return catalog;
}

}  // namespace qm::codec
