#!/usr/bin/env python3
"""quillmere.dask.decode_logs on a LocalCluster of N worker processes (one thread each): wall
time, CPU seconds of the workers (in all, and for the job: less their own start) and their
peak memory (measured in the workers; the cluster starts before this process loads anything,
so that no worker starts from its memory).

    PYTHONPATH=build/python python3 bench/python_dask.py DB.dbc LOG --workers 1 2 --messages 4

--messages N decodes the N most frequent messages of the log's first 4 MB (0: all).
--ship-codecs yes|no sets decode_logs' ship_codecs (default: its own default, on when messages
are named); "no" has every worker load the database from its path.
--partition-mb gives decode_logs a piece size (default: it chooses).
--count len counts the rows of every message as len(frame) does (a task a partition that
picks and counts, one sum a message); --count partitions makes a delayed len of every
partition (the picks then stay tasks of their own). client_cpu_s is this process's CPU during
the compute: the scheduler's and the client's.
"""
import argparse
import json
import os
import resource
import subprocess
import sys
import time


def peak_mb():
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024


def cpu_seconds():
    times = os.times()
    return times.user + times.system


SHIP = {"auto": None, "yes": True, "no": False}


def run(db, log, workers, partition_size, messages, ship, count):
    import dask
    from distributed import Client, LocalCluster

    with LocalCluster(n_workers=workers, processes=True, threads_per_worker=1, host="127.0.0.1",
                      dashboard_address=None) as cluster, Client(cluster) as client:
        import quillmere
        import quillmere.dask as qdask

        base = client.run(peak_mb)
        started = client.run(cpu_seconds)
        wanted = None
        if messages:
            sample = quillmere.load_frames(db).decode_log(log, columns=True, stop=4_000_000)
            wanted = sorted(sample, key=lambda name: -len(sample[name]["timestamp"]))[:messages]
            del sample
        frames = qdask.decode_logs(db, [log], partition_size=partition_size, frames=wanted,
                                   ship_codecs=SHIP[ship])
        if count == "partitions":
            # A task a partition: the picks stay separate tasks.
            counts = [dask.delayed(len)(part) for frame in frames.values()
                      for part in frame.to_delayed()]
        else:
            # What len(frame) does, for every message in one pass over the log.
            import numpy
            counts = [frame.reduction(len, numpy.sum, token="len", meta=int, split_every=False)
                      for frame in frames.values()]
        wall, own = time.perf_counter(), cpu_seconds()
        rows = int(sum(dask.compute(*counts)))
        wall, own = time.perf_counter() - wall, cpu_seconds() - own
        cpu = client.run(cpu_seconds)
        peak = client.run(peak_mb)
    return {"workers": workers, "messages": len(wanted) if wanted else "all", "ship": ship,
            "count": count,
            "rows": rows,
            "wall_s": round(wall, 2), "worker_cpu_s": sorted(round(v, 2) for v in cpu.values()),
            # What the workers spent on the job: their CPU less what their start took.
            "job_cpu_s": sorted(round(cpu[w] - started[w], 2) for w in cpu),
            # This process: the scheduler's and the client's part of the compute.
            "client_cpu_s": round(own, 2),
            "worker_start_mb": sorted(round(v) for v in base.values()),
            "worker_peak_mb": sorted(round(v) for v in peak.values())}


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("db")
    parser.add_argument("log")
    parser.add_argument("--workers", type=int, nargs="+", default=[1, 2])
    parser.add_argument("--partition-mb", type=float, default=None,
                        help="bytes of log a piece, in MB (default: decode_logs chooses)")
    parser.add_argument("--messages", type=int, default=4)
    parser.add_argument("--ship-codecs", choices=sorted(SHIP), default="auto")
    parser.add_argument("--count", choices=["len", "partitions"], default="len")
    args = parser.parse_args()
    if len(args.workers) == 1:
        size = None if args.partition_mb is None else int(args.partition_mb * 1e6)
        print(json.dumps(run(args.db, args.log, args.workers[0], size,
                             args.messages, args.ship_codecs, args.count)), flush=True)
        return
    # Each cluster from a fresh process: workers would otherwise start from the memory peak
    # this process reached in the run before (they count it as their own).
    results = []
    for n in args.workers:
        size = [] if args.partition_mb is None else ["--partition-mb", str(args.partition_mb)]
        out = subprocess.run([sys.executable, __file__, args.db, args.log, "--workers", str(n),
                              *size, "--messages", str(args.messages),
                              "--ship-codecs", args.ship_codecs, "--count", args.count],
                             capture_output=True, text=True, check=True)
        results.append(json.loads(out.stdout.strip().splitlines()[-1]))
    for result in results:
        print(json.dumps(result), flush=True)
    if len(results) == 2:
        print(json.dumps({"speedup": round(results[0]["wall_s"] / results[1]["wall_s"], 2)}))


if __name__ == "__main__":
    main()
