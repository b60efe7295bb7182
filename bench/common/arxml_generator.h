#pragma once
// Seeded generator of AUTOSAR 4 system descriptions the way real extracts lay them out: CAN,
// CAN FD, LIN and Ethernet clusters with connectors, frame, PDU and signal triggerings; ECUs
// with controllers, ports and PDU groups; PDUs with timing and signal mappings; and for every
// signal its I-signal, system signal, compu method and data constraint. Every reference
// resolves.
#include <cstddef>
#include <cstdint>
#include <string>

namespace qm::bench {

struct ArxmlSystemFigures {
    size_t bytes = 0;
    size_t clusters = 0;
    size_t ecus = 0;
    size_t pdus = 0;
    size_t signals = 0;
    size_t references = 0;
};

// A document of roughly targetBytes; the same seed gives the same document.
std::string GenerateArxmlSystem(size_t targetBytes, uint32_t seed, ArxmlSystemFigures* figures);

}  // namespace qm::bench
