"""Logs decoded on a Dask cluster: ``quillmere.dask.decode_logs(db_path, log_paths)``.

Every log is cut into pieces of about ``partition_size`` bytes at line boundaries; each piece
is one task that a worker decodes with ``decode_log(path, columns=True, start=, stop=)`` into
one pandas DataFrame per message. The client loads the database (the result's columns and
dtypes come from it, so that nothing is decoded before ``compute()``). When messages are named
and the database is a DBC, the client's frame codecs of those messages go to the workers in
the graph (a few kB): the workers parse nothing. Otherwise each worker process loads the
database itself, once (kept by path, size and modification time).

Needs ``dask[dataframe]`` and pandas (Debian: ``apt-get install python3-dask python3-pandas``,
and ``python3-distributed`` for a cluster). Logs (and a database the workers load) are read by
path on the workers: on a real cluster they lie on storage every worker sees (see
docs/cluster.md).
"""
import math
import os

import quillmere
from quillmere._columns import frame_to_pandas

__all__ = ["decode_logs", "log_pieces", "plan", "empty_frame", "DEFAULT_PARTITION_SIZE"]

# 32 MB of candump text is about 700k frames: a piece decodes in a fraction of a second and
# its DataFrames stay well below 100 MB.
DEFAULT_PARTITION_SIZE = 32_000_000
# Named messages: a decode task's DataFrames (bytes), what a task costs the scheduler and the
# worker in bytes of log decoding (about 2 ms), the bounds of the piece size, the sample.
TASK_COLUMNS = 12_000_000
TASK_COST = 2_400_000
MIN_PARTITION_SIZE = 4_000_000
MAX_PARTITION_SIZE = 128_000_000
SAMPLE_SIZE = 16_000_000

_databases = {}  # per worker process: (path, size, mtime, options) -> loaded database


def _database(path, load_options, frames=None):
    stat = os.stat(path)
    key = (os.path.abspath(path), stat.st_size, stat.st_mtime_ns, tuple(sorted(load_options.items())),
           None if frames is None else tuple(frames))
    database = _databases.get(key)
    if database is None:
        database = _load_for_decoding(path, load_options, frames)
        _databases.clear()  # one database a process is what a decode needs; drop an older one
        _databases[key] = database
    return database


def _load_for_decoding(path, load_options, frames):
    # A DBC needs only the codecs of the frames decoded (quillmere.load_frames: the model goes
    # once they are made); other formats load whole.
    options = dict(load_options)
    kind = options.pop("format", None)
    if (kind or os.path.splitext(path)[1].lstrip(".")).lower() == "dbc" and set(options) <= {
            "encoding", "exact", "tolerant", "short_names"}:
        return quillmere.load_frames(path, frames=frames, **options)
    return quillmere.load(path, **load_options)


def _dask_modules():
    try:
        import dask
        import dask.dataframe as dd
    except ImportError as error:
        raise ImportError("quillmere.dask needs Dask with its dataframe part and pandas, which "
                          "are not installed (Debian: apt-get install python3-dask "
                          "python3-distributed python3-pandas)") from error
    return dask, dd


def log_pieces(log_paths, partition_size=DEFAULT_PARTITION_SIZE):
    """(path, start, stop) for every piece of every log, in order: byte ranges of about
    partition_size bytes; decode_log takes the lines that begin in each."""
    if partition_size <= 0:
        raise ValueError("partition_size must be positive")
    pieces = []
    for path in _paths(log_paths):
        path = os.fspath(path)
        size = os.path.getsize(path)
        for start in range(0, max(size, 1), partition_size):
            pieces.append((path, start, min(start + partition_size, size)))
    return pieces


def _paths(log_paths):
    return [log_paths] if isinstance(log_paths, (str, os.PathLike)) else log_paths


def _decode_piece(db_path, load_options, wanted, log_path, start, stop, group):
    # The database of every wanted message (one load a worker), decoding the group's.
    return _decode_with(_database(db_path, load_options, wanted), log_path, start, stop, group)


def _decode_with(database, log_path, start, stop, frames):
    """The piece's columns; of named messages, their DataFrames and the piece's channels. These
    are made here, in the task that decoded the piece, so that the tasks picking one message's
    DataFrame out cost next to nothing: the scheduler then does not move them to an idle
    worker, which would carry the whole piece over (hundreds of MB for a 1 GB log of 200
    messages). Without named messages each becomes a DataFrame only when it is asked for."""
    piece = database.decode_log(log_path, columns=True, start=start, stop=stop, frames=frames)
    if frames is None:
        return piece
    return {name: frame_to_pandas(columns, piece.channels) for name, columns in piece.items()}, \
        piece.channels


