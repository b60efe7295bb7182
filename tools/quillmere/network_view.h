#pragma once
// A format-neutral view of one network database, built from the network model, in which two
// descriptions of the same bus compare field by field whatever format each came from: frames
// are indexed by identifier and name, signals by name, lists that carry no order (receivers,
// value texts, attributes) are sorted.
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "quillmere/dbc.h"
#include "quillmere/netconfig.h"

namespace qmtool {

// The format a database was read from; it decides which fields the database can express.
enum class SourceFormat { kDbc, kLdf, kArxml };

const char* SourceFormatName(SourceFormat format);

struct ValueText {
    uint64_t rawMin = 0;
    uint64_t rawMax = 0;
    std::string text;
    bool operator==(const ValueText&) const = default;
};

using AttributeMap = std::map<std::string, std::string>;

struct SignalView {
    std::string name;
    // The start bit in DBC numbering: little-endian signals by their least significant bit,
    // big-endian ones by their most significant bit, bit b of byte n being 8n + b. LDF offsets
    // and ARXML start positions are read in the same numbering.
    uint16_t start = 0;
    uint16_t length = 0;
    bool bigEndian = false;
    bool isSigned = false;
    double factor = 1.0;
    double offset = 0.0;
    double minimum = 0.0;
    double maximum = 0.0;
    // LDF signals without a physical encoding have no limits of their own (the model derives
    // them from the size); limits are compared only where both sides state them.
    bool hasLimits = true;
    std::string unit;
    std::vector<std::string> receivers;  // sorted
    std::vector<ValueText> valueTexts;   // sorted by raw range
    // "" when not multiplexed, "M" for a switch, "m<value>" for a multiplexed signal, with
    // " <multiplexer>:<min>-<max>,..." for extended multiplexing.
    std::string multiplexing;
    // LDF: the initial value (a byte array's bytes separated by ','); "" elsewhere.
    std::string initialValue;
    AttributeMap attributes;
};

struct FrameView {
    uint32_t id = 0;
    bool extended = false;
    std::string name;
    unsigned length = 0;
    std::string sender;
    double cycleTimeMs = 0.0;  // 0 when the frame is not sent cyclically
    std::string kind;          // "standard", "extended", "unconditional", "diagnostic"
    std::vector<SignalView> signals;
    std::unordered_map<std::string, size_t> signalByName;
    AttributeMap attributes;
};

struct NodeView {
    std::string name;
    AttributeMap attributes;
};

struct NetworkView {
    std::string name;
    SourceFormat format = SourceFormat::kDbc;
    uint32_t busType = kNetBusUnknown;
    std::vector<FrameView> frames;
    std::unordered_map<uint64_t, size_t> frameByKey;  // FrameKey -> index, first frame wins
    std::unordered_map<std::string, size_t> frameByName;
    std::vector<NodeView> nodes;
    std::unordered_map<std::string, size_t> nodeByName;
    AttributeMap attributes;
};

// The key that identifies a frame on its bus: the identifier and, on CAN, the addressing.
uint64_t FrameKey(const FrameView& frame);

NetworkView BuildNetworkView(INetDataBase& database, SourceFormat format);
// The same view straight from a DBC file's model (no network model in between); path names
// the database when the file gives no name.
NetworkView BuildDbcView(INetConfigDbcFile& file, const std::string& path);

// A name as a DBC file can hold it: letters, digits and '_', not beginning with a digit (the
// rule of the DBC that convert writes).
std::string DbcIdentifier(const std::string& name);
// Every name of the view (nodes, frames, senders, signals, receivers) as DBC identifiers, for
// comparing a description with a DBC made from it.
void UseDbcNames(NetworkView& view);

// A frame without an identifier of its own (an ARXML PDU that no frame carries; its DBC form
// has raw identifier 0xFFFFFFFF).
constexpr uint32_t kNoFrameId = 0xFFFFFFFFu;

// The bits a signal occupies in a payload, in DBC numbering, from its most significant bit to
// its least significant one.
std::vector<unsigned> SignalBits(uint16_t start, uint16_t length, bool bigEndian);

}  // namespace qmtool
