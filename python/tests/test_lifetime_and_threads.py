"""Objects keep their facade alive whatever order they go in, and nothing leaks over many loads.
(Two facades loading on two threads: the library's Threads tests; threads decoding through the
binding: test_log_columns.)"""
import gc
import itertools

import pytest

from conftest import CORPUS, EXAMPLES, quillmere


def touch(obj):
    """Reads an object through to the library."""
    if isinstance(obj, list):
        return [touch(o) for o in obj]
    return repr(obj)


def objects_of(kind):
    if kind == "dbc":
        db = quillmere.load(EXAMPLES / "powertrain.dbc")
        message = db[0x100]
        return [db, message, message.signals[0], db.decode_log(["(1.0) can0 100#0011223344556677"])]
    if kind == "ldf":
        ldf = quillmere.load(EXAMPLES / "body.ldf")
        return [ldf, ldf.frames[0], ldf.signals[1], ldf.master]
    if kind == "arxml":
        arxml = quillmere.load(EXAMPLES / "bus_system.arxml")
        return [arxml, arxml.clusters, arxml.pdus, arxml.signals]
    config = quillmere.NetworkConfig([EXAMPLES / "powertrain.dbc", EXAMPLES / "body.ldf"])
    database = config[0]
    message = database.messages[0]
    return [config, database, message, message.signals[0]]


@pytest.mark.parametrize("kind", ["dbc", "ldf", "arxml", "network"])
def test_objects_outlive_their_file_in_every_order(kind):
    count = len(objects_of(kind))
    # What earlier tests left on the heap is set aside, so each collection walks only the
    # objects made here (a full one per release made this test take seconds).
    gc.freeze()
    try:
        for order in itertools.permutations(range(count)):
            release_in_order(kind, order)
    finally:
        gc.unfreeze()


def release_in_order(kind, order):
    objects = objects_of(kind)
    expected = [touch(o) for o in objects]
    for index in order:
        objects[index] = None
        gc.collect()
        for i, obj in enumerate(objects):
            if obj is not None and not hasattr(obj, "__next__"):
                assert touch(obj) == expected[i]
    if objects[-1] is not None and hasattr(objects[-1], "__next__"):
        assert next(objects[-1]).name == "EngineData"  # the log reader kept its file alive


def resident_kib():
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    pytest.skip("no /proc")


def test_loading_many_times_does_not_grow():
    path = CORPUS / "dbc" / "cantools__vehicle.dbc"
    if not path.exists():
        path = EXAMPLES / "powertrain.dbc"

    def cycle(n):
        for _ in range(n):
            db = quillmere.load(path)
            [m.decode(bytes(m.size)) for m in db]
            db = None
        gc.collect()

    cycle(30)
    before = resident_kib()
    cycle(300)
    assert resident_kib() - before < 8 * 1024
