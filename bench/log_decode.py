#!/usr/bin/env python3
"""Times `quillmere decode DB --log LOG --jobs N --jsonl|--csv` in fresh processes and prints a
table: frames/s by wall time and by CPU time (user + system), CPU microseconds per frame and
peak resident memory (from wait4, as /usr/bin/time -v reports it). See bench/README.md.

    bench/log_decode.py --tool build/tools/quillmere/quillmere DB.dbc LOG [--jobs 1 2]
                        [--formats jsonl csv] [--runs 3] [--out DIR]

JSON Lines go to /dev/null; CSV tables to a scratch folder (--out, removed after each run), so
the CSV figures include writing the files into the page cache."""
import argparse
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
    if fmt == "csv":
        shutil.rmtree(out_dir, ignore_errors=True)
    return {"wall": wall, "cpu": usage.ru_utime + usage.ru_stime, "user": usage.ru_utime,
            "sys": usage.ru_stime, "peak_mb": usage.ru_maxrss * 1024 / 1e6, "frames": decoded}


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("db")
    parser.add_argument("log")
    parser.add_argument("--tool", default="build/tools/quillmere/quillmere")
    parser.add_argument("--jobs", type=int, nargs="+", default=[1, 2])
    parser.add_argument("--formats", nargs="+", default=["jsonl", "csv"], choices=["jsonl", "csv"])
    parser.add_argument("--runs", type=int, default=1, help="best of N runs (by CPU time)")
    parser.add_argument("--out", default=None, help="scratch folder for the CSV tables")
    args = parser.parse_args()
    out_dir = args.out or os.path.join(tempfile.gettempdir(), f"qm_log_decode_{os.getpid()}")
    size_mb = os.path.getsize(args.log) / 1e6
    db_mb = os.path.getsize(args.db) / 1e6
    print(f"log {args.log}: {size_mb:.0f} MB; database {args.db}: {db_mb:.1f} MB; "
          f"load average {os.getloadavg()[0]:.1f}")
    print("| output | jobs | frames | wall s | frames/s (wall) | CPU s (user+sys) | "
          "CPU µs/frame | frames/s per CPU s | peak MB |")
    print("|---|---|---|---|---|---|---|---|---|")
    for fmt in args.formats:
        for jobs in args.jobs:
            runs = [run_once(args.tool, args.db, args.log, jobs, fmt, out_dir)
                    for _ in range(args.runs)]
            best = min(runs, key=lambda r: r["wall"])
            frames = best["frames"]
            print(f"| {fmt} | {jobs} | {frames:,} | {best['wall']:.2f} | "
                  f"{frames / best['wall'] / 1e6:.2f} M | {best['cpu']:.2f} "
                  f"({best['user']:.2f}+{best['sys']:.2f}) | {best['cpu'] / frames * 1e6:.3f} | "
                  f"{frames / best['cpu'] / 1e6:.2f} M | {best['peak_mb']:.0f} |", flush=True)


if __name__ == "__main__":
    sys.exit(main())
