#!/usr/bin/env python3
"""Times `quillmere decode DB --log LOG --jobs N --jsonl|--csv` in fresh processes and prints a
table: frames/s by wall time and by CPU time (user + system), CPU microseconds per frame and
peak resident memory (from wait4, as /usr/bin/time -v reports it). See bench/README.md.

    bench/log_decode.py --tool build/tools/quillmere/quillmere DB.dbc LOG [--jobs 1 2]
                        [--formats jsonl csv] [--runs 3] [--out DIR]

JSON Lines go to /dev/null; CSV tables to a new folder per run under a scratch folder (--out,
removed at the end), so the CSV figures include writing the files into the page cache. The
folders are not removed between runs: an ext4 file system without a journal (this machine's
root) skips inodes deleted in the last minute or more when it makes a file, one by one from
the start of the group, so thousands of files made right after thousands were deleted cost
seconds of system time, and the run after a removal would pay for the one before it.

--peers LINES compares one core's work on the first LINES lines of the log: python-can
(Debian python3-can) reading the log with canmatrix (python3-canmatrix) decoding each frame
with the database (--peer-db: another DBC for canmatrix, e.g. a smaller one of the same shape
when canmatrix loads the large one too slowly), against quillmere's Python log columns
(load_frames, decode_log(columns=True)) and the tool (CSV tables). Each side runs in a fresh
process; frames per CPU second of the decode alone (the database loads are timed apart)."""
import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

_COUNTS = re.compile(r": (\d+) lines, (\d+) frames \((\d+) decoded")


