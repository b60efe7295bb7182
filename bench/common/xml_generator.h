#pragma once
// Seeded generator of large ARXML-like documents for the XML benchmarks: nested packages of
// signals, PDUs and frames with short names, references with DEST attributes, UUIDs and the
// indentation that tools write.
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>

namespace qm::bench {

std::string GenerateArxmlLikeDocument(size_t targetBytes, uint32_t seed);

// A UUID attribute (' UUID="8-4-4-4-12 hex digits"') drawn from random, as tools write them.
std::string UuidAttribute(std::mt19937& random);

}  // namespace qm::bench