def _ships_codecs(database, frames, ship_codecs):
    """Whether the workers get the client's codecs instead of loading the database: by default
    when messages are named (their codecs are small, the whole database may be large)."""
    if ship_codecs is None:
        ship_codecs = frames is not None
    return bool(ship_codecs) and isinstance(database, quillmere.FrameDatabase)


def _frame_of(piece, name, types):
    if isinstance(piece, tuple):
        frames, channels = piece
        if name in frames:
            return frames[name]
        return frame_to_pandas({}, channels, types)
    return frame_to_pandas(piece.get(name) or {}, piece.channels, types)


def _frame_names(database, frames):
    """The names of the frames to decode: those given (names or identifiers), else all."""
    if frames is not None:
        return [frame if isinstance(frame, str) else _name_of(database, frame) for frame in frames]
    names = []
    for item in _frames_of(database):
        if item.name not in names:  # the first frame of a name is the one decoded
            names.append(item.name)
    return names


def _frames_of(database):
    if isinstance(database, quillmere.FrameDatabase):
        return [_Frame(name, frame_id) for name, frame_id in
                zip(database.frame_names, database.frame_ids)]
    for attribute in ("messages", "frames"):
        items = getattr(database, attribute, None)
        if items is not None:
            return items
    if isinstance(database, quillmere.ArxmlFile):  # the PDUs a frame gives an identifier
        return [_Frame(pdu.name, pdu.identifier | (0x80000000 if pdu.is_extended else 0))
                for pdu in database.pdus if pdu.identifier >= 0]
    raise TypeError(f"cannot list the frames of {type(database).__name__}; give frames=")


class _Frame:
    def __init__(self, name, raw_id):
        self.name = name
        self.raw_id = raw_id
        self.frame_id = raw_id & 0x7FFFFFFF


def _name_of(database, frame_id):
    for item in _frames_of(database):
        if frame_id in (getattr(item, "raw_id", None), getattr(item, "frame_id", None)):
            return item.name
    raise KeyError(f"no frame {frame_id!r}")


def empty_frame(database, name):
    """The empty DataFrame with the columns and dtypes a message's partitions have; its channel
    column is categorical with categories unknown ahead (each piece has its own)."""
    from dask.dataframe.utils import UNKNOWN_CATEGORIES

    return frame_to_pandas({}, [UNKNOWN_CATEGORIES], database.column_types(name))


def plan(database, log_path, frames, partition_size=None):
    """(piece size, groups of message names) that decode_logs uses for the named messages.

    Every piece is decoded once per group, each task holding the DataFrames of its group's
    messages (about ``TASK_COLUMNS`` bytes); then one small task per message and piece picks its
    DataFrame out. Fewer, longer pieces mean fewer of those tasks (each costs the scheduler and
    the worker about what decoding ``TASK_COST`` bytes of log does) but more groups, each
    reading the piece once more. Without ``partition_size`` a piece is the shortest from
    ``DEFAULT_PARTITION_SIZE`` up to ``MAX_PARTITION_SIZE`` in which those tasks cost no more
    than the reading; down to ``MIN_PARTITION_SIZE`` when a single message would make more than
    ``TASK_COLUMNS``. The decoded bytes per byte of log of each message come from the first
    ``SAMPLE_SIZE`` bytes of ``log_path``."""
    if not frames:
        return partition_size or DEFAULT_PARTITION_SIZE, []
    sampled = min(SAMPLE_SIZE, os.path.getsize(log_path))
    sample = {}
    if sampled:
        sample = database.decode_log(log_path, columns=True, stop=sampled, frames=frames)
    rates = []
    for name in frames:
        # Bytes a row of the message's columns; a message the sample lacks counts as one row.
        row = sum(2 if code == "H" else 8 for code in database.column_types(name).values())
        rows = len(sample[name]["timestamp"]) if name in sample else 0
        rates.append((rows + 1) * row / max(sampled, 1))
    rate = sum(rates)

    def groups_of(size):
        return min(len(frames), max(1, math.ceil(size * rate / TASK_COLUMNS)))

    if partition_size is None:
        # The shortest piece from the default up in which the per-message tasks cost no more
        # than reading the piece once a group; shorter when one message alone would make
        # more than a task's DataFrames.
        partition_size = DEFAULT_PARTITION_SIZE
        while partition_size < MAX_PARTITION_SIZE and \
                len(frames) * TASK_COST > groups_of(partition_size) * partition_size:
            partition_size += 4_000_000
        partition_size = int(min(partition_size, max(MIN_PARTITION_SIZE,
                                                     TASK_COLUMNS / max(rates))))
    count = groups_of(partition_size)
    # Contiguous groups of about equal decoded bytes.
    groups, group, filled = [], [], 0.0
    for name, share in zip(frames, rates):
        if group and filled + share / 2 > rate * (len(groups) + 1) / count:
            groups.append(group)
            group = []
        group.append(name)
        filled += share
    groups.append(group)
    return partition_size, groups


