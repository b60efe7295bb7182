"""decode_log(path, columns=True): the columns hold what the per-frame decode gives, byte ranges
split a log without losing or doubling a line, and to_pandas turns them into DataFrames."""
import math
import os
import pathlib
import random
import subprocess
import sys

import pytest

from conftest import MUX_DBC, quillmere

# Beside the mixed frames: a 64-bit counter (beyond int64), a signal named like a fixed column,
# a signed integer signal with integer scaling, decimal scalings of fields so wide that the
# double product no longer rounds back to the decimals (the exact decimal decode), and pages of
# integer scalings, a float as it is and a scaled float.
LOG_DBC = MUX_DBC.replace(b"BA_DEF_ SG_", b"""BO_ 768 Wide: 8 A
 SG_ Counter : 0|64@1+ (1,0) [0|0] "" B

BO_ 769 Named: 2 A
 SG_ timestamp : 0|8@1+ (1,0) [0|255] "" B
 SG_ Level : 8|8@1- (2,-3) [0|0] "" B

BO_ 770 Fine: 8 A
 SG_ Energy : 0|53@1+ (0.001,0.5) [0|0] "" B
 SG_ Drift : 53|11@1- (0.25,-1) [0|0] "" B

BO_ 771 Paged: 8 A
 SG_ Sel M : 0|2@1+ (1,0) [0|3] "" B
 SG_ Steps m0 : 8|8@1+ (2,-40) [0|0] "" B
 SG_ Shift m1 : 8|12@1- (3,7) [0|0] "" B
 SG_ Plain m2 : 16|32@1+ (1,0) [0|0] "" B
 SG_ Scaled m1 : 32|32@1+ (0.5,1) [0|0] "" B

BA_DEF_ SG_""", 1).replace(b"SIG_VALTYPE_ ", b"SIG_VALTYPE_ 771 Plain : 1;\nSIG_VALTYPE_ 771 Scaled : 1;\nSIG_VALTYPE_ ", 1)


def write_log(path, count=400, seed=3):
    """A log of every kind of line: frames of each message (standard, extended, CAN FD, short
    payloads), unknown identifiers, remote and error frames, comments, CRLF line ends."""
    rng = random.Random(seed)
    lines = ["# a comment", ""]
    ids = ["100", "200", "18FF0000", "300", "301", "302", "303", "7FF"]
    for i in range(count):
        ident = rng.choice(ids)
        size = 2 if ident == "301" else 8
        data = bytearray(rng.randbytes(size))
        if ident == "200":
            data[0] = rng.choice([0, 1, 2])  # pages 0 and 1 carry signals, 2 carries none
        if rng.random() < 0.05:
            data = data[:rng.randint(0, size - 1)]  # a payload too short for some signal
        # Timestamps of 10 to 19 digits, some beyond 2^53 as whole numbers.
        start, decimals = rng.choice([1436509052, 9436509052]), rng.choice([6, 6, 0, 3, 7, 9])
        stamp = f"({start + i * 0.000137:.{decimals}f}) "
        # Two busy channels and a dozen rare ones: more names than a short list holds.
        channel = rng.choice(["can0", "can1"]) if rng.random() < 0.85 else f"vcan{rng.randrange(12)}"
        kind = rng.random()
        if kind < 0.03:
            lines.append(f"{stamp}{channel} {ident}#R")
        elif kind < 0.06:
            lines.append(f"{stamp}{channel} 20000080#0000000000000000")
        elif kind < 0.1:
            lines.append(f"{stamp}{channel} {ident}##1{data.hex().upper()}")
        else:
            lines.append(f"{stamp}{channel} {ident}#{data.hex().upper()}")
    text = "".join(line + ("\r\n" if i % 7 == 0 else "\n") for i, line in enumerate(lines))
    path.write_bytes(text.encode())
    return path


def same(a, b):
    return a == b or (a != a and b != b)  # NaN (a float signal's bits) equals NaN


def assert_columns_match_frames(columns, frames):
    """Every frame of the per-frame decode is the next row of its message's columns: same
    timestamp and channel, the same value for each signal it carries, NaN (0 in an integer
    column) for the others."""
    rows = {name: 0 for name in columns}
    for frame in frames:
        table = columns[frame.name]
        row = rows[frame.name]
        rows[frame.name] += 1
        assert table["timestamp"][row] == frame.timestamp
        assert columns.channels[table["channel"][row]] == frame.channel
        for key, column in list(table.items())[2:]:
            name = key[:-len("#signal")] if key.endswith("#signal") else key
            if name in frame.signals:
                assert same(column[row], frame.signals[name]), (frame, key)
                assert type(column[row]) is type(frame.signals[name]) or column.typecode == "d"
            elif column.typecode == "d":
                assert math.isnan(column[row]), (frame, key)
            else:  # an integer column: only a short payload leaves a value out, it reads 0
                assert column[row] == 0 and len(frame.data) < 8, (frame, key)
    assert rows == {name: len(table["timestamp"]) for name, table in columns.items()}


