#pragma once
// DBC file content to a network database.
#include "netconfig/net_database.h"
#include "quillmere/dbc.h"

namespace qm::net {

// Fills an empty database with the nodes, messages and signals of a loaded DBC file. The
// database refers to the file as its source; the caller keeps owning it.
void ConvertDbcFile(INetConfigDbcFile& file, NetDataBase& database);

}  // namespace qm::net
