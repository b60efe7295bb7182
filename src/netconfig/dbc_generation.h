#pragma once
// A DBC file generated from a CAN network database (one that has no DBC source, such as a
// cluster of an ARXML system).
#include <memory>
#include <string>

#include "netconfig/net_database.h"
#include "quillmere/dbc.h"

namespace qm::net {

// The database as DBC text: nodes, messages with their signals (start bit, size, byte order,
// signedness, factor, offset, limits, unit, receivers), comments, value descriptions and the
// network, message timing attributes. docs/API.md lists the mapping.
std::string RenderDbcText(NetDataBase& database);

// A DBC file object read from that text; null when the reader refuses it.
std::unique_ptr<INetConfigDbcFile> GenerateDbcFile(NetDataBase& database);

}  // namespace qm::net
