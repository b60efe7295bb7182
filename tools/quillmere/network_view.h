#pragma once
// A format-neutral view of one network database, built from the network model (or a DBC file's
// own model), in which two descriptions of the same bus compare field by field whatever format
// each came from: frames are indexed by identifier and name, signals by name, lists that carry
// no order (receivers, value texts, attributes) are sorted. Texts are views into the model,
// which the view keeps alive; texts the view rewrites live in the view.
#include <algorithm>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
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
    std::string_view text;
    bool operator==(const ValueText&) const = default;
};

// Attribute name and value pairs sorted by name, one per name.
using AttributeMap = std::vector<std::pair<std::string_view, std::string_view>>;
// Sorts the pairs and keeps the last value of a repeated name (as an assignment does).
void SortAttributes(AttributeMap& attributes);

struct SignalView {
    std::string_view name;
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
    std::string_view unit;
    std::vector<std::string_view> receivers;  // sorted
    std::vector<ValueText> valueTexts;        // sorted by raw range
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
    std::string_view name;
    unsigned length = 0;
    std::string_view sender;
    double cycleTimeMs = 0.0;  // 0 when the frame is not sent cyclically
    const char* kind = "";     // "standard", "extended", "unconditional", "diagnostic", "pdu"
    std::vector<SignalView> signals;
    std::vector<uint32_t> signalsByName;  // indexes into signals, sorted by name
    AttributeMap attributes;
};

// Sorts the frame's name index; call after the signals or their names change.
void IndexSignals(FrameView& frame);
// The first signal of that name whose index the predicate accepts.
template <class Accept>
std::optional<size_t> FindSignal(const FrameView& frame, std::string_view name, Accept accept) {
    auto at = std::lower_bound(
        frame.signalsByName.begin(), frame.signalsByName.end(), name,
        [&](uint32_t index, std::string_view key) { return frame.signals[index].name < key; });
    for (; at != frame.signalsByName.end() && frame.signals[*at].name == name; ++at) {
        if (accept(*at)) return *at;
    }
    return std::nullopt;
}

struct NodeView {
    std::string_view name;
    AttributeMap attributes;
};

struct NetworkView {
    std::string name;
    SourceFormat format = SourceFormat::kDbc;
    uint32_t busType = kNetBusUnknown;
    std::vector<FrameView> frames;
    std::unordered_map<uint64_t, size_t> frameByKey;  // FrameKey -> index, first frame wins
    std::unordered_map<std::string_view, size_t> frameByName;
    std::vector<NodeView> nodes;
    std::unordered_map<std::string_view, size_t> nodeByName;
    AttributeMap attributes;
    // The model the texts point into, and the texts the view made itself.
    std::shared_ptr<void> model;
    std::deque<std::string> ownTexts;

    NetworkView() = default;
    NetworkView(NetworkView&&) = default;
    NetworkView& operator=(NetworkView&&) = default;
    NetworkView(const NetworkView&) = delete;
    NetworkView& operator=(const NetworkView&) = delete;

    // Keeps a text the view made and returns a view of it.
    std::string_view Keep(std::string text) { return ownTexts.emplace_back(std::move(text)); }
    // Rebuilds the name indexes of the frames and nodes.
    void IndexNames();
};

// The key that identifies a frame on its bus: the identifier and, on CAN, the addressing.
uint64_t FrameKey(const FrameView& frame);

NetworkView BuildNetworkView(INetDataBase& database, SourceFormat format);
// The same view straight from a DBC file's model (no network model in between); path names
// the database when the file gives no name.
NetworkView BuildDbcView(INetConfigDbcFile& file, const std::string& path);

// A name as a DBC file can hold it: letters, digits and '_', not beginning with a digit (the
// rule of the DBC that convert writes).
std::string DbcIdentifier(std::string_view name);
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
