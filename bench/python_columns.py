#!/usr/bin/env python3
"""Log columns from Python: decode_log(path, columns=True), in pieces and on a Dask LocalCluster.

Writes (or takes) a DBC and a generated candump log, then reports
  - columns: frames/s of decode_log(columns=True) over the whole log, decoded piece by piece
    (--piece MB a call) so that memory stays flat, and the peak memory of the process;
  - Dask: quillmere.dask.decode_logs on a LocalCluster of 1 and of 2 worker processes (one
    thread each), wall time and speedup, peak memory of the workers;
  - canmatrix (when python3-canmatrix is installed): frames/s of its frame decode on a slice of
    the log against the columns decode of the same slice, CPU seconds of one core each.

    PYTHONPATH=build/python python3 bench/python_columns.py --dbc big.dbc --log-mb 1000
    PYTHONPATH=build-bench/python python3 bench/python_columns.py --build build-bench

Without --dbc the generated 50 MB DBC of the benchmarks is written by BUILD/bench/qm_dbc_reference.
Times are CPU seconds of the process (the machine may be shared) and wall seconds.
"""
import argparse
import json
import os
import pathlib
import resource
import subprocess
import sys
import tempfile
import time

HERE = pathlib.Path(__file__).resolve().parent


def peak_mb():
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024


def make_dbc(build, folder):
    path = folder / "qm_bench_columns.dbc"
    if not path.exists():
        subprocess.run([str(build / "bench" / "qm_dbc_reference"), str(path)], check=True,
                       capture_output=True, text=True)
    return path


def make_log(dbc, megabytes, folder):
    path = folder / f"qm_bench_columns_{megabytes:g}mb.log"
    if not path.exists():
        subprocess.run([sys.executable, str(HERE / "make_candump_log.py"), str(dbc), str(path),
                        str(megabytes), "1"], check=True)
    return path


def columns_in_pieces(db, log, piece_bytes):
    size = os.path.getsize(log)
    frames = values = 0
    wall, cpu = time.perf_counter(), time.process_time()
    for start in range(0, size, piece_bytes):
        columns = db.decode_log(log, columns=True, start=start, stop=min(start + piece_bytes, size))
        for table in columns.values():
            frames += len(table["timestamp"])
            values += len(table["timestamp"]) * (len(table) - 2)
        del columns
    return frames, values, time.perf_counter() - wall, time.process_time() - cpu


def columns_in_chunks(db, log, chunk_frames, every_array=False, by_message=False):
    """With every_array, every array of every chunk is taken (as to_pandas and Dask take
    them), else the timestamps alone. With by_message, the chunks of the busiest messages."""
    frames = values = 0
    wall, cpu = time.perf_counter(), time.process_time()
    # by_message only when asked for, so that builds without it can be timed too.
    for columns in db.decode_log(log, columns=True, chunk_frames=chunk_frames,
                                 **({"by_message": True} if by_message else {})):
        for table in columns.values():
            frames += len(table["timestamp"])
            if every_array:
                values += sum(len(memoryview(column)) for column in table.values()) - \
                    2 * len(table["timestamp"])
            else:
                values += len(table["timestamp"]) * (len(table) - 2)
        del columns
    return frames, values, time.perf_counter() - wall, time.process_time() - cpu


def columns_whole(db, log):
    """The whole log in one call; also the size of the result (its arrays' bytes)."""
    wall, cpu = time.perf_counter(), time.process_time()
    columns = db.decode_log(log, columns=True)
    wall, cpu = time.perf_counter() - wall, time.process_time() - cpu
    frames = sum(len(table["timestamp"]) for table in columns.values())
    values = sum(len(table["timestamp"]) * (len(table) - 2) for table in columns.values())
    result = sum(a.itemsize * len(a) for table in columns.values() for a in table.values())
    return frames, values, wall, cpu, result / 1e6


