#!/usr/bin/env python3
"""Python module figures beside the C++ ones, on the generated 50 MB DBC of the benchmarks.

Runs the C++ reference (qm_dbc_reference: writes the generated file, times its load and the
library's frame decoding), then loads the same file through the module and decodes the same
message: one frame at a time into a dict, and in batches into array('d') columns.

    PYTHONPATH=build-bench/python python3 bench/python_decode.py --build build-bench

Times are CPU seconds of the working thread (the machine may be shared) and wall seconds.
"""
import argparse
import json
import os
import pathlib
import random
import subprocess
import sys
import tempfile
import time


def timed(action):
    wall, cpu = time.perf_counter(), time.thread_time()
    result = action()
    return result, time.perf_counter() - wall, time.thread_time() - cpu


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default="build-bench", help="build folder with bench/qm_dbc_reference and python/")
    parser.add_argument("--module", help="folder of the built module (default: BUILD/python)")
    parser.add_argument("--frames", type=int, default=200_000, help="frames decoded one at a time")
    parser.add_argument("--batch", type=int, default=1_000_000, help="frames decoded in one batch")
    args = parser.parse_args()

    build = pathlib.Path(args.build).resolve()
    sys.path.insert(0, str(pathlib.Path(args.module).resolve() if args.module else build / "python"))
    import quillmere

    path = pathlib.Path(tempfile.gettempdir()) / "qm_bench_python.dbc"
    reference = json.loads(subprocess.run([str(build / "bench" / "qm_dbc_reference"), str(path)],
                                          check=True, capture_output=True, text=True).stdout)

    # As the C++ reference does: three loads, each model gone before the next, best kept.
    load_wall = load_cpu = float("inf")
    for _ in range(3):
        db, wall, cpu = timed(lambda: quillmere.load(path))
        load_wall, load_cpu = min(load_wall, wall), min(load_cpu, cpu)
        db = None
    db = quillmere.load(path)
    assert len(db) == reference["messages"] and len(db.signals) == reference["signals"], db

    frame_id = reference["frame_id"]
    message = db.message_by_id(frame_id)
    rng = random.Random(7)
    payloads = [rng.randbytes(8) for _ in range(args.frames)]
    decode = db.decode
    _, dict_wall, dict_cpu = timed(lambda: [decode(frame_id, p) for p in payloads])

    batch = [payloads[i % len(payloads)] for i in range(args.batch)]
    columns, many_wall, many_cpu = timed(lambda: db.decode_many(frame_id, batch))
    values = sum(len(c) for c in columns.values())
    buffer = b"".join(batch)
    _, buffer_wall, buffer_cpu = timed(lambda: db.decode_many(frame_id, buffer))

    signals = len(message)
    rows = [
        ("input", f"{reference['bytes'] / 1e6:.1f} MB, {reference['messages']} messages, "
                  f"{reference['signals']} signals; frame 0x{frame_id:X} with {signals} signals", ""),
        ("load (CPU s)", f"{load_cpu:.3f}", f"{reference['load_cpu_seconds']:.3f}"),
        ("load (wall s)", f"{load_wall:.3f}", f"{reference['load_seconds']:.3f}"),
        ("load Python / C++ (CPU)", f"{load_cpu / reference['load_cpu_seconds']:.3f}", "target <= 1.10"),
        ("decode -> dict (frames/s, CPU)", f"{args.frames / dict_cpu:,.0f}",
         f"{reference['decode_frames_per_second']:,.0f}  (target >= 250,000)"),
        ("decode_many list (values/s, CPU)", f"{values / many_cpu:,.0f}",
         f"{reference['decode_values_per_second']:,.0f}  (target >= 20,000,000)"),
        ("decode_many buffer (values/s, CPU)", f"{values / buffer_cpu:,.0f}", ""),
        ("decode -> dict (frames/s, wall)", f"{args.frames / dict_wall:,.0f}", ""),
        ("decode_many list (values/s, wall)", f"{values / many_wall:,.0f}", ""),
    ]
    print(f"{'':38} {'Python':>22}   C++")
    for name, python, cpp in rows:
        print(f"{name:38} {python:>22}   {cpp}")
    os.remove(path)


if __name__ == "__main__":
    main()
