"""quillmere.dask: logs decoded on a two-process LocalCluster equal the single-process decode,
frame for frame; columns and dtypes are known before anything is decoded."""
import subprocess
import sys

import pytest

from conftest import CORPUS, REPO, quillmere, require_corpus

for module in ("pandas", "dask.dataframe", "distributed"):
    pytest.importorskip(module, reason=f"{module} is not installed (scripts/bootstrap --optional)")

import dask  # noqa: E402
import pandas  # noqa: E402
from distributed import Client, LocalCluster  # noqa: E402

import quillmere.dask as qdask  # noqa: E402

# Debian's distributed starts its event loop the way its tornado deprecates.
pytestmark = pytest.mark.filterwarnings("ignore:make_current is deprecated:DeprecationWarning")


def generated_logs(tmp_path, dbc, sizes):
    logs = []
    for seed, megabytes in enumerate(sizes):
        log = tmp_path / f"log{seed}.log"
        subprocess.run([sys.executable, str(REPO / "bench" / "make_candump_log.py"), str(dbc),
                        str(log), str(megabytes), str(seed + 11)], check=True)
        logs.append(log)
    return logs


def test_pieces_cover_each_log_once(tmp_path):
    log = tmp_path / "a.log"
    log.write_bytes(b"x" * 1000)
    empty = tmp_path / "empty.log"
    empty.write_bytes(b"")
    assert qdask.log_pieces([log, empty], 300) == [
        (str(log), 0, 300), (str(log), 300, 600), (str(log), 600, 900), (str(log), 900, 1000),
        (str(empty), 0, 0)]
    with pytest.raises(ValueError):
        qdask.log_pieces([log], 0)


def test_meta_comes_from_the_database(tmp_path):
    require_corpus("dbc")
    dbc = CORPUS / "dbc" / "cantools__abs.dbc"
    db = quillmere.load(dbc)
    frames = qdask.decode_logs(dbc, generated_logs(tmp_path, dbc, [0.01]), partition_size=200)
    assert set(frames) == {m.name for m in db.messages}
    for name, frame in frames.items():
        types = db.column_types(name)
        assert list(frame.columns) == list(types)
        assert frame.npartitions > 5
        for column, code in types.items():
            expected = "category" if column == "channel" else {"d": "float64", "q": "int64",
                                                                "Q": "uint64"}[code]
            assert str(frame.dtypes[column]) == expected, (name, column)


def test_arxml_frames_are_the_pdus_frames_carry(tmp_path):
    require_corpus("arxml")
    path = CORPUS / "arxml" / "ct_system-4.2.arxml"
    log = tmp_path / "empty.log"
    log.write_bytes(b"")
    frames = qdask.decode_logs(path, [log])
    db = quillmere.load(path)
    assert set(frames) == {p.name for p in db.pdus if p.identifier >= 0}
    assert list(frames["OneToContainThemAll"].columns) == list(
        db.column_types("OneToContainThemAll"))


def test_a_two_worker_cluster_decodes_as_one_process_does(tmp_path, monkeypatch):
    require_corpus("dbc")
    dbc = CORPUS / "dbc" / "cantools__abs.dbc"
    logs = generated_logs(tmp_path, dbc, [0.3, 0.1])
    db = quillmere.load(dbc)
    local = {}
    for log in logs:
        for name, frame in quillmere.to_pandas(db, log).items():
            local.setdefault(name, []).append(frame)
    # Named messages: the workers decode with the codecs the client loaded (shipped in the
    # graph); else each worker loads the database from the path.
    busiest = sorted(local, key=lambda name: -sum(len(f) for f in local[name]))[:2]
    with LocalCluster(n_workers=2, processes=True, threads_per_worker=1, host="127.0.0.1",
                      dashboard_address=None) as cluster, Client(cluster):
        frames = qdask.decode_logs(dbc, logs, partition_size=40_000)
        pieces = qdask.log_pieces(logs, 40_000)
        assert len(pieces) > 2
        assert next(iter(frames.values())).npartitions == len(pieces)
        names = list(frames)
        computed = dict(zip(names, dask.compute(*frames.values())))
        shipped = qdask.decode_logs(dbc, logs, partition_size=40_000, frames=busiest)
        assert any(key.startswith("quillmere-codecs-")
                   for key in shipped[busiest[0]].dask.layers)
        shipped = dict(zip(busiest, dask.compute(*shipped.values())))
        # A decode task a message (and the workers loading the database): the same frames.
        monkeypatch.setattr(qdask, "TASK_COLUMNS", 1)
        size, groups = qdask.plan(db, logs[0], busiest)
        assert groups == [[name] for name in busiest] and size == qdask.MIN_PARTITION_SIZE
        grouped = qdask.decode_logs(dbc, logs, partition_size=40_000, frames=busiest,
                                    ship_codecs=False)
        assert len({key for frame in grouped.values() for key in frame.dask.layers
                    if key.startswith("quillmere-decode-")}) == 2
        grouped = dict(zip(busiest, dask.compute(*grouped.values())))
    decoded = 0
    for name in names:
        got = computed[name].reset_index(drop=True)
        if name not in local:
            assert got.empty
            continue
        expected = pandas.concat(local[name], ignore_index=True)
        # Channel categories differ from piece to piece; the values are what counts.
        expected["channel"] = expected["channel"].astype(str)
        others = [shipped[name], grouped[name]] if name in busiest else []
        for result in [got] + [frame.reset_index(drop=True) for frame in others]:
            result["channel"] = result["channel"].astype(str)
            pandas.testing.assert_frame_equal(result, expected, check_exact=True)
        decoded += len(got)
    # Every data line of the logs is one decoded frame.
    lines = sum(len(log.read_bytes().splitlines()) for log in logs)
    assert decoded == lines
