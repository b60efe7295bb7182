#pragma once
// Network files (DBC, LDF, ARXML) loaded through a network configuration into views, one per
// bus, every text in UTF-8.
#include <optional>
#include <string>
#include <vector>

#include "format.h"
#include "network_view.h"

class NetConfig;

namespace qmtool {

// The readers a network configuration loads with: DBC and LDF tolerantly and ARXML whole, or
// the described readers under --exact.
void UseNetworkReaders(NetConfig& config, const Options& options);

// The network format of a path by its extension; nullopt for any other file.
std::optional<SourceFormat> NetworkFormatOf(const std::string& path);

// DBC is read tolerantly and ARXML whole unless --exact; --cluster keeps only that bus.
// Throws ToolError when the file cannot be read.
std::vector<NetworkView> LoadNetworkViews(const std::string& path, SourceFormat format,
                                          const Options& options);

}  // namespace qmtool
