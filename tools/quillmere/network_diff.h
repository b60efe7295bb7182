#pragma once
// What differs between two network views: nodes, attributes, frames and their signals, each
// difference one entry of a JSON report. Fields that one of the two formats cannot express are
// not compared (see ComparedFields).
#include <cstdint>

#include "format.h"
#include "network_view.h"

namespace qmtool {

// Which of the fields that not every format carries are compared for a pair of formats.
struct ComparedFields {
    bool attributes = false;       // DBC attributes, LDF and ARXML properties: same format only
    bool cycleTime = false;        // DBC and ARXML
    bool multiplexing = false;     // DBC on both sides
    bool valueTextRanges = false;  // value texts over a raw range: not when one side is DBC
    bool initialValue = false;     // LDF on both sides
};

ComparedFields FieldsComparedFor(SourceFormat a, SourceFormat b);

struct NetworkDiff {
    Json report;  // see docs/CLI.md ("diff --json", one database pair)
    uint64_t differences = 0;
};

// a is the old description, b the new one: "added" is in b only, "removed" in a only.
NetworkDiff DiffNetworks(const NetworkView& a, const NetworkView& b);

// The report as lines for people, each difference one line, indented by its owner.
void PrintNetworkDiff(const Json& report, std::ostream& out);

}  // namespace qmtool
