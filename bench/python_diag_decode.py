"""Python ecu.decode speed: messages/s by thread CPU time (steady on a shared machine) and by
wall time, over every request and positive response an ECU encodes from its constants.

    PYTHONPATH=build/python python3 bench/python_diag_decode.py FILE [ECU] [--seconds S]
"""
import argparse
import time

import quillmere


def messages_of(ecu):
    """Requests that encode without values, in the ECU's order."""
    out = []
    for service in ecu.services:
        try:
            out.append(service.encode_request())
        except ValueError:
            continue
    return out


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("path")
    parser.add_argument("ecu", nargs="?")
    parser.add_argument("--seconds", type=float, default=2.0)
    args = parser.parse_args()
    db = quillmere.load(args.path)
    ecus = [e for e in db.ecus if args.ecu in (None, e.name)]
    for ecu in ecus:
        messages = messages_of(ecu)
        if not messages:
            continue
        ecu.decode(messages[0])  # the index is made on the first decode
        count = 0
        wall, cpu = time.perf_counter(), time.thread_time()
        while time.perf_counter() - wall < args.seconds:
            for message in messages:
                ecu.decode(message)
            count += len(messages)
        wall, cpu = time.perf_counter() - wall, time.thread_time() - cpu
        print(f"{ecu.name}: {len(ecu.services)} services, {len(messages)} messages in turn, "
              f"{count / cpu / 1e3:.0f} k/s by CPU, {count / wall / 1e3:.0f} k/s wall")


if __name__ == "__main__":
    main()
