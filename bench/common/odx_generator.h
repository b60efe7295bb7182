#pragma once
// Seeded generator of large ODX document sets: one shared-data document (data object
// properties with text tables and linear scaling, structures, end-of-PDU fields, DTC data
// objects with their DTCs, multiplexers, tables, functional classes and common services),
// base-variant documents that inherit from it, and ECU-variant documents that inherit from a
// base and override part of its services by short name. Each document is its own
// "DIAG-LAYER-CONTAINER" and names the others through DOCREF, as real exports do; the set can
// be written as loose files or packed into a PDX archive.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qm::bench {

struct OdxDocument {
    std::string name;     // file name, "shared.odx-d", "base_0.odx-d", ...
    std::string content;  // the ODX text
};

struct OdxFigures {
    size_t bytes = 0;  // all documents together
    size_t documents = 0;
    size_t variants = 0;  // base and ECU variants, the ECUs a build gives
    size_t services = 0;  // DIAG-SERVICE elements written
    size_t dtcs = 0;
};

// A document set of at least targetBytes in total; the same seed gives the same set.
std::vector<OdxDocument> GenerateOdxSet(size_t targetBytes, uint32_t seed, OdxFigures* figures);

}  // namespace qm::bench
