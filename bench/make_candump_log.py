#!/usr/bin/env python3
"""Writes a seeded candump log (candump -L form) of random payloads for the frames of a DBC file,
for timing `quillmere decode DB --log FILE --json` (see bench/README.md).

usage: make_candump_log.py DB.dbc OUT.log MEGABYTES [SEED]"""
import random
import re
import sys


def frames_of(dbc_path):
    """(identifier text, size) of every message, extended ones with eight digits."""
    frames = []
    with open(dbc_path, "rb") as f:
        for line in f:
            m = re.match(rb"BO_\s+(\d+)\s+\S+\s*:\s*(\d+)", line)
            if m:
                raw, size = int(m.group(1)), int(m.group(2))
                if 0 < size <= 8:
                    ident = f"{raw & 0x1FFFFFFF:08X}" if raw & 0x80000000 else f"{raw:03X}"
                    frames.append((ident, size))
    return frames


def main():
    dbc, out, megabytes = sys.argv[1], sys.argv[2], float(sys.argv[3])
    rng = random.Random(int(sys.argv[4]) if len(sys.argv) > 4 else 1)
    frames = frames_of(dbc)
    target = int(megabytes * 1e6)
    written = 0
    stamp = 1436509052.0
    with open(out, "w") as f:
        chunk = []
        while written < target:
            ident, size = rng.choice(frames)
            stamp += 0.000137
            line = f"({stamp:.6f}) can0 {ident}#{rng.getrandbits(8 * size):0{2 * size}X}\n"
            chunk.append(line)
            written += len(line)
            if len(chunk) == 10000:
                f.write("".join(chunk))
                chunk.clear()
        f.write("".join(chunk))


if __name__ == "__main__":
    main()
