#pragma once
// "quillmere monitor DB [--interface can0]": live traffic decoded as it arrives. On a terminal
// a table of the latest value of every signal of every frame seen, redrawn in place; otherwise
// one entry per decoded frame as "decode --log" writes it (JSON Lines with --json).
#include <cstdint>
#include <string>

#include "format.h"

namespace CLI {
class App;
}

namespace qmtool {

struct MonitorOptions {
    std::string interface = "can0";
    int fd = -1;                // read frames from this descriptor instead (tests, other programs)
    uint64_t count = 0;         // stop after this many frames (0: no limit)
    double duration = 0.0;      // stop after this many seconds (0: no limit)
    std::string view = "auto";  // "auto" (a table on a terminal), "table" or "lines"
};

// The command's arguments and options (the common ones are added by the caller).
void AddMonitorOptions(CLI::App& command, std::string& db, MonitorOptions& monitor);

int RunMonitor(const std::string& db, const MonitorOptions& monitor, const Options& options);

}  // namespace qmtool