def decode_logs(db_path, log_paths, *, partition_size=None, frames=None, ship_codecs=None,
                **load_options):
    """Decodes candump / .asc logs on the current Dask scheduler (a distributed Client when one
    is active): a dict of message name to ``dask.dataframe.DataFrame``, one partition per log
    piece in log order (columns: ``timestamp``, ``channel`` (categorical), one per signal, as
    ``to_pandas`` gives them). ``frames`` limits the messages (names or identifiers);
    ``load_options`` go to ``quillmere.load`` (here and on the workers). The messages' frames
    share their tasks: compute several at once (``dask.compute(*frames.values())``) to read
    each piece once. ``partition_size``: bytes of log a piece; by default
    ``DEFAULT_PARTITION_SIZE`` without ``frames``, else chosen from the messages' share of a
    sample of the first log (see ``plan``). ``ship_codecs``: whether the workers get the frame
    codecs the client loaded (a DBC) in the graph instead of loading the database from
    ``db_path`` themselves; by default when ``frames`` is given."""
    dask, _ = _dask_modules()
    from dask.base import tokenize
    from dask.blockwise import blockwise
    from dask.dataframe.core import new_dd_object
    from dask.highlevelgraph import HighLevelGraph

    db_path = os.path.abspath(os.fspath(db_path))
    database = _database(db_path, load_options, None if frames is None else list(frames))
    names = _frame_names(database, frames)
    wanted = list(names) if frames is not None else None
    logs = [os.fspath(path) for path in _paths(log_paths)]
    if wanted and logs:
        partition_size, groups = plan(database, logs[0], wanted, partition_size)
    else:
        # Every message: each becomes a DataFrame only when asked for, from one decode a piece.
        groups = [None]
        partition_size = DEFAULT_PARTITION_SIZE if partition_size is None else partition_size
    pieces = log_pieces(logs, partition_size)
    shipped = _ships_codecs(database, frames, ship_codecs)
    stat = os.stat(db_path)
    token = tokenize(db_path, stat.st_size, stat.st_mtime_ns, load_options, pieces, groups,
                     shipped)

    # A task a piece and group decodes the group's messages into DataFrames; a small task a
    # message and piece picks that message's DataFrame out of it. The graph is written
    # directly: thousands of messages would make a delayed object each far slower to set up.
    # Shipped codecs are one key of the graph, so that each worker receives them once (and
    # pickles or parses nothing more for its following pieces).
    layers, dependencies = {}, {}
    if shipped:
        codecs = f"quillmere-codecs-{token}"
        layers[codecs], dependencies[codecs] = {codecs: database}, set()
    decode_of = {}
    for number, group in enumerate(groups):
        decoded = f"quillmere-decode-{token}-{number}"
        if shipped:
            layer = {(decoded, i): (_decode_with, codecs, path, start, stop, group)
                     for i, (path, start, stop) in enumerate(pieces)}
        else:
            layer = {(decoded, i): (_decode_piece, db_path, load_options, wanted, path, start,
                                    stop, group) for i, (path, start, stop) in enumerate(pieces)}
        layers[decoded], dependencies[decoded] = layer, {codecs} if shipped else set()
        for name in group or names:
            decode_of[name] = decoded
    divisions = [None] * (len(pieces) + 1)
    result = {}
    for name in names:
        meta = empty_frame(database, name)
        types = database.column_types(name)
        decoded = decode_of[name]
        # The name after the token: every message's picks share one task prefix, whose
        # (short) duration the scheduler learns from the first. A blockwise layer: what is
        # done partition by partition with the message (map_partitions, a column's sum,
        # len, to_parquet) joins its pick in one task.
        picked = f"quillmere-pick-{token}-{name}"
        layer = blockwise(_frame_of, picked, "i", decoded, "i", name, None, types, None,
                          numblocks={decoded: (len(pieces),)})
        used = [codecs] if shipped else []
        graph = HighLevelGraph({**{key: layers[key] for key in used + [decoded]}, picked: layer},
                               {**{key: dependencies[key] for key in used + [decoded]},
                                picked: {decoded}})
        result[name] = new_dd_object(graph, picked, meta, divisions)
    return result