@pytest.fixture
def log_db(tmp_path):
    path = tmp_path / "log.dbc"
    path.write_bytes(LOG_DBC)
    return quillmere.load(path)


def test_columns_equal_the_per_frame_decode(log_db, tmp_path):
    log = write_log(tmp_path / "mixed.log")
    columns = log_db.decode_log(log, columns=True)
    assert isinstance(columns, quillmere.LogColumns)
    assert set(columns) == {"Mixed", "Muxed", "Extended", "Wide", "Named", "Fine", "Paged"}
    assert len(columns.channels) == len(set(columns.channels)) > 8
    assert set(columns.channels) <= {"can0", "can1"} | {f"vcan{i}" for i in range(12)}
    frames = list(log_db.decode_log(log, decode_choices=False))
    assert_columns_match_frames(columns, frames)
    counts = columns.counts
    assert counts["decoded"] == len(frames) and counts["unknown"] > 0
    assert counts["remote"] > 0 and counts["error_frames"] > 0 and counts["truncated"] > 0
    assert counts["lines"] == counts["frames"] + counts["remote"] + counts["error_frames"] + \
        counts["skipped"] + counts["unreadable"]
    # Exact integers stay integers, also beyond int64; a signal named "timestamp" keeps its data.
    assert columns["Wide"]["Counter"].typecode == "Q"
    assert max(columns["Wide"]["Counter"]) > 2 ** 63
    assert list(columns["Named"])[:4] == ["timestamp", "channel", "timestamp#signal", "Level"]


def test_columns_follow_an_edit_of_the_database(log_db, tmp_path):
    log = write_log(tmp_path / "mixed.log")
    before = log_db.decode_log(log, columns=True)["Paged"]["Steps"]
    log_db.set_signal_factor("Paged", "Steps", 4)  # raw x 4 - 40: twice the old value + 40
    after = log_db.decode_log(log, columns=True)
    assert [a for a in after["Paged"]["Steps"] if a == a] == [2 * b + 40 for b in before if b == b]
    assert len(before) > 0
    assert_columns_match_frames(after, list(log_db.decode_log(log, decode_choices=False)))


def test_column_types_come_from_the_database_alone(log_db):
    assert log_db.column_types("Mixed") == {"timestamp": "d", "channel": "H", "Little": "d",
                                            "Big": "q", "Flag": "q", "Gear": "q", "Ratio": "d"}
    # Multiplexed signals can be absent: doubles with NaN; the switch is always there.
    assert log_db.column_types(512) == {"timestamp": "d", "channel": "H", "Page": "q",
                                        "Odometer": "d", "Voltage": "d", "Current": "d"}
    assert log_db.column_types("Named")["Level"] == "q"  # signed raw, factor 2, offset -3
    with pytest.raises(KeyError):
        log_db.column_types("Nothing")


@pytest.mark.parametrize("piece", [1, 7, 40, 333, 4096, 10 ** 9])
def test_byte_ranges_split_a_log_into_its_lines(log_db, tmp_path, piece):
    assert_pieces_join(log_db, write_log(tmp_path / "split.log", count=150), piece)


