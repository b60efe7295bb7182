#!/usr/bin/env python3
"""Writes the hostile PDX seeds of the fuzz target: small archives whose directory lies.

overlapping_entries.pdx: entries whose data overlap (each local header quoted by the data of
the entry before it, all ending in one kernel of zeros); lying_sizes.pdx: members that state
a few hundred bytes and inflate to megabytes; repeated_entry.pdx: one member listed many times.
"""
import struct
import sys
import zlib
from pathlib import Path


def deflated_zeros(mebibytes):
    z = zlib.compressobj(9, zlib.DEFLATED, -15)
    block = z.compress(bytes(1 << 20)) + z.flush(zlib.Z_FULL_FLUSH)
    return block * mebibytes + b"\x03\x00"


def zeros_crc(mebibytes):
    crc = 0
    for _ in range(mebibytes):
        crc = zlib.crc32(bytes(1 << 20), crc)
    return crc


def local_header(name, crc, compressed, size, method=8):
    return struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, method, 0, 0x21, crc, compressed,
                       size, len(name), 0) + name


def archive(body, entries):
    directory = b""
    for name, offset, crc, compressed, size in entries:
        directory += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, 8, 0, 0x21, crc,
                                 compressed, size, len(name), 0, 0, 0, 0, 0, offset) + name
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries), len(directory),
                      len(body), 0)
    return body + directory + end


def overlapping(count=20, kernel=2):
    data, content = deflated_zeros(kernel), bytes(kernel << 20)
    entries = [None] * count
    for i in reversed(range(count)):
        name = b"o%03d.odx" % i
        entries[i] = [name, 0, zlib.crc32(content), len(data), len(content)]
        if i == 0:
            break
        header = local_header(name, *entries[i][2:])
        data = b"\x00" + struct.pack("<HH", len(header), ~len(header) & 0xFFFF) + header + data
        content = header + content
    offset = 0
    for entry in entries:
        entry[1] = offset
        offset += 30 + len(entry[0]) + 5
    body = local_header(entries[0][0], *entries[0][2:]) + data
    return archive(body, [tuple(e) for e in entries])


def lying_sizes(count=3, mebibytes=8):
    data, crc = deflated_zeros(mebibytes), zeros_crc(mebibytes)
    body, entries = b"", []
    for i in range(count):
        name = b"lie%d.odx" % i
        entries.append((name, len(body), crc, len(data), 300))
        body += local_header(name, crc, len(data), 300) + data
    return archive(body, entries)


def repeated(count=200):
    data, crc = deflated_zeros(1), zeros_crc(1)
    body = local_header(b"bomb.odx", crc, len(data), 1 << 20) + data
    return archive(body, [(b"bomb.odx", 0, crc, len(data), 1 << 20)] * count)


if __name__ == "__main__":
    out = Path(sys.argv[1] if len(sys.argv) > 1 else "fuzz/seeds/pdx_reader")
    (out / "overlapping_entries.pdx").write_bytes(overlapping())
    (out / "lying_sizes.pdx").write_bytes(lying_sizes())
    (out / "repeated_entry.pdx").write_bytes(repeated())
