#pragma once
// Seeded generator of large CDD files: data types with multilingual value tables, linear
// conversions and identifiers; protocol services for sessions, reading and writing data
// identifiers and routines; templates with shared statics and proxies; and one variant with
// many diagnostic classes of many instances, each naming data objects of the data types.
#include <cstddef>
#include <cstdint>
#include <string>

namespace qm::bench {

struct CddFigures {
    size_t bytes = 0;
    size_t dataTypes = 0;
    size_t instances = 0;  // DIAGINSTs
    size_t services = 0;   // SERVICE elements
};

// A CDD text of at least targetBytes; the same seed gives the same text.
std::string GenerateCdd(size_t targetBytes, uint32_t seed, CddFigures* figures);

}  // namespace qm::bench
