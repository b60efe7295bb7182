#pragma once
// Seeded generator of large LDF files: a master and many slaves with node attributes, standard
// signals (scalars and byte arrays), diagnostic signals and frames, unconditional, sporadic and
// event-triggered frames, schedule tables with every command kind, encodings of every entry kind
// and their representations.
#include <cstddef>
#include <cstdint>
#include <string>

namespace qm::bench {

struct LdfFigures {
    size_t bytes = 0;
    size_t nodes = 0;
    size_t signals = 0;  // standard and diagnostic
    size_t frames = 0;   // every kind
    size_t tasks = 0;
};

// An LDF text of at least targetBytes; the same seed gives the same text.
std::string GenerateLdf(size_t targetBytes, uint32_t seed, LdfFigures* figures);

}  // namespace qm::bench
