#pragma once
// Seeded generator of large DBC files laid out the way CANdb++ writes them: nodes, value tables,
// messages (standard and extended) with plain and multiplexed signals of both byte orders,
// further transmitters, environment variables, comments on every object kind, attribute
// definitions of every type with defaults, attribute values on every object kind, relation
// attributes, value descriptions, extended value types and signal groups.
#include <cstddef>
#include <cstdint>
#include <string>

namespace qm::bench {

struct DbcFigures {
    size_t bytes = 0;
    size_t nodes = 0;
    size_t messages = 0;
    size_t signals = 0;
};

// A DBC text of roughly targetBytes holding the given number of messages, each with
// signalsPerMessage signals; the same seed gives the same text.
std::string GenerateDbc(size_t targetBytes, size_t messages, size_t signalsPerMessage,
                        uint32_t seed, DbcFigures* figures);

// The generated text with a few revisions, as a new release of the database would have them: a
// signal renamed, a factor changed, a message resized, a cycle time changed and a message added
// (each made where the generated text has it; GenerateDbc with at least 5001 messages and 8
// signals per message). Returns the number of differences "quillmere diff" reports (the cycle
// time counts twice: as the frame's field and as its GenMsgCycleTime attribute).
size_t ReviseDbc(std::string& text);

}  // namespace qm::bench
