#!/usr/bin/env python3
"""Compares Quillmere's decoding with the common Python tools of the field, when they are installed:
cantools for DBC and ARXML files, ldfparser for LDF files. Not part of `make test`.

For every frame of every file, seeded random payloads are decoded by the Python module
(quillmere.load: tolerant DBC, whole-document ARXML) and, for ARXML, by the tool
(`quillmere decode --json --log`), and by the peer; the values are compared signal by signal
(value texts as texts, numbers with a relative tolerance of 1e-9). The script prints the
agreement counts per format and entry point and the first differences of each file.

usage: scripts/compare_peers.py [--corpus DIR] [--payloads N] [--seed S] [--tool PATH]
                                [--show N]
"""
import argparse
import json
import math
import os
import pathlib
import random
import subprocess
import sys
import tempfile
from collections import Counter

REPO = pathlib.Path(__file__).resolve().parents[1]


def same(a, b):
    """Whether two decoded values agree: texts exactly, numbers within 1e-9 (relative)."""
    if hasattr(a, "name") and not isinstance(a, (int, float, str, bytes)):
        a = str(a)  # cantools NamedSignalValue
    if hasattr(b, "name") and not isinstance(b, (int, float, str, bytes)):
        b = str(b)
    if isinstance(a, str) or isinstance(b, str):
        return str(a) == str(b)
    if isinstance(a, (bytes, bytearray)) or isinstance(b, (bytes, bytearray)):
        return bytes(a) == bytes(b) if isinstance(a, (bytes, bytearray)) and \
            isinstance(b, (bytes, bytearray)) else False
    try:
        fa, fb = float(a), float(b)
    except (TypeError, ValueError, OverflowError):
        return a == b
    if math.isnan(fa) or math.isnan(fb):
        return math.isnan(fa) and math.isnan(fb)
    if isinstance(a, int) and isinstance(b, int):
        return a == b
    return math.isclose(fa, fb, rel_tol=1e-9, abs_tol=1e-12)


class Tally:
    def __init__(self):
        self.counts = Counter()
        self.examples = {}

    def compare(self, entry, where, ours, theirs, show):
        """Compares two dicts of signal values; counts per entry point."""
        for name in sorted(set(ours) | set(theirs)):
            if name not in theirs:
                self.counts[entry, "only quillmere"] += 1
                continue
            if name not in ours:
                self.counts[entry, "only peer"] += 1
                continue
            if same(ours[name], theirs[name]):
                self.counts[entry, "agree"] += 1
            else:
                self.counts[entry, "differ"] += 1
                key = (entry, where[0])
                found = self.examples.setdefault(key, [])
                if len(found) < show:
                    found.append(f"{where[1]}.{name}: quillmere {ours[name]!r}, "
                                 f"peer {theirs[name]!r}")

    def report(self):
        entries = sorted({entry for entry, _ in self.counts})
        for entry in entries:
            parts = [f"{kind} {self.counts[entry, kind]}" for kind in
                     ("agree", "differ", "only quillmere", "only peer")]
            print(f"{entry}: " + ", ".join(parts))
        for (entry, file), lines in sorted(self.examples.items()):
            print(f"\n{entry} {file}:")
            for line in lines:
                print(f"  {line}")


def random_payload(rng, size):
    return bytes(rng.getrandbits(8) for _ in range(size))


def peer_decode(message, data):
    """cantools' decode; the keywords for short and long payloads came with later versions."""
    try:
        return message.decode(data, decode_choices=True, scaling=True, allow_truncated=True,
                              allow_excess=True)
    except TypeError:
        return message.decode(data, decode_choices=True, scaling=True)


def compare_dbc(files, args, tally, quillmere, cantools):
    rng = random.Random(args.seed)
    for path in files:
        try:
            peer = cantools.database.load_file(str(path), strict=False)
        except Exception as error:  # a file the peer refuses is reported, not compared
            print(f"cantools cannot read {path.name}: {error}", file=sys.stderr)
            continue
        ours = quillmere.load(path)
        for message in peer.messages:
            raw_id = message.frame_id | (0x80000000 if message.is_extended_frame else 0)
            for _ in range(args.payloads):
                data = random_payload(rng, message.length)
                try:
                    theirs = peer_decode(message, data)
                except Exception:
                    tally.counts["dbc python", "peer failed"] += 1
                    continue
                try:
                    mine = ours.decode(raw_id, data)
                except KeyError:
                    tally.counts["dbc python", "no such frame"] += 1
                    continue
                tally.compare("dbc python", (path.name, message.name), mine, theirs, args.show)


