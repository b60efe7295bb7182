#pragma once
// What "generate-c" writes for a database, decided before any text is written: the C names of
// every frame and signal (unique in their scopes), the member type of every signal and the
// payload bytes each signal's bits lie in. The byte pieces are read off the frame codec's own
// bit layout (BitLayout::PayloadBit), so generated code packs exactly as the codec does.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "codec/frame_codec.h"

namespace qmtool::ccode {

// Bits [fieldShift, fieldShift + width) of a field lie in bits [byteShift, byteShift + width) of
// payload byte `byte`. Bits of a field longer than 64 bits above the 64th (fieldShift >= 64)
// carry no value: the codec clears them when it writes the field.
struct ByteSegment {
    uint32_t byte = 0;
    uint32_t byteShift = 0;
    uint32_t fieldShift = 0;
    uint32_t width = 0;
};

// The pieces of a field, least significant first, in the bytes below frameSize (the codec
// neither reads nor writes bytes beyond a frame).
std::vector<ByteSegment> SegmentsOf(const qm::codec::BitLayout& layout, size_t frameSize);

struct CChoice {
    std::string macro;    // <PREFIX>_<FRAME>_<SIGNAL>_<TEXT>_CHOICE
    std::string literal;  // the raw value as a C constant
};

struct CSignal {
    const qm::codec::SignalCodec* codec = nullptr;
    std::string member;    // the struct member
    std::string function;  // <prefix>_<frame>_<signal>: the stem of its helper functions
    std::string type;      // uint8_t ... int64_t, float, double
    unsigned typeBits = 8;
    bool isSigned = false;
    bool isFloat = false;
    // The field lies within the frame: unpack reads it (a field beyond the frame's length is
    // never decoded; pack still writes the bits that lie within).
    bool fits = true;
    std::vector<ByteSegment> segments;
    std::vector<CChoice> choices;
    // Whether some piece carries value bits (fieldShift < 64).
    bool HasValueBits() const;
};

struct CFrame {
    const qm::codec::FrameCodec* codec = nullptr;
    std::string stem;   // <prefix>_<frame>: the stem of its struct and functions
    std::string macro;  // upper-case stem
    std::optional<double> cycleTimeMs;
    std::vector<CSignal> signals;
    // Two signals that a payload may carry together share bits: pack then clears each field
    // before writing it, so that the later signal wins as in the codec.
    bool overlapping = false;
};

struct CDatabase {
    std::string prefix;  // C identifier in front of every global name
    std::string macroPrefix;
    std::string sourceName;  // the description file, for the header comment
    std::vector<CFrame> frames;
    // Frames that send PDUs behind headers: their payloads have no fixed layout for a struct.
    std::vector<std::string> containers;
    size_t SignalCount() const;
};

// The cycle time of a frame in milliseconds, nullopt when not sent cyclically.
using CycleTimeOf = std::function<std::optional<double>(const qm::codec::FrameCodec&)>;

// Plans every frame of a catalog but containers, in catalog order. prefix is made an identifier
// first.
CDatabase PlanCDatabase(const qm::codec::FrameCatalog& catalog, const std::string& prefix,
                        const std::string& sourceName, const CycleTimeOf& cycleTimeOf);

}  // namespace qmtool::ccode
