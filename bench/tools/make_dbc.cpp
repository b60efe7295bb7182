// Writes the generated benchmark DBC (the 50 MB file of bench_dbc: 10,000 messages of 20
// signals, seed 42) to a path, so that scripts can generate logs from it and time decoding:
//   qm_make_dbc OUT.dbc
#include <cstdio>
#include <fstream>
#include <string>

#include "common/dbc_generator.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT.dbc\n", argv[0]);
        return 2;
    }
    qm::bench::DbcFigures figures;
    const std::string text = qm::bench::GenerateDbc(50u << 20, 10000, 20, 42, &figures);
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
