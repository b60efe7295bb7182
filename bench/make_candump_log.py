#!/usr/bin/env python3
"""Writes a seeded candump log (candump -L form) of random payloads for the frames of a DBC file,
for timing and testing log decoding without recorded data (see bench/README.md).

    make_candump_log.py DB.dbc OUT.log --size 1G [--seed 1] [--channels 4]
    make_candump_log.py DB.dbc OUT.log MEGABYTES [SEED]          (the older form)

Every message is sent cyclically on one channel (can0, can1, ...): its cycle time is the DBC's
"GenMsgCycleTime" when it has one, else one of 10..1000 ms; each send comes a little early or
late (up to 2 % of the cycle), and the log lists the sends of all messages in time order, so
timestamps never decrease. Messages longer than 8 bytes are written as CAN FD frames
("123##0..."). The same database, size, seed and channel count give the same bytes. OUT "-"
writes to standard output."""
import argparse
import heapq
import random
import re
import sys

START_TIME = 1436509052.0
DEFAULT_CYCLES_MS = (10, 20, 50, 100, 200, 500, 1000)
_SIZE = re.compile(r"^\s*(\d+(?:\.\d+)?)\s*([kKmMgGtT]?)[bB]?\s*$")


def parse_size(text):
    """Bytes of a size such as 1G, 200M, 512k or a plain byte count (decimal units)."""
    match = _SIZE.match(text)
    if not match:
        raise argparse.ArgumentTypeError(f"not a size: {text!r} (e.g. 1G, 200M, 4096)")
    scale = {"": 1, "k": 10**3, "m": 10**6, "g": 10**9, "t": 10**12}[match.group(2).lower()]
    return int(float(match.group(1)) * scale)


def frames_of(dbc_path):
    """(identifier text, size, cycle ms or None) of every message with a payload, in file order;
    extended identifiers with eight digits."""
    messages = {}
    cycles = {}
    with open(dbc_path, "rb") as f:
        for line in f:
            m = re.match(rb"\s*BO_\s+(\d+)\s+\S+\s*:\s*(\d+)", line)
            if m:
                messages.setdefault(int(m.group(1)), int(m.group(2)))
                continue
            m = re.match(rb'\s*BA_\s+"GenMsgCycleTime"\s+BO_\s+(\d+)\s+(\d+)', line)
            if m:
                cycles[int(m.group(1))] = int(m.group(2))
    frames = []
    for raw, size in messages.items():
        ident = raw & 0x1FFFFFFF
        if size <= 0 or size > 64 or ident != raw & 0x9FFFFFFF:
            continue  # pseudo-messages (VECTOR__INDEPENDENT_SIG_MSG) and odd sizes
        text = f"{ident:08X}" if raw & 0x80000000 else f"{ident:03X}"
        cycle = cycles.get(raw)
        frames.append((text, size, cycle if cycle else None))
    return frames


class Schedule:
    """The sends of every message in time order."""

    def __init__(self, frames, channels, rng):
        self.rng = rng
        self.heap = []
        self.prefixes = []
        for index, (ident, size, cycle) in enumerate(frames):
            cycle_s = (cycle or rng.choice(DEFAULT_CYCLES_MS)) / 1000.0
            channel = f"can{index % channels}"
            separator = "##0" if size > 8 else "#"
            self.prefixes.append((f") {channel} {ident}{separator}", size, cycle_s))
            self.heap.append((START_TIME + rng.random() * cycle_s, index))
        heapq.heapify(self.heap)

    def lines(self, count):
        """The next count lines as one string."""
        rng = self.rng
        heap = self.heap
        prefixes = self.prefixes
        out = []
        for _ in range(count):
            stamp, index = heap[0]
            prefix, size, cycle = prefixes[index]
            payload = rng.getrandbits(8 * size)
            out.append(f"({stamp:.6f}{prefix}{payload:0{2 * size}X}\n")
            heapq.heapreplace(heap, (stamp + cycle * (0.98 + 0.04 * rng.random()), index))
        return "".join(out)


def write_log(dbc, out, size_bytes, seed=1, channels=1):
    frames = frames_of(dbc)
    if not frames:
        raise SystemExit(f"make_candump_log: no message with a payload in {dbc}")
    schedule = Schedule(frames, max(1, channels), random.Random(seed))
    written = 0
    stream = sys.stdout if out == "-" else open(out, "w", encoding="ascii", newline="\n")
    try:
        while written < size_bytes:
            # Whole batches, then single lines up to the size: the same bytes for the same size.
            text = schedule.lines(1 if size_bytes - written < 1 << 16 else 4096)
            stream.write(text)
            written += len(text)
    finally:
        if stream is not sys.stdout:
            stream.close()
    return written


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("db", help="DBC file whose messages the log sends")
    parser.add_argument("out", help="log file to write, - for standard output")
    parser.add_argument("megabytes", nargs="?", type=float, help="size in MB (older form)")
    parser.add_argument("old_seed", nargs="?", type=int, help=argparse.SUPPRESS)
    parser.add_argument("--size", type=parse_size, help="size of the log: 1G, 200M, 4096 ...")
    parser.add_argument("--seed", type=int, default=None, help="random seed (default 1)")
    parser.add_argument("--channels", type=int, default=None,
                        help="channels the messages are spread over (default 4; 1 in the older form)")
    args = parser.parse_args(argv)
    if args.size is None and args.megabytes is None:
        parser.error("give the size: --size 1G (or MEGABYTES)")
    size = args.size if args.size is not None else int(args.megabytes * 1e6)
    seed = args.seed if args.seed is not None else (args.old_seed if args.old_seed is not None else 1)
    channels = args.channels if args.channels is not None else (4 if args.size is not None else 1)
    write_log(args.db, args.out, size, seed, channels)


if __name__ == "__main__":
    main()
