#pragma once
// The network model as JSON, shared by the formats that show network databases (the network
// configuration and the container file).
#include <cstdint>

#include "format.h"
#include "quillmere/netconfig.h"

namespace qmtool {

const char* BusTypeText(uint32_t busType);
// A finite number, or null (JSON has no infinities).
Json Number(double value);
// name, busType, fromArxml and the ECU, message and signal counts.
Json DatabaseSummary(INetDataBase& db);
// The summary with the properties, ECUs and messages with their signals.
Json DatabaseJson(INetDataBase& db);

}  // namespace qmtool