def dask_run(dbc, log, workers, piece_bytes, frames):
    import dask
    from distributed import Client, LocalCluster

    import quillmere.dask

    with LocalCluster(n_workers=workers, processes=True, threads_per_worker=1, host="127.0.0.1",
                      dashboard_address=None) as cluster, Client(cluster) as client:
        frames = quillmere.dask.decode_logs(dbc, [log], partition_size=piece_bytes, frames=frames)
        # Rows per message: every piece is decoded on a worker, only counts come back.
        counts = [dask.delayed(len)(part) for frame in frames.values() for part in frame.to_delayed()]
        wall = time.perf_counter()
        rows = sum(dask.compute(*counts))
        wall = time.perf_counter() - wall
        worker_peak = client.run(lambda: resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024)
    return rows, wall, max(worker_peak.values())


def canmatrix_slice(dbc, log, lines, folder):
    """(frames, CPU s) of canmatrix decoding the first `lines` lines, and the slice's path."""
    try:
        import canmatrix.formats
        from canmatrix import ArbitrationId
    except ImportError:
        return None
    import logging
    logging.getLogger("canmatrix").setLevel(logging.ERROR)
    piece = folder / "qm_bench_columns_slice.log"
    with open(log, "rb") as source, open(piece, "wb") as target:
        for _ in range(lines):
            line = source.readline()
            if not line:
                break
            target.write(line)
    import contextlib
    import io
    with contextlib.redirect_stdout(io.StringIO()):  # it prints every line it does not know
        matrix = canmatrix.formats.loadp_flat(str(dbc))
    by_id = {}
    decoded = 0
    cpu = time.process_time()
    with open(piece) as f:
        for line in f:
            _, _, frame = line.split()
            ident, _, data = frame.partition("#")
            if data.startswith("#"):  # CAN FD: "##" and one flags digit before the payload
                data = data[2:]
            key = (int(ident, 16), len(ident) == 8)
            found = by_id.get(key)
            if found is None:
                try:
                    found = matrix.frame_by_id(ArbitrationId(key[0], extended=key[1]))
                except Exception:  # an identifier it refuses: no frame for it
                    found = False
                by_id[key] = found
            if found:
                try:
                    values = {name: signal.phys_value for name, signal in found.decode(bytes.fromhex(data)).items()}
                except Exception:  # it fails on some generated signals; such frames count too
                    values = None
                decoded += 1
    return decoded, time.process_time() - cpu, piece


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default="build-bench", help="build folder with bench/qm_dbc_reference")
    parser.add_argument("--dbc", help="the database (default: the generated 50 MB DBC)")
    parser.add_argument("--log", help="a candump log (default: generated from the database)")
    parser.add_argument("--log-mb", type=float, default=200, help="size of the generated log")
    parser.add_argument("--piece-mb", type=float, default=32, help="bytes a decode_log call / Dask partition")
    parser.add_argument("--canmatrix-lines", type=int, default=20000)
    parser.add_argument("--frames-only", action="store_true",
                        help="quillmere.load_frames instead of quillmere.load (DBC)")
    parser.add_argument("--chunk-frames", type=int, default=0,
                        help="decode the log as decode_log(chunk_frames=N) chunks instead of pieces")
    parser.add_argument("--every-array", action="store_true",
                        help="with --chunk-frames: take every array of every chunk (as to_pandas "
                             "does), not the timestamps alone")
    parser.add_argument("--by-message", action="store_true",
                        help="with --chunk-frames: decode_log(by_message=True), chunks of the "
                             "messages with the most frames waiting")
    parser.add_argument("--whole", action="store_true",
                        help="decode the log in one call (peak, result size, peak less result)")
    parser.add_argument("--no-dask", action="store_true")
    parser.add_argument("--dask-frames", type=int, default=16,
                        help="messages the Dask run decodes (the most frequent of the log; 0: all). "
                             "Each message of each piece is a task: hundreds of messages make the "
                             "scheduler the bottleneck")
    parser.add_argument("--folder", default=tempfile.gettempdir(), help="where generated files go")
    args = parser.parse_args()

    import quillmere

    folder = pathlib.Path(args.folder)
    dbc = pathlib.Path(args.dbc) if args.dbc else make_dbc(pathlib.Path(args.build).resolve(), folder)
    log = pathlib.Path(args.log) if args.log else make_log(dbc, args.log_mb, folder)
    piece = int(args.piece_mb * 1e6)

    wall, cpu = time.perf_counter(), time.process_time()
    db = quillmere.load_frames(dbc) if args.frames_only else quillmere.load(dbc)
    load = (time.perf_counter() - wall, time.process_time() - cpu)
    after_load = peak_mb()
    result_mb = None
    if args.whole:
        frames, values, wall, cpu, result_mb = columns_whole(db, log)
    elif args.chunk_frames:
        frames, values, wall, cpu = columns_in_chunks(db, log, args.chunk_frames, args.every_array,
                                                      args.by_message)
    else:
        db.decode_log(log, columns=True, start=0, stop=1_000_000)  # the log's frame plans, once
        frames, values, wall, cpu = columns_in_pieces(db, log, piece)
    columns_peak = peak_mb()  # before the sample below (a whole piece in memory)
    sample = db.decode_log(log, columns=True, start=0, stop=piece)
    busiest = sorted(sample, key=lambda name: -len(sample[name]["timestamp"]))
    del sample
    report = {
        "input": {"dbc": str(dbc), "dbc_mb": round(os.path.getsize(dbc) / 1e6, 1),
                  "log": str(log), "log_mb": round(os.path.getsize(log) / 1e6, 1), "frames": frames,
                  "values": values, "piece_mb": args.piece_mb},
        "load_seconds": {"wall": round(load[0], 3), "cpu": round(load[1], 3)},
        "columns": {"frames_per_second_cpu": round(frames / cpu), "frames_per_second_wall": round(frames / wall),
                    "values_per_second_cpu": round(values / cpu), "seconds_cpu": round(cpu, 3),
                    "seconds_wall": round(wall, 3), "peak_mb_after_load": round(after_load),
                    "peak_mb": round(columns_peak),
                    "form": "whole" if args.whole else f"chunks of {args.chunk_frames} frames" +
                    (", by message" if args.by_message else "") +
                    (", every array taken" if args.every_array else "")
                    if args.chunk_frames else f"pieces of {args.piece_mb} MB",
                    "database": "load_frames" if args.frames_only else "load"},
    }
    if result_mb is not None:
        report["columns"]["result_mb"] = round(result_mb)
        report["columns"]["peak_less_result_mb"] = round(columns_peak - result_mb)
    print(json.dumps(report, indent=1), flush=True)

    peer = canmatrix_slice(dbc, log, args.canmatrix_lines, folder) if args.canmatrix_lines > 0 else None
    if peer and peer[0] == 0:  # canmatrix decoded nothing (it knows none of the identifiers)
        os.remove(peer[2])
        peer = None
    if peer:
        decoded, peer_cpu, slice_path = peer
        cpu = time.process_time()
        ours = db.decode_log(slice_path, columns=True)
        ours_cpu = time.process_time() - cpu
        ours_frames = ours.counts["decoded"]
        report["canmatrix"] = {"lines": args.canmatrix_lines, "frames": decoded,
                               "canmatrix_frames_per_second_cpu": round(decoded / peer_cpu),
                               "columns_frames_per_second_cpu": round(ours_frames / ours_cpu),
                               "columns_whole_log_frames_per_second_cpu": report["columns"]["frames_per_second_cpu"],
                               "per_core_ratio_whole_log": round(report["columns"]["frames_per_second_cpu"] / (decoded / peer_cpu))}
        os.remove(slice_path)
        print(json.dumps({"canmatrix": report["canmatrix"]}, indent=1), flush=True)

    if not args.no_dask:
        wanted = busiest[:args.dask_frames] if args.dask_frames else None
        one = dask_run(dbc, log, 1, piece, wanted)
        two = dask_run(dbc, log, 2, piece, wanted)
        assert one[0] == two[0], (one, two)
        assert wanted or one[0] == frames, (one, frames)
        report["dask"] = {"messages": len(wanted) if wanted else "all", "rows": one[0], "one_worker_wall": round(one[1], 3), "two_workers_wall": round(two[1], 3),
                          "speedup": round(one[1] / two[1], 2), "worker_peak_mb": round(max(one[2], two[2]))}
        print(json.dumps({"dask": report["dask"]}, indent=1), flush=True)


if __name__ == "__main__":
    main()
