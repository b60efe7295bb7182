"""Log columns (``decode_log(path, columns=True)``) and their pandas form."""

# The array type codes of the columns and the numpy dtypes they become.
_DTYPES = {"d": "float64", "q": "int64", "Q": "uint64", "H": "uint16"}

PANDAS_MISSING = (
    "quillmere.to_pandas needs pandas, which is not installed "
    "(Debian: apt-get install python3-pandas)"
)


class LogColumns(dict):
    """The frames of a log in columns: a dict of frame name to a dict of column name to
    ``array.array``. Every frame has ``timestamp`` (seconds as the log writes them, NaN when a
    line has none), ``channel`` (an index into ``channels``) and one column per signal, keyed as
    ``decode()`` keys its values; a signal named ``timestamp`` or ``channel`` is keyed with
    ``#signal`` appended. Signals that every frame carries and whose physical values are exact
    integers are ``'q'`` (or ``'Q'`` for values beyond int64) arrays, the others ``'d'`` with NaN
    where a frame does not carry the signal. ``counts`` holds the line counts of the log."""

    channels = ()  # each instance has its own list and dict (set in __init__)
    counts = None

    def __init__(self, *args, **kwargs):
        super().__init__(*args, **kwargs)
        self.channels = []
        self.counts = {}

    def __repr__(self):
        frames = sum(len(c["timestamp"]) for c in self.values())
        return f"<LogColumns frames={frames} messages={len(self)} channels={self.channels!r}>"


def _pandas():
    try:
        import pandas
    except ImportError as error:
        raise ImportError(PANDAS_MISSING) from error
    return pandas


def frame_to_pandas(columns, channels, types=None):
    """One DataFrame from the columns of one frame (see to_pandas). `types` (column name to type
    code) gives the columns of a frame the log did not hold."""
    pandas = _pandas()
    import numpy

    if not columns and types is not None:
        columns = {name: None for name in types}
    data = {}
    for name, column in columns.items():
        code = column.typecode if column is not None else types[name]
        dtype = _DTYPES[code]
        values = numpy.frombuffer(column, dtype=dtype) if column else numpy.empty(0, dtype=dtype)
        if name == "channel" and code == "H":
            values = pandas.Categorical.from_codes(values.astype("int32"), categories=list(channels))
        data[name] = values
    return pandas.DataFrame(data, copy=False)


def to_pandas(columns_or_db, path=None, **options):
    """DataFrames from log columns: a dict of frame name to ``pandas.DataFrame`` (one row per
    frame; ``timestamp`` float64, ``channel`` categorical, one column per signal). Give the
    result of ``db.decode_log(path, columns=True)``, or a database and a log path (options go to
    ``decode_log``). Needs pandas (Debian: ``apt-get install python3-pandas``)."""
    _pandas()
    if path is not None:
        columns = columns_or_db.decode_log(path, columns=True, **options)
    else:
        columns = columns_or_db
    channels = getattr(columns, "channels", [])
    return {name: frame_to_pandas(frame, channels) for name, frame in columns.items()}
