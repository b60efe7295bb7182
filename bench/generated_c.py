#!/usr/bin/env python3
"""Pack plus unpack speed of the C code that `quillmere generate-c` writes.

Generates the code for a database, compiles it with a small timing program (gcc -O2 by default)
and reports, per frame and over all frames of the database, how many frames one core packs and
unpacks per second of its CPU time (thread CPU time, so that the neighbours of a busy machine do
not count): one round is unpack(payload) then pack(struct) of the same frame, the payload
changing every round, the generated functions called across translation units (no inlining).

    bench/generated_c.py [DB] [--frame NAME] [--tool build/tools/quillmere/quillmere]
                         [--rounds N] [--cflags "-O2"] [--keep DIR]

DB defaults to the largest corpus DBC of ../shared (or the bundled powertrain.dbc).
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


def default_database():
    corpus = os.path.join(os.environ.get("QM_SHARED_DIR", os.path.join(ROOT, "..", "shared")),
                          "corpus", "dbc")
    if os.path.isdir(corpus):
        files = [os.path.join(corpus, f) for f in os.listdir(corpus) if f.endswith(".dbc")]
        if files:
            return max(files, key=os.path.getsize)
    return os.path.join(ROOT, "examples", "powertrain.dbc")


def frames_of(header):
    """(stem, length) of every frame the header declares."""
    lengths = dict(re.findall(r"#define (\w+)_LENGTH \((\d+)u\)", header))
    frames = []
    for stem in re.findall(r"^int (\w+)_pack\(uint8_t \*dst_p", header, re.M):
        frames.append((stem, int(lengths[stem.upper()])))
    return frames


def timing_program(frames, rounds):
    longest = max(length for _, length in frames)
    out = ["#define _POSIX_C_SOURCE 199309L",
           "#include <stdio.h>", "#include <string.h>", "#include <time.h>",
           '#include "db.h"',
           "static uint8_t payload[%d];" % (longest + 1),
           "static double now(void) { struct timespec t; clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t); "
           "return (double)t.tv_sec + (double)t.tv_nsec * 1e-9; }",
           "static unsigned long long sink;"]
    for index, (stem, length) in enumerate(frames):
        out.append("static double frame%d(long rounds) {" % index)
        out.append("    struct %s_t msg; long i; double start;" % stem)
        out.append("    for (i = 0; i < %d; ++i) payload[i] = (uint8_t)(i * 37 + 11);" % length)
        out.append("    start = now();")
        out.append("    for (i = 0; i < rounds; ++i) {")
        out.append("        payload[0] ^= (uint8_t)i;")
        out.append("        %s_unpack(&msg, payload, %du);" % (stem, length))
        out.append("        %s_pack(payload, &msg, %du);" % (stem, length))
        out.append("        sink += payload[%d];" % (length - 1))
        out.append("    }")
        out.append("    return now() - start;")
        out.append("}")
    out.append("int main(void) {")
    out.append("    double total = 0.0, seconds;")
    for index, (stem, _) in enumerate(frames):
        out.append("    seconds = frame%d(%dL);" % (index, rounds))
        out.append("    total += seconds;")
        out.append('    printf("%s %%.1f\\n", %d / seconds / 1e6);' % (stem, rounds))
    out.append('    printf("ALL %%.1f\\n", %d.0 * %d / total / 1e6);' % (rounds, len(frames)))
    out.append('    fprintf(stderr, "(%llu)\\n", sink);')
    out.append("    return 0;")
    out.append("}")
    return "\n".join(out) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("db", nargs="?", default=default_database())
    parser.add_argument("--frame", help="report this frame (a C stem or a frame name) alone")
    parser.add_argument("--tool", default=os.path.join(ROOT, "build", "tools", "quillmere",
                                                       "quillmere"))
    parser.add_argument("--rounds", type=int, default=2000000)
    parser.add_argument("--cflags", default="-O2")
    parser.add_argument("--keep", help="write the code and the program into this folder")
    args = parser.parse_args()

    folder = args.keep or tempfile.mkdtemp(prefix="qm_generated_c_")
    try:
        subprocess.run([args.tool, "generate-c", args.db, "-o", folder, "--prefix", "db"],
                       check=True, stdout=subprocess.DEVNULL)
        with open(os.path.join(folder, "db.h")) as f:
            frames = [frame for frame in frames_of(f.read()) if frame[1] > 0]
        if args.frame:
            with open(os.path.join(folder, "db.h")) as f:
                named = re.findall(r"/\* Frame (.*?) \*/\n#define (\w+)_FRAME_ID", f.read())
            wanted = [macro.lower() for name, macro in named if name == args.frame]
            frames = [frame for frame in frames if frame[0] in [args.frame] + wanted]
            if not frames:
                sys.exit("no frame %s in %s" % (args.frame, args.db))
        with open(os.path.join(folder, "bench.c"), "w") as f:
            f.write(timing_program(frames, args.rounds if args.frame else args.rounds // 20))
        program = os.path.join(folder, "bench")
        subprocess.run(["gcc", "-std=c99"] + args.cflags.split() +
                       ["-I", folder, os.path.join(folder, "db.c"), os.path.join(folder, "bench.c"),
                        "-o", program], check=True)
        result = subprocess.run([program], check=True, stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL, text=True).stdout.split("\n")
        rates = [(line.split()[0], float(line.split()[1])) for line in result if line.strip()]
        overall = rates.pop()[1]
        rates.sort(key=lambda rate: rate[1])
        print("%s: %d frames, gcc %s" % (os.path.basename(args.db), len(frames), args.cflags))
        if len(rates) > 1:
            print("  slowest  %-50s %8.1f M frames/s" % rates[0])
            print("  median   %-50s %8.1f M frames/s" % rates[len(rates) // 2])
            print("  fastest  %-50s %8.1f M frames/s" % rates[-1])
        print("  %s %.1f M frames/s (pack + unpack)" %
              ("all frames, one after another:" if len(rates) > 1 else rates[0][0] + ":", overall))
    finally:
        if not args.keep:
            shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