def tool_decode_log(tool, path, lines):
    with tempfile.NamedTemporaryFile("w", suffix=".log", delete=False) as log:
        log.write("".join(lines))
    try:
        out = subprocess.run([tool, "decode", "--json", "--short-names", str(path), "--log",
                              log.name], capture_output=True, text=True, check=False).stdout
    finally:
        os.unlink(log.name)
    return [json.loads(line) for line in out.splitlines() if line.strip()]


def tool_values(frame):
    return {s["name"]: s.get("valueText", s["physical"]) for s in frame.get("signals", [])}


def compare_arxml(files, args, tally, quillmere, cantools):
    rng = random.Random(args.seed + 1)
    for path in files:
        try:
            peer = cantools.database.load_file(str(path), strict=False)
        except Exception as error:
            print(f"cantools cannot read {path.name}: {error}", file=sys.stderr)
            continue
        config = quillmere.NetworkConfig(path)
        lines, expected = [], []
        for message in peer.messages:
            for _ in range(args.payloads):
                data = random_payload(rng, message.length)
                try:
                    theirs = peer_decode(message, data)
                except Exception:
                    tally.counts["arxml python", "peer failed"] += 1
                    continue
                try:
                    mine = config.decode(message.frame_id, data)  # names differ: frame vs PDU
                    tally.compare("arxml python", (path.name, message.name), mine, theirs,
                                  args.show)
                except KeyError:
                    tally.counts["arxml python", "no such frame"] += 1
                if data and len(data) <= 64:
                    ident = f"{message.frame_id:08X}" if message.is_extended_frame \
                        else f"{message.frame_id:03X}"
                    sep = "##0" if len(data) > 8 else "#"
                    lines.append(f"(0.0) can0 {ident}{sep}{data.hex().upper()}\n")
                    expected.append((message.name, theirs))
        if not lines or not args.tool:
            continue
        frames = tool_decode_log(args.tool, path, lines)
        if len(frames) != len(expected):
            tally.counts["arxml tool", "frame count differs"] += 1
            continue
        for frame, (name, theirs) in zip(frames, expected):
            tally.compare("arxml tool", (path.name, name), tool_values(frame), theirs, args.show)


def compare_ldf(files, args, tally, quillmere, ldfparser):
    rng = random.Random(args.seed + 2)
    for path in files:
        try:
            peer = ldfparser.parse_ldf(str(path))
        except Exception as error:
            print(f"ldfparser cannot read {path.name}: {error}", file=sys.stderr)
            continue
        ours = quillmere.load(path)
        for frame in peer.get_unconditional_frames():
            for _ in range(args.payloads):
                data = random_payload(rng, frame.length)
                try:
                    theirs = frame.decode(data)
                except Exception:
                    tally.counts["ldf python", "peer failed"] += 1
                    continue
                try:
                    mine = ours.decode(frame.name, data)
                except KeyError:
                    tally.counts["ldf python", "no such frame"] += 1
                    continue
                tally.compare("ldf python", (path.name, frame.name), mine, theirs, args.show)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--corpus", type=pathlib.Path, default=REPO.parent / "shared" / "corpus")
    parser.add_argument("--payloads", type=int, default=20)
    parser.add_argument("--seed", type=int, default=20261206)
    parser.add_argument("--show", type=int, default=5, help="differences shown per file")
    parser.add_argument("--tool", default=str(REPO / "build" / "tools" / "quillmere" / "quillmere"))
    parser.add_argument("--python-path", default=str(REPO / "build" / "python"))
    args = parser.parse_args()
    sys.path.insert(0, args.python_path)
    try:
        import quillmere
    except ImportError:
        sys.exit(f"the quillmere module is not built ({args.python_path})")
    if not os.access(args.tool, os.X_OK):
        args.tool = None
    tally = Tally()
    ran = False
    try:
        import cantools
    except ImportError:
        print("cantools is not installed: DBC and ARXML are not compared", file=sys.stderr)
    else:
        ran = True
        compare_dbc(sorted((args.corpus / "dbc").glob("*.dbc")), args, tally, quillmere, cantools)
        compare_arxml(sorted((args.corpus / "arxml").glob("*.arxml")), args, tally, quillmere,
                      cantools)
    try:
        import ldfparser
    except ImportError:
        print("ldfparser is not installed: LDF is not compared", file=sys.stderr)
    else:
        ran = True
        compare_ldf(sorted((args.corpus / "ldf").glob("*.ldf")), args, tally, quillmere,
                    ldfparser)
    if not ran:
        sys.exit("no peer is installed (pip install cantools ldfparser)")
    tally.report()


if __name__ == "__main__":
    main()
