"""load_frames (the frame codecs of a DBC without its model) and decode_log in chunks of a
bounded number of frames, in log order or by message: both give exactly what the whole-model,
whole-log decode gives."""
import gc
import os
import pickle
import random
import weakref

import pytest

from conftest import CORPUS, quillmere
from test_log_columns import LOG_DBC, write_log


@pytest.fixture
def paths(tmp_path):
    dbc = tmp_path / "log.dbc"
    dbc.write_bytes(LOG_DBC)
    log = write_log(tmp_path / "chunks.log", count=600)
    with open(log, "ab") as tail:  # lines after the last frame decoded count too
        tail.write(b"(9.0) can0 7FF#00\n# end\n(9.1) can1 100#R\n")
    return dbc, log


def joined(parts):
    """The chunks' columns joined per frame (by name) and column; channels as names."""
    out = {}
    for part in parts:
        for name, table in part.items():
            for key, column in table.items():
                values = [part.channels[c] for c in column] if key == "channel" else list(column)
                out.setdefault(name, {}).setdefault(key, []).extend(values)
    return dict(sorted(out.items()))


def as_lists(columns):
    return joined([columns])


def test_frames_only_database_decodes_as_the_model(paths):
    dbc, log = paths
    full, lean = quillmere.load(dbc), quillmere.load_frames(dbc)
    assert lean.status == full.status and len(lean) == len(full.messages)
    assert lean.frame_names == [m.name for m in full.messages]
    assert lean.frame_ids == [m.raw_id for m in full.messages]
    # The same bytes: repr keeps NaN comparable and tells int from float.
    assert repr(as_lists(lean.decode_log(log, columns=True))) == \
        repr(as_lists(full.decode_log(log, columns=True)))
    for key in ("Mixed", 0x200, 0x18FF0000):
        assert lean.column_types(key) == full.column_types(key)
    payload = bytes(range(8))
    assert lean.decode("Mixed", payload) == full.decode("Mixed", payload)
    assert lean.encode(256, {"Gear": 5}) == full.encode(256, {"Gear": 5})
    with pytest.raises(KeyError):
        lean.decode("Nothing", payload)
    with pytest.raises(FileNotFoundError):
        quillmere.load_frames(dbc.parent / "missing.dbc")
    # Only the frames asked for (by name or identifier) keep their codecs.
    some = quillmere.load_frames(dbc, frames=["Mixed", 0x200])
    assert some.frame_names == ["Mixed", "Muxed"]
    assert repr(as_lists(some.decode_log(log, columns=True))) == \
        repr(as_lists(full.decode_log(log, columns=True, frames=["Mixed", 0x200])))
    with pytest.raises(KeyError, match="Nothing"):
        quillmere.load_frames(dbc, frames=["Mixed", "Nothing"])
    ldf = dbc.parent / "bus.ldf"
    ldf.write_text('LIN_description_file;\n')
    with pytest.raises(ValueError, match="DBC"):
        quillmere.load_frames(ldf)