def run_once(tool, db, log, jobs, fmt, out_dir):
    command = [tool, "decode", db, "--log", log, "--jobs", str(jobs)]
    stdout = subprocess.DEVNULL
    if fmt == "csv":
        command += ["--csv", "-o", out_dir]
    else:
        command += ["--jsonl"]
    start = time.perf_counter()
    process = subprocess.Popen(command, stdout=stdout, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(process.pid, 0)
    wall = time.perf_counter() - start
    err = process.stderr.read().decode("utf-8", "replace")
    process.stderr.close()
    if os.waitstatus_to_exitcode(status) != 0:
        raise SystemExit(f"failed: {' '.join(command)}\n{err}")
    match = _COUNTS.search(err)
    decoded = int(match.group(3)) if match else 0
    return {"wall": wall, "cpu": usage.ru_utime + usage.ru_stime, "user": usage.ru_utime,
            "sys": usage.ru_stime, "peak_mb": usage.ru_maxrss * 1024 / 1e6, "frames": decoded}


_PEER = r"""
import contextlib, io, json, logging, sys, time
import can, canmatrix.formats
from canmatrix import ArbitrationId
db, log = sys.argv[1], sys.argv[2]
logging.getLogger("canmatrix").setLevel(logging.ERROR)
cpu = time.process_time()
with contextlib.redirect_stdout(io.StringIO()):  # it prints every line it does not know
    matrix = canmatrix.formats.loadp_flat(db)
load = time.process_time() - cpu
# Reading and decoding are timed apart: canmatrix knows only some of the frames of a large
# generated database, so its cost per frame is the read per line plus the decode per frame.
cpu = time.process_time()
messages = list(can.CanutilsLogReader(log))
read = time.process_time() - cpu
by_id, decoded, failed = {}, 0, 0
cpu = time.process_time()
for message in messages:
    key = (message.arbitration_id, message.is_extended_id)
    frame = by_id.get(key)
    if frame is None:
        frame = None
        # python-can reads four-digit identifiers as extended; the database may say standard.
        for extended in (key[1], not key[1]):
            try:
                frame = frame or matrix.frame_by_id(ArbitrationId(key[0], extended=extended))
            except Exception:  # an identifier out of the range of that addressing
                pass
        by_id[key] = frame or False
    if frame:
        try:
            values = {n: s.phys_value for n, s in frame.decode(bytes(message.data)).items()}
            decoded += 1
        except Exception:  # a payload shorter than the frame's signals, and the like
            failed += 1
print(json.dumps({"load": load, "read": read, "decode": time.process_time() - cpu,
                  "frames": len(messages), "decoded": decoded, "failed": failed}))
"""

_OURS = r"""
import json, sys, time
import quillmere
db, log = sys.argv[1], sys.argv[2]
cpu = time.process_time()
frames = quillmere.load_frames(db)
load = time.process_time() - cpu
cpu = time.process_time()
columns = frames.decode_log(log, columns=True)
print(json.dumps({"load": load, "cpu": time.process_time() - cpu,
                  "frames": columns.counts["frames"], "decoded": columns.counts["decoded"]}))
"""


def child_json(code, *args):
    result = subprocess.run([sys.executable, "-c", code, *args], capture_output=True, text=True,
                            check=True)
    return json.loads(result.stdout.strip().splitlines()[-1])


def compare_peers(args, out_dir):
    """One core's frames per CPU second on a slice: python-can + canmatrix, our Python columns,
    the tool (its decode: the best run on the slice less the best run on an empty log)."""
    folder = tempfile.mkdtemp(prefix="qm_peers_")
    piece = os.path.join(folder, "slice.log")
    empty = os.path.join(folder, "empty.log")
    with open(args.log, "rb") as source, open(piece, "wb") as target:
        for _ in range(args.peers):
            line = source.readline()
            if not line:
                break
            target.write(line)
    open(empty, "wb").close()
    try:
        peer = child_json(_PEER, args.peer_db or args.db, piece)
        ours = child_json(_OURS, args.db, piece)
        # The decode of a slice is a fraction of the load: the least CPU of a few runs each,
        # or the noise of one run decides the difference.
        def best(log, fmt):
            return min((run_once(args.tool, args.db, log, 1, fmt, out_dir)
                        for _ in range(max(args.runs, 3))), key=lambda run: run["cpu"])

        tools = {fmt: (best(piece, fmt), best(empty, fmt)) for fmt in ("jsonl", "csv")}
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    # canmatrix refuses payloads shorter than its frame (a decode attempted all the same):
    # the decode counts every frame of a message it knows, the read every line.
    attempted = peer["decoded"] + peer["failed"]
    per_frame = peer["read"] / peer["frames"] + peer["decode"] / max(attempted, 1)
    rows = [("python-can + canmatrix (read per line + decode per frame)", peer["frames"],
             per_frame * peer["frames"], peer["load"]),
            ("quillmere Python columns", ours["decoded"], ours["cpu"], ours["load"])]
    for fmt, (run, idle) in tools.items():
        rows.append((f"quillmere tool, {'JSON Lines' if fmt == 'jsonl' else 'CSV tables'} "
                     "(the run less a run on an empty log)", run["frames"],
                     max(run["cpu"] - idle["cpu"], 1e-9), idle["cpu"]))
    base = 1 / per_frame
    print(f"slice: first {args.peers:,} lines ({ours['frames']:,} frames); canmatrix database "
          f"{args.peer_db or args.db}: it knows {attempted:,} of the frames and refused "
          f"{peer['failed']:,} of those (payloads shorter than its frame); python-can read "
          f"{peer['frames']:,} frames in {peer['read']:.2f} CPU s, canmatrix decoded in "
          f"{peer['decode']:.2f} CPU s")
    print("| decoder | frames | CPU s | frames per CPU s | x python-can+canmatrix | "
          "database load CPU s |")
    print("|---|---|---|---|---|---|")
    for name, frames, cpu, load in rows:
        rate = frames / cpu
        ratio = f"{rate / base:.0f}x" if base else "-"
        print(f"| {name} | {frames:,} | {cpu:.3f} | {rate / 1e6:.3f} M | {ratio} | {load:.2f} |")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("db")
    parser.add_argument("log")
    parser.add_argument("--tool", default="build/tools/quillmere/quillmere")
    parser.add_argument("--jobs", type=int, nargs="+", default=[1, 2])
    parser.add_argument("--formats", nargs="+", default=["jsonl", "csv"], choices=["jsonl", "csv"])
    parser.add_argument("--runs", type=int, default=1, help="best of N runs (by CPU time)")
    parser.add_argument("--out", default=None, help="scratch folder for the CSV tables")
    parser.add_argument("--peers", type=int, default=0, metavar="LINES",
                        help="compare with python-can + canmatrix on the first LINES lines")
    parser.add_argument("--peer-db", help="the DBC canmatrix loads (default: DB)")
    args = parser.parse_args()
    scratch = args.out or os.path.join(tempfile.gettempdir(), f"qm_log_decode_{os.getpid()}")
    try:
        run(args, scratch)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


def run(args, scratch):
    size_mb = os.path.getsize(args.log) / 1e6
    db_mb = os.path.getsize(args.db) / 1e6
    print(f"log {args.log}: {size_mb:.0f} MB; database {args.db}: {db_mb:.1f} MB; "
          f"load average {os.getloadavg()[0]:.1f}")
    if args.peers:
        compare_peers(args, os.path.join(scratch, "peers"))
        return
    print("| output | jobs | frames | wall s | frames/s (wall) | CPU s (user+sys) | "
          "CPU µs/frame | frames/s per CPU s | peak MB |")
    print("|---|---|---|---|---|---|---|---|---|")
    for fmt in args.formats:
        for jobs in args.jobs:
            runs = [run_once(args.tool, args.db, args.log, jobs, fmt,
                             os.path.join(scratch, f"{fmt}_{jobs}_{run}"))
                    for run in range(args.runs)]
            best = min(runs, key=lambda r: r["wall"])
            frames = best["frames"]
            print(f"| {fmt} | {jobs} | {frames:,} | {best['wall']:.2f} | "
                  f"{frames / best['wall'] / 1e6:.2f} M | {best['cpu']:.2f} "
                  f"({best['user']:.2f}+{best['sys']:.2f}) | {best['cpu'] / frames * 1e6:.3f} | "
                  f"{frames / best['cpu'] / 1e6:.2f} M | {best['peak_mb']:.0f} |", flush=True)


if __name__ == "__main__":
    sys.exit(main())
