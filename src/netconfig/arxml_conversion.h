#pragma once
// ARXML communication clusters to network databases.
#include <memory>
#include <vector>

#include "netconfig/net_database.h"
#include "quillmere/arxml_com.h"

namespace qm::net {

// One database per cluster of a loaded ARXML file, in cluster order. The databases keep no
// reference to the file.
std::vector<std::unique_ptr<NetDataBase>> ConvertArxmlFile(INetConfigArxmlFile& file);

// The database of one cluster.
std::unique_ptr<NetDataBase> ConvertArxmlCluster(IArxmlCluster& cluster);

}  // namespace qm::net
