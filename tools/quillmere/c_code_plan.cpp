#include "c_code_plan.h"

#include <algorithm>

#include "c_code_names.h"

namespace qmtool::ccode {

namespace {

using qm::codec::FrameCodec;
using qm::codec::MuxRole;
using qm::codec::SignalCodec;
using qm::codec::ValueKind;

// The names every global thing of the generated files takes, upper-case macros included (C is
// case-sensitive, so both share one scope).
class GlobalNames {
  public:
    void Take(const std::string& name) { scope_.Take(name); }
    // The first of stem, stem_2, ... for which none of stem + suffix is taken; all are taken.
    std::string Stem(const std::string& base, const std::vector<std::string>& suffixes,
                     const std::vector<std::string>& macroSuffixes) {
        for (int n = 1;; ++n) {
            const std::string stem = n == 1 ? base : base + "_" + std::to_string(n);
            const auto taken = [&](const std::vector<std::string>& list, bool upper) {
                return std::any_of(list.begin(), list.end(), [&](const std::string& suffix) {
                    return scope_.Taken((upper ? UpperCase(stem) : stem) + suffix);
                });
            };
            if (taken(suffixes, false) || taken(macroSuffixes, true)) continue;
            for (const std::string& suffix : suffixes) scope_.Take(stem + suffix);
            for (const std::string& suffix : macroSuffixes) scope_.Take(UpperCase(stem) + suffix);
            return stem;
        }
    }

