#pragma once
// Seeded generator of SOME/IP service descriptions in the package layout the SOME/IP database
// reads: an ECU package, the "riz" package with service instances (provided and required),
// deployments with fields, events and event groups, standard types and per-service data types
// (nested structures, enumerations, arrays, vectors), an "ara" package and an Ethernet cluster
// with connection bundles and sockets. Every reference resolves.
#include <cstddef>
#include <cstdint>
#include <string>

namespace qm::bench {

struct SomeIpFigures {
    size_t bytes = 0;
    size_t services = 0;
    size_t fields = 0;
    size_t eventGroups = 0;
    size_t structures = 0;
    size_t bundles = 0;
};

// A document of roughly targetBytes; the same seed gives the same document.
std::string GenerateSomeIpDescription(size_t targetBytes, uint32_t seed, SomeIpFigures* figures);

}  // namespace qm::bench