@pytest.mark.parametrize("chunk", [1, 3, 50, 10 ** 6])
@pytest.mark.parametrize("frames", [None, ["Mixed", 0x200]])
@pytest.mark.parametrize("by_message", [False, True])
def test_chunks_join_to_the_whole_log(paths, chunk, frames, by_message):
    dbc, log = paths
    db = quillmere.load_frames(dbc)
    whole = db.decode_log(log, columns=True, frames=frames)
    parts = list(db.decode_log(log, columns=True, frames=frames, chunk_frames=chunk,
                               by_message=by_message))
    assert all(sum(len(t["timestamp"]) for t in p.values()) <= chunk for p in parts)
    # Every line's counts come with the chunk read up to it.
    assert {k: sum(p.counts[k] for p in parts) for k in whole.counts} == whole.counts
    expected_chunks = max(1, -(-whole.counts["decoded"] // chunk))
    assert len(parts) == expected_chunks
    assert repr(joined(parts)) == repr(as_lists(whole))


def test_chunks_by_message_take_the_busiest_first(tmp_path):
    """A message sent a hundred times as often as another comes in long runs, split at the
    chunk's size; the rare one waits, and comes out last. The lines are read a bounded number
    of frames ahead, not all at once."""
    dbc = tmp_path / "log.dbc"
    dbc.write_bytes(LOG_DBC)
    lines = [f"({i:.3f}) can0 {'300' if i % 100 else '100'}#{i % 256:016X}" for i in range(1000)]
    log = tmp_path / "rates.log"
    log.write_text("\n".join(lines) + "\n")
    db = quillmere.load_frames(dbc)
    parts = list(db.decode_log(log, columns=True, chunk_frames=50, by_message=True))
    assert [{name: len(t["timestamp"]) for name, t in p.items()} for p in parts] == \
        [{"Wide": 50}] * 19 + [{"Wide": 40, "Mixed": 10}]
    assert 50 <= parts[0].counts["decoded"] < 1000 and parts[-1].counts["decoded"] == 0
    assert repr(joined(parts)) == repr(as_lists(db.decode_log(log, columns=True)))


def test_column_dicts_take_part_in_collection_once_the_caller_fills_them(paths):
    """The arrays and their dicts are left out of the cyclic collector; a dict that the caller
    puts an object into is collected with it again."""
    dbc, log = paths
    chunk = next(quillmere.load_frames(dbc).decode_log(log, columns=True, chunk_frames=50))
    assert not any(gc.is_tracked(a) for table in chunk.values() for a in table.values())
    table = chunk["Mixed"]
    holder = type("Holder", (), {})()
    holder.table, table["holder"] = table, holder
    gone = weakref.ref(holder)
    del chunk, table, holder
    gc.collect()
    assert gone() is None


def test_chunks_of_a_byte_range_and_misuse(paths):
    dbc, log = paths
    db = quillmere.load_frames(dbc)
    size = os.path.getsize(log)
    half = size // 2
    ranges = [(0, half), (half, size)]
    for by_message in (False, True):
        for a, b in ranges:
            parts = db.decode_log(log, columns=True, start=a, stop=b, chunk_frames=7,
                                  by_message=by_message)
            whole = db.decode_log(log, columns=True, start=a, stop=b)
            assert repr(joined(parts)) == repr(as_lists(whole))
        empty = dbc.parent / "empty.log"
        empty.write_bytes(b"# nothing\n")
        parts = list(db.decode_log(empty, columns=True, chunk_frames=7, by_message=by_message))
        assert len(parts) == 1 and not parts[0] and parts[0].counts["lines"] == 1
    with pytest.raises(ValueError, match="columns=True"):
        db.decode_log(log, chunk_frames=5)
    for misuse in ({}, {"columns": True}):
        with pytest.raises(ValueError, match="by_message needs"):
            db.decode_log(log, by_message=True, **misuse)
    with pytest.raises(ValueError, match="positive"):
        db.decode_log(log, columns=True, chunk_frames=0)
    with pytest.raises(FileNotFoundError):
        db.decode_log(dbc.parent / "missing.log", columns=True, chunk_frames=5)


def restored(state):
    database = quillmere.FrameDatabase.__new__(quillmere.FrameDatabase)
    database.__setstate__(state)
    return database


def test_a_pickled_frame_database_decodes_as_the_loaded(paths):
    """Pickled (as Dask ships it to a worker), a FrameDatabase keeps every codec: a frame whose
    plan was made before (its codec moved into the plan) and the others alike."""
    dbc, log = paths
    db = quillmere.load_frames(dbc)
    db.column_types("Mixed")
    copy = pickle.loads(pickle.dumps(db))
    assert (copy.status, copy.log, copy.frame_names, copy.frame_ids) == \
        (db.status, db.log, db.frame_names, db.frame_ids)
    assert repr(as_lists(copy.decode_log(log, columns=True))) == \
        repr(as_lists(db.decode_log(log, columns=True)))
    assert copy.encode(256, {"Little": 100}) == db.encode(256, {"Little": 100})  # start values
    # Bytes of another form or cut anywhere are refused with a message.
    state = db.__getstate__()
    frames = state[5]
    for cut in range(len(frames)):
        with pytest.raises(ValueError, match="frame codec bytes"):
            restored(state[:5] + (frames[:cut],))
    with pytest.raises(ValueError, match="left over"):
        restored(state[:5] + (frames + b"\0",))
    with pytest.raises(ValueError, match="version"):
        restored((0,) + state[1:])


@pytest.mark.parametrize("name", ["cantools__multiplex_2.dbc", "cantools__cp1252.dbc",
                                  "cantools__floating_point.dbc", "busmaster__vw360e_acan.dbc"])
def test_pickled_real_files_decode_as_loaded(name):
    """Extended multiplexing, Windows-1252 texts, float signals, a file of 220 frames."""
    if not (CORPUS / "dbc" / name).is_file():
        pytest.skip(f"no {name} in the corpus")
    db = quillmere.load_frames(CORPUS / "dbc" / name)
    copy = pickle.loads(pickle.dumps(db))
    assert copy.frame_names == db.frame_names
    rng = random.Random(5)
    for frame_id in db.frame_ids:
        for _ in range(8):
            payload = rng.randbytes(rng.choice([8, 64]))
            # repr: NaN of a float signal compares equal, ints stay apart from floats.
            assert repr(copy.decode(frame_id, payload)) == repr(db.decode(frame_id, payload))