  private:
    CNameScope scope_;
};

const std::vector<std::string> kFrameFunctions = {"_t", "_pack", "_unpack", "_init"};
const std::vector<std::string> kFrameMacros = {"_FRAME_ID", "_LENGTH", "_IS_EXTENDED",
                                               "_CYCLE_TIME_MS"};
const std::vector<std::string> kSignalFunctions = {"_encode", "_decode", "_is_in_range"};

void ChooseType(CSignal& signal) {
    const SignalCodec& codec = *signal.codec;
    if (codec.kind == ValueKind::Float32 || codec.kind == ValueKind::Float64) {
        signal.isFloat = true;
        signal.typeBits = codec.kind == ValueKind::Float32 ? 32 : 64;
        signal.type = codec.kind == ValueKind::Float32 ? "float" : "double";
        return;
    }
    signal.isSigned = codec.kind == ValueKind::Signed;
    const uint32_t length = codec.layout.Length();
    signal.typeBits = length <= 8 ? 8 : length <= 16 ? 16 : length <= 32 ? 32 : 64;
    signal.type = (signal.isSigned ? "int" : "uint") + std::to_string(signal.typeBits) + "_t";
}

// Named values of integer signals that the field can hold, as macros.
void AddChoices(CSignal& signal, GlobalNames& names) {
    const SignalCodec& codec = *signal.codec;
    if (signal.isFloat) return;
    const uint32_t length = std::min<uint32_t>(codec.layout.Length(), 64);
    for (const qm::codec::ValueText& text : codec.texts) {
        if (text.low != text.high || text.text.empty()) continue;
        std::string literal;
        if (signal.isSigned) {
            const auto value = static_cast<int64_t>(text.low);
            const int64_t low = length == 0    ? 0
                                : length >= 64 ? INT64_MIN
                                               : -(int64_t{1} << (length - 1));
            const int64_t high = length == 0    ? 0
                                 : length >= 64 ? INT64_MAX
                                                : (int64_t{1} << (length - 1)) - 1;
            if (value < low || value > high) continue;
            literal = SignedLiteral(value);
        } else {
            if (length < 64 && text.low >> length != 0) continue;
            literal = UnsignedLiteral(text.low);
        }
        std::string word = SnakeCase(text.text);
        if (word.empty()) continue;
        const std::string stem = names.Stem(signal.function + "_" + word, {}, {"_CHOICE"});
        signal.choices.push_back({UpperCase(stem) + "_CHOICE", literal});
    }
}

// Whether a payload can carry both signals: only two signals of one multiplexer switch with
// different values never meet.
bool MayMeet(const SignalCodec& a, const SignalCodec& b) {
    if (a.extendedMux >= 0 || b.extendedMux >= 0) return true;
    return !(a.mux == MuxRole::Multiplexed && b.mux == MuxRole::Multiplexed &&
             a.muxValue != b.muxValue);
}

bool HasOverlaps(const CFrame& frame) {
    std::vector<std::vector<uint8_t>> footprints;
    for (const CSignal& signal : frame.signals) {
        std::vector<uint8_t> bytes(frame.codec->size, 0);
        for (const ByteSegment& piece : signal.segments) {
            bytes[piece.byte] |= static_cast<uint8_t>(((1u << piece.width) - 1) << piece.byteShift);
        }
        footprints.push_back(std::move(bytes));
    }
    for (size_t i = 0; i < footprints.size(); ++i) {
        for (size_t j = i + 1; j < footprints.size(); ++j) {
            if (!MayMeet(*frame.signals[i].codec, *frame.signals[j].codec)) continue;
            for (size_t b = 0; b < footprints[i].size(); ++b) {
                if (footprints[i][b] & footprints[j][b]) return true;
            }
        }
    }
    return false;
}

CFrame PlanFrame(const FrameCodec& codec, const std::string& prefix, GlobalNames& names) {
    CFrame frame;
    frame.codec = &codec;
    std::string word = SnakeCase(codec.name);
    if (word.empty()) word = "frame";
    frame.stem = names.Stem(prefix + "_" + word, kFrameFunctions, kFrameMacros);
    frame.macro = UpperCase(frame.stem);
    CNameScope members;
    for (const SignalCodec& source : codec.signals) {
        CSignal signal;
        signal.codec = &source;
        signal.member = members.Unique(MemberIdentifier(source.name));
        signal.function = names.Stem(frame.stem + "_" + signal.member, kSignalFunctions, {});
        ChooseType(signal);
        signal.fits = source.layout.FitsIn(codec.size);
        signal.segments = SegmentsOf(source.layout, codec.size);
        AddChoices(signal, names);
        frame.signals.push_back(std::move(signal));
    }
    frame.overlapping = HasOverlaps(frame);
    return frame;
}

}  // namespace

std::vector<ByteSegment> SegmentsOf(const qm::codec::BitLayout& layout, size_t frameSize) {
    std::vector<ByteSegment> segments;
    const uint64_t length = layout.Length();
    const uint64_t frameBits = uint64_t{frameSize} * 8;
    // A field is one run of payload bits from either end, so the bits a frame can hold are
    // among its first and its last frameBits bits, however long the field claims to be.
    const auto add = [&](uint32_t i) {
        const size_t bit = layout.PayloadBit(i);
        const auto byte = static_cast<uint32_t>(bit / 8);
        const auto shift = static_cast<uint32_t>(bit % 8);
        if (byte >= frameSize) return;
        if (!segments.empty()) {
            ByteSegment& last = segments.back();
            const bool sameKind = (last.fieldShift >= 64) == (i >= 64);
            if (last.byte == byte && last.byteShift + last.width == shift &&
                last.fieldShift + last.width == i && sameKind) {
                ++last.width;
                return;
            }
        }
        segments.push_back({byte, shift, i, 1});
    };
    const uint64_t head = std::min(length, frameBits);
    for (uint64_t i = 0; i < head; ++i) add(static_cast<uint32_t>(i));
    for (uint64_t i = std::max(head, length > frameBits ? length - frameBits : 0); i < length;
         ++i) {
        add(static_cast<uint32_t>(i));
    }
    return segments;
}

bool CSignal::HasValueBits() const {
    return std::any_of(segments.begin(), segments.end(),
                       [](const ByteSegment& piece) { return piece.fieldShift < 64; });
}

size_t CDatabase::SignalCount() const {
    size_t count = 0;
    for (const CFrame& frame : frames) count += frame.signals.size();
    return count;
}

CDatabase PlanCDatabase(const qm::codec::FrameCatalog& catalog, const std::string& prefix,
                        const std::string& sourceName, const CycleTimeOf& cycleTimeOf) {
    CDatabase database;
    database.prefix = SnakeCase(prefix);
    if (database.prefix.empty()) database.prefix = "db";
    if (database.prefix.front() >= '0' && database.prefix.front() <= '9') {
        database.prefix.insert(0, "db_");
    }
    database.macroPrefix = UpperCase(database.prefix);
    database.sourceName = sourceName;
    GlobalNames names;
    // The header guard and the source file's own helpers.
    names.Take(database.macroPrefix + "_H");
    names.Take(database.prefix + "_round");
    names.Take(database.prefix + "_round_to");
    names.Take(database.prefix + "_unsigned_raw");
    names.Take(database.prefix + "_signed_raw");
    for (size_t i = 0; i < catalog.Count(); ++i) {
        const FrameCodec& codec = catalog.At(i);
        if (codec.container) {
            database.containers.push_back(codec.name);
            continue;
        }
        CFrame frame = PlanFrame(codec, database.prefix, names);
        if (cycleTimeOf) frame.cycleTimeMs = cycleTimeOf(codec);
        database.frames.push_back(std::move(frame));
    }
    return database;
}

}  // namespace qmtool::ccode
