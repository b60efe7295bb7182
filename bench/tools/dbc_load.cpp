// The warm figure of the DBC reader on any file: loads it N times in this process (freed memory
// and mapped pages are reused from the second load on) and prints the processor time of the
// first and of the best later load, and the peak resident memory.
//   qm_dbc_load FILE.dbc [N]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/peak_memory.h"
#include "common/timing.h"
#include "dbc/netconfig_dbc_file.h"

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: qm_dbc_load FILE.dbc [N]\n");
        return 2;
    }
    const int runs = argc == 3 ? std::max(1, std::atoi(argv[2])) : 20;
    const double megabytes = static_cast<double>(std::filesystem::file_size(argv[1])) / 1e6;
    double first = 0.0, best = 0.0;
    uint64_t signals = 0;
    for (int run = 0; run < runs; ++run) {
        qm::dbc::NetConfigDbcFile file;
        const double start = qm::bench::ThreadCpuSeconds();
        file.Load(argv[1]);
        const double seconds = qm::bench::ThreadCpuSeconds() - start;
        if (run == 0) first = seconds;
        if (run == 1 || (run > 1 && seconds < best)) best = seconds;
        signals = file.GetSignalCount();
    }
    std::printf(
        "%.2f MB, %llu signals: first load %.2f ms cpu, best of %d warm loads %.2f ms cpu "
        "(%.0f MB/s), peak %.1f MB\n",
        megabytes, static_cast<unsigned long long>(signals), first * 1e3, runs - 1, best * 1e3,
        runs > 1 ? megabytes / best : megabytes / first, qm::bench::PeakMegabytes());
    return 0;
}
