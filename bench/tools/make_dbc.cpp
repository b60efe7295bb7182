// Writes the generated benchmark DBC to a path, so that scripts can generate logs from it and
// time decoding or fresh loads:
//   qm_make_dbc OUT.dbc                          the 50 MB file of bench_dbc: 10,000 messages of
//                                                20 signals, seed 42
//   qm_make_dbc OUT.dbc MB MESSAGES SIGNALS      about MB megabytes (MiB) with that many messages
//                                                of SIGNALS signals each, seed 42
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "common/dbc_generator.h"

int main(int argc, char** argv) {
    if (argc != 2 && argc != 5) {
        std::fprintf(stderr, "usage: %s OUT.dbc [MB MESSAGES SIGNALS_PER_MESSAGE]\n", argv[0]);
        return 2;
    }
    size_t megabytes = 50, messages = 10000, signals = 20;
    if (argc == 5) {
        megabytes = std::strtoul(argv[2], nullptr, 10);
        messages = std::strtoul(argv[3], nullptr, 10);
        signals = std::strtoul(argv[4], nullptr, 10);
        if (megabytes == 0 || messages == 0 || signals == 0) {
            std::fprintf(stderr, "%s: sizes must be positive numbers\n", argv[0]);
            return 2;
        }
    }
    qm::bench::DbcFigures figures;
    const std::string text =
        qm::bench::GenerateDbc(megabytes << 20, messages, signals, 42, &figures);
    std::ofstream out(argv[1], std::ios::binary);
    out << text;
    if (!out.flush()) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("%s: %zu bytes, %zu messages, %zu signals\n", argv[1], figures.bytes,
                figures.messages, figures.signals);
    return 0;
}
