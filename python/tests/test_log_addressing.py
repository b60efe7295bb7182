"""Log lines name identifiers as the bus wrote them: decode_log finds a DBC message under the
other addressing when none has the identifier as written (a four-digit candump identifier above
0x7FF reads as extended, the database may write it as a standard number), as the tool does;
the addressing as written wins when both messages exist. Columns and per-frame decode agree,
also when frames= names the messages."""
import pytest

from conftest import quillmere

DBC = b"""VERSION ""

NS_ :

BS_:

BU_: A

BO_ 9463 Wide: 8 A
 SG_ W : 0|8@1+ (1,0) [0|0] "" A

BO_ 2147483939 Ext: 8 A
 SG_ E : 0|8@1+ (2,0) [0|0] "" A

BO_ 291 Std: 8 A
 SG_ S : 0|8@1+ (3,0) [0|0] "" A

BO_ 2147483904 OnlyExt: 8 A
 SG_ O : 0|8@1+ (4,0) [0|0] "" A
"""

CASES = [
    ("24F7#05", "Wide", 5),           # extended as read, standard in the database
    ("000024F7#05", "Wide", 5),
    ("00000123#05", "Ext", 10),       # both exist: the addressing as written
    ("123#05", "Std", 15),
    ("100#05", "OnlyExt", 20),        # standard as read, extended in the database
    ("4000#05", None, None),          # in neither addressing
]


@pytest.fixture
def db(tmp_path):
    path = tmp_path / "addressing.dbc"
    path.write_bytes(DBC)
    return quillmere.load(path)


@pytest.mark.parametrize("line, message, value", CASES)
@pytest.mark.parametrize("filtered", [False, True])
def test_each_line_finds_its_message(db, tmp_path, line, message, value, filtered):
    log = tmp_path / "one.log"
    log.write_text(f"(1.5) can0 {line}\n(2.5) can0 {line}\n")
    frames = [message] if filtered and message else None
    columns = db.decode_log(log, columns=True, frames=frames)
    if message is None:
        assert dict(columns) == {} and columns.counts["unknown"] == 2
        return
    assert list(columns) == [message]
    signal = [name for name in columns[message] if name not in ("timestamp", "channel")][0]
    assert list(columns[message][signal]) == [value, value]
    assert list(columns[message]["timestamp"]) == [1.5, 2.5]
    assert [frame.name for frame in db.decode_log(log)] == [message, message]
