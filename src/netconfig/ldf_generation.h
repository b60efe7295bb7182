#pragma once
// An LDF file generated from a LIN network database (one that has no LDF source, such as a LIN
// cluster of an ARXML system).
#include <memory>
#include <string>

#include "netconfig/net_database.h"
#include "quillmere/ldf.h"

namespace qm::net {

// The database as LDF text: header, master and slave nodes, signals with publisher and
// subscribers, frames, diagnostic frames, encodings and their representation. docs/API.md lists
// the mapping.
std::string RenderLdfText(NetDataBase& database);

// An LDF file object read from that text; null when the reader refuses it.
std::unique_ptr<INetConfigLdfFile> GenerateLdfFile(NetDataBase& database);

}  // namespace qm::net