def test_byte_ranges_keep_their_offsets_past_a_line_longer_than_the_read_chunk(log_db, tmp_path):
    # The reader drops what a line holds beyond 1 MiB; the lines after it stay where they are.
    log = write_log(tmp_path / "long.log", count=30000)
    text = pathlib.Path(log).read_bytes()
    early = text.index(b"\n", len(text) // 10) + 1
    pathlib.Path(log).write_bytes(text[:early] + b"(1.0) can0 123#" + b"7" * 1_500_000 +
                                  b"\n" + text[early:])
    whole = log_db.decode_log(log, columns=True)
    assert whole.counts["lines"] == text.count(b"\n") + 1
    # A piece that holds all of the long line and lines after it, and pieces that cut it.
    for piece in (1_800_000, 400_000):
        assert_pieces_join(log_db, log, piece)


def assert_pieces_join(log_db, log, piece):
    whole = log_db.decode_log(log, columns=True)
    size = os.path.getsize(log)
    parts = [log_db.decode_log(log, columns=True, start=start, stop=min(start + piece, size))
             for start in range(0, size, piece)]
    assert sum(p.counts["lines"] for p in parts) == whole.counts["lines"]
    for name, table in whole.items():
        for key, column in table.items():
            if key == "channel":
                joined = [p.channels[c] for p in parts if name in p for c in p[name][key]]
                assert joined == [whole.channels[c] for c in column]
                continue
            joined = [v for p in parts if name in p for v in p[name][key]]
            assert len(joined) == len(column)
            assert all(same(a, b) for a, b in zip(joined, column)), (name, key)


def test_frames_limit_what_is_decoded_and_misuse_is_refused(log_db, tmp_path):
    log = write_log(tmp_path / "some.log", count=100)
    some = log_db.decode_log(log, columns=True, frames=["Mixed", 0x200])
    assert set(some) == {"Mixed", "Muxed"}
    assert some["Mixed"]["Gear"] == log_db.decode_log(log, columns=True)["Mixed"]["Gear"]
    with pytest.raises(KeyError):
        log_db.decode_log(log, columns=True, frames=["Nothing"])
    with pytest.raises(ValueError, match="columns=True"):
        log_db.decode_log(log, start=10)
    with pytest.raises(FileNotFoundError):
        log_db.decode_log(tmp_path / "missing.log", columns=True)
    beyond = log_db.decode_log(log, columns=True, start=10 ** 9)
    assert dict(beyond) == {} and beyond.counts["lines"] == 0


def test_to_pandas_builds_one_frame_per_message(log_db, tmp_path):
    pandas = pytest.importorskip("pandas")
    log = write_log(tmp_path / "pandas.log", count=200)
    columns = log_db.decode_log(log, columns=True)
    frames = quillmere.to_pandas(columns)
    assert set(frames) == set(columns)
    mixed = frames["Mixed"]
    assert mixed.shape == (len(columns["Mixed"]["timestamp"]), 7)
    assert str(mixed["channel"].dtype) == "category"
    assert set(mixed["channel"]) <= set(columns.channels)
    assert mixed["Gear"].dtype == "int64" and mixed["Little"].dtype == "float64"
    assert frames["Wide"]["Counter"].dtype == "uint64"
    assert list(mixed["Little"]) == pytest.approx(list(columns["Mixed"]["Little"]), nan_ok=True)
    # A database and a path do the same in one call.
    again = quillmere.to_pandas(log_db, log, frames=["Mixed"])
    # (Its channel categories are in the order of the frames it decodes.)
    pandas.testing.assert_frame_equal(again["Mixed"].astype({"channel": str}),
                                      mixed.astype({"channel": str}))


def test_to_pandas_names_the_package_to_install(monkeypatch):
    monkeypatch.setitem(sys.modules, "pandas", None)
    with pytest.raises(ImportError, match="apt-get install python3-pandas"):
        quillmere.to_pandas(quillmere.LogColumns())


def test_threads_decode_side_by_side(log_db, tmp_path):
    # The decode runs without the GIL; threads that share a database get the same columns.
    from concurrent.futures import ThreadPoolExecutor

    log = write_log(tmp_path / "threads.log", count=3000)
    expected = log_db.decode_log(log, columns=True)
    with ThreadPoolExecutor(4) as pool:
        results = list(pool.map(lambda _: log_db.decode_log(log, columns=True), range(8)))
    for result in results:
        assert result.keys() == expected.keys()
        for name, table in expected.items():
            assert all(result[name][key].tobytes() == column.tobytes()
                       for key, column in table.items()), name


HEAP_FLAGS = """
import sys
import quillmere
db = quillmere.load(sys.argv[1])
db.decode_log(sys.argv[2], columns=True)
flags = ""
with open("/proc/self/smaps") as smaps:
    in_heap = False
    for line in smaps:
        if "-" in line.split(" ")[0] and len(line.split()) >= 5:
            in_heap = line.rstrip().endswith("[heap]")
        elif in_heap and line.startswith("VmFlags:"):
            flags += line
print("hg" in flags.split())
"""


@pytest.mark.skipif(not os.path.exists("/proc/self/smaps"), reason="no /proc")
def test_a_log_scan_advises_the_heap_for_huge_pages(tmp_path):
    """Plans and rows are read in the log's order: the heap they lie in is advised for huge
    pages (fewer address-cache misses), unless QUILLMERE_HUGEPAGES=0 says otherwise."""
    try:
        enabled = pathlib.Path("/sys/kernel/mm/transparent_hugepage/enabled").read_text()
    except OSError:
        pytest.skip("the kernel offers no transparent huge pages")
    if "[never]" in enabled:
        pytest.skip("transparent huge pages are off")
    dbc = tmp_path / "log.dbc"
    dbc.write_bytes(LOG_DBC)
    log = write_log(tmp_path / "mixed.log")
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(sys.path))
    advised = {}
    for switch in ("1", "0"):
        env["QUILLMERE_HUGEPAGES"] = switch
        run = subprocess.run([sys.executable, "-c", HEAP_FLAGS, str(dbc), str(log)], env=env,
                             capture_output=True, text=True, check=True)
        advised[switch] = run.stdout.strip()
    assert advised == {"1": "True", "0": "False"}
