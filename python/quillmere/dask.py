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
import os

import quillmere
from quillmere._columns import frame_to_pandas

__all__ = ["decode_logs", "log_pieces", "empty_frame", "DEFAULT_PARTITION_SIZE"]

# 32 MB of candump text is about 700k frames: a piece decodes in a fraction of a second and
# its DataFrames stay well below 100 MB.
DEFAULT_PARTITION_SIZE = 32_000_000

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
            "encoding", "exact", "tolerant"}:
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
    if isinstance(log_paths, (str, os.PathLike)):
        log_paths = [log_paths]
    pieces = []
    for path in log_paths:
        path = os.fspath(path)
        size = os.path.getsize(path)
        for start in range(0, max(size, 1), partition_size):
            pieces.append((path, start, min(start + partition_size, size)))
    return pieces


def _decode_piece(db_path, load_options, log_path, start, stop, frames):
    return _decode_with(_database(db_path, load_options, frames), log_path, start, stop, frames)


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


def decode_logs(db_path, log_paths, *, partition_size=DEFAULT_PARTITION_SIZE, frames=None,
                ship_codecs=None, **load_options):
    """Decodes candump / .asc logs on the current Dask scheduler (a distributed Client when one
    is active): a dict of message name to ``dask.dataframe.DataFrame``, one partition per log
    piece in log order (columns: ``timestamp``, ``channel`` (categorical), one per signal, as
    ``to_pandas`` gives them). ``frames`` limits the messages (names or identifiers);
    ``load_options`` go to ``quillmere.load`` (here and on the workers). The messages' frames
    share their tasks: compute several at once (``dask.compute(*frames.values())``) to read
    each piece once. ``ship_codecs``: whether the workers get the frame codecs the client
    loaded (a DBC) in the graph instead of loading the database from ``db_path`` themselves;
    by default when ``frames`` is given."""
    dask, _ = _dask_modules()
    from dask.base import tokenize
    from dask.dataframe.core import new_dd_object
    from dask.highlevelgraph import HighLevelGraph

    db_path = os.path.abspath(os.fspath(db_path))
    database = _database(db_path, load_options, None if frames is None else list(frames))
    names = _frame_names(database, frames)
    pieces = log_pieces(log_paths, partition_size)
    wanted = list(names) if frames is not None else None
    shipped = _ships_codecs(database, frames, ship_codecs)
    stat = os.stat(db_path)
    token = tokenize(db_path, stat.st_size, stat.st_mtime_ns, load_options, pieces, wanted,
                     shipped)

    # One task a piece decodes every wanted message into DataFrames; one small task a message
    # a piece picks that message's DataFrame out of it. The graph is written directly: thousands of
    # messages would make a delayed object each far slower to set up. Shipped codecs are one
    # key of the graph, so that each worker receives them once (and pickles or parses nothing
    # more for its following pieces).
    decoded = f"quillmere-decode-{token}"
    layers, dependencies = {}, {}
    if shipped:
        codecs = f"quillmere-codecs-{token}"
        layers[codecs], dependencies[codecs] = {codecs: database}, set()
        decode_layer = {(decoded, i): (_decode_with, codecs, path, start, stop, wanted)
                        for i, (path, start, stop) in enumerate(pieces)}
    else:
        decode_layer = {(decoded, i): (_decode_piece, db_path, load_options, path, start, stop,
                                       wanted) for i, (path, start, stop) in enumerate(pieces)}
    layers[decoded], dependencies[decoded] = decode_layer, set(layers)
    divisions = [None] * (len(pieces) + 1)
    result = {}
    for name in names:
        meta = empty_frame(database, name)
        types = database.column_types(name)
        # The name after the token: every message's picks share one task prefix, whose
        # (short) duration the scheduler learns from the first.
        picked = f"quillmere-pick-{token}-{name}"
        layer = {(picked, i): (_frame_of, (decoded, i), name, types) for i in range(len(pieces))}
        graph = HighLevelGraph({**layers, picked: layer}, {**dependencies, picked: {decoded}})
        result[name] = new_dd_object(graph, picked, meta, divisions)
    return result
