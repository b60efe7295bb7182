#pragma once
// LDF file content to a network database.
#include "netconfig/net_database.h"
#include "quillmere/ldf.h"

namespace qm::net {

// Fills an empty database with the nodes, frames and signals of a loaded LDF file. Unconditional
// frames become messages with their standard signals, diagnostic frames messages with their
// diagnostic signals; sporadic and event-triggered frames carry no signals of their own and are
// left out. The database refers to the file as its source; the caller keeps owning it.
void ConvertLdfFile(INetConfigLdfFile& file, NetDataBase& database);

}  // namespace qm::net
