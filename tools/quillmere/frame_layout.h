#pragma once
// "dump DB --layout FRAME": the bit layout of one frame of a DBC, LDF or ARXML file drawn as
// engineers draw it, one row per byte with bit 7 on the left, each signal an arrow from its
// least significant bit (x) to its most significant bit (<). Drawn from the bit positions of the
// model; nothing is decoded.
#include <iosfwd>
#include <string>

#include "format.h"
#include "network_view.h"

namespace qmtool {

// The drawing and its legend.
void DrawFrameLayout(const FrameView& frame, std::ostream& out);
// bytes: for each byte the signal names of bits 7..0 (null where no signal is); signals with
// their bits from most to least significant.
Json FrameLayoutJson(const FrameView& frame);

// FRAME is an identifier (decimal or 0x...) or a frame name; throws ToolError when absent.
int RunLayout(const std::string& path, const std::string& frame, const Options& options);

}  // namespace qmtool
