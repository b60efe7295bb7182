// Writes the two generated 50 MB DBC files that the "diff" row of bench_fresh compares: the
// benchmark DBC and a revision of it that differs in a few places (see ReviseDbc). For timing
// "quillmere diff" by hand or under a profiler:
//   qm_dbc_diff_pair /tmp/a.dbc /tmp/b.dbc && time quillmere diff /tmp/a.dbc /tmp/b.dbc
#include <cstdio>
#include <fstream>
#include <string>

#include "common/dbc_generator.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OLD.dbc NEW.dbc\n", argv[0]);
        return 2;
    }
    std::string text = qm::bench::GenerateDbc(50u << 20, 10000, 20, 42, nullptr);
    std::ofstream(argv[1], std::ios::binary) << text;
    const size_t differences = qm::bench::ReviseDbc(text);
    std::ofstream(argv[2], std::ios::binary) << text;
    std::printf("%s and %s: %zu bytes, %zu differences\n", argv[1], argv[2], text.size(),
                differences);
    return 0;
}
