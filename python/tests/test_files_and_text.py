"""Opening files, telling formats apart, status instead of exceptions, and the one rule that
turns the bytes of a model into text."""
import random
import re
import shutil

import pytest

from conftest import EXAMPLES, MUX_DBC, quillmere


def test_unopenable_files_raise_os_errors(tmp_path):
    with pytest.raises(FileNotFoundError):
        quillmere.load(tmp_path / "missing.dbc")
    with pytest.raises(FileNotFoundError):
        quillmere.load(str(tmp_path / "missing.ldf"))
    with pytest.raises(FileNotFoundError):
        quillmere.NetworkConfig([tmp_path / "missing.arxml"])
    with pytest.raises(IsADirectoryError):
        quillmere.load(tmp_path, format="dbc")


def test_a_file_that_stops_early_reports_its_status(tmp_path):
    cut = tmp_path / "cut.dbc"
    cut.write_bytes(MUX_DBC[: MUX_DBC.index(b"BO_ 512")] + b"BO_ 512 Broken\n")
    db = quillmere.load(cut, exact=True)
    assert db.status == quillmere.DbcStatus.BAD_MESSAGE and not db.ok
    assert len(db) == 1  # what came before the bad line stays
    assert any(line.startswith("Malformed message section. Line(") for line in db.log)

    ldf = tmp_path / "cut.ldf"
    ldf.write_bytes((EXAMPLES / "body.ldf").read_bytes()[:900])
    lin = quillmere.load(ldf)
    assert not lin.ok and isinstance(lin.status, quillmere.LdfStatus)

    arxml = tmp_path / "cut.arxml"
    arxml.write_bytes((EXAMPLES / "bus_system.arxml").read_bytes()[:2000])
    assert isinstance(quillmere.load(arxml), quillmere.ArxmlFile)


def test_format_follows_extension_then_content(tmp_path):
    plain = tmp_path / "network.txt"
    shutil.copy(EXAMPLES / "body.ldf", plain)
    assert isinstance(quillmere.load(plain), quillmere.LdfFile)
    shutil.copy(EXAMPLES / "powertrain.dbc", plain)
    assert isinstance(quillmere.load(plain), quillmere.DbcFile)
    assert isinstance(quillmere.load(plain, format="DBC"), quillmere.DbcFile)
    odd = tmp_path / "odd.bin"
    odd.write_bytes(b"\x00\x01nothing to see")
    with pytest.raises(ValueError, match="format"):
        quillmere.load(odd)
    with pytest.raises(ValueError, match="unknown format"):
        quillmere.load(plain, format="odx")


def write_names(tmp_path, encoded_unit, message_name):
    path = tmp_path / "names.dbc"
    path.write_bytes(b'VERSION ""\n\nBU_: A\n\nBO_ 1 ' + message_name + b': 1 A\n SG_ T : 0|8@1+ (1,0) [0|0] "'
                     + encoded_unit + b'" A\n')
    return path


def test_texts_are_utf8_when_valid_else_windows_1252(tmp_path):
    utf8 = quillmere.load(write_names(tmp_path, "°C".encode("utf-8"), "Grüße".encode("utf-8")))
    assert utf8.messages[0].signals[0].unit == "°C"
    cp1252 = quillmere.load(write_names(tmp_path, "°C €".encode("cp1252"), "Grüße".encode("cp1252")))
    assert cp1252.messages[0].signals[0].unit == "°C €"
    # A name is found whichever of the two forms the file holds.
    assert cp1252.message("Grüße") is not None and utf8.message("Grüße") is not None
    assert cp1252.decode("Grüße", b"\x05") == {"T": 5.0}
    # The bytes Windows-1252 leaves undefined keep their numbers.
    odd = quillmere.load(write_names(tmp_path, b"\x81\x9d", b"M"))
    assert odd.messages[0].signals[0].unit == "\x81\x9d"
    # The encoding is decided once per file: one text valid UTF-8, the other not, reads all as
    # Windows-1252, as the command-line tool reads them.
    mixed = quillmere.load(write_names(tmp_path, "°C".encode("utf-8"), "Grüße".encode("cp1252")))
    assert (mixed.messages[0].signals[0].unit, mixed.messages[0].name) == ("Â°C", "Grüße")


def test_an_encoding_argument_decodes_every_text(tmp_path):
    path = write_names(tmp_path, "°C".encode("utf-8"), b"M")
    assert quillmere.load(path, encoding="latin-1").messages[0].signals[0].unit == "Â°C"
    with pytest.raises(LookupError):
        quillmere.load(path, encoding="no-such-codec")


@pytest.mark.parametrize("definitions, expected", [
    # A message's own GenMsgCycleTime, else the definition's default; 0 names no cycle.
    ('BA_DEF_ BO_ "GenMsgCycleTime" INT 0 1000;\nBA_DEF_DEF_ "GenMsgCycleTime" 50;\n', [20, 50]),
    ('BA_DEF_ BO_ "GenMsgCycleTime" INT 0 1000;\nBA_DEF_DEF_ "GenMsgCycleTime" 0;\n', [20, None]),
    ("", [None, None]),
])
def test_cycle_time_falls_back_to_the_attribute_default(tmp_path, definitions, expected):
    path = tmp_path / "cycles.dbc"
    own = 'BA_ "GenMsgCycleTime" BO_ 1 20;\n' if definitions else ""
    path.write_text('VERSION ""\n\nNS_ :\n\nBS_:\n\nBU_: A\n\nBO_ 1 Own: 8 A\n\nBO_ 2 Other: 8 A\n\n'
                    + definitions + own)
    db = quillmere.load(path)
    assert [message.cycle_time for message in db.messages] == expected


SIGNAL_LINE = re.compile(rb' SG_ (\S+)( \S+)? : (\S+) \(([^,]+),([^)]+)\) \[([^|]+)\|([^\]]+)\] '
                         rb'"([^"]*)" (\S+)')


def test_signal_lines_spaced_anyhow_read_as_written(tmp_path):
    """Blanks where the grammar allows them, or none, around the scaling, the limits, the unit and
    the receivers' commas: the tolerant reading gives the same signals."""
    rng = random.Random(11)

    def blank():
        return rng.choice([b"", b" ", b"  ", b"\t"])

    def spaced(line):
        found = SIGNAL_LINE.fullmatch(line)
        if not found:
            return line
        name, indicator, layout, factor, offset, low, high, unit, receivers = found.groups()
        return (b" SG_ " + name + (indicator or b"") + b" :" + blank() + layout + blank() + b"(" +
                blank() + factor + blank() + b"," + blank() + offset + blank() + b")" + blank() +
                b"[" + blank() + low + blank() + b"|" + blank() + high + blank() + b"]" +
                blank() + b'"' + unit + b'"' + blank() + receivers.replace(b",", blank() + b","))

    def signals(path):
        return [(m.name, s.name, s.start_bit, s.length, s.factor, s.offset, s.minimum, s.maximum,
                 s.unit, [r.name for r in s.receivers])
                for m in quillmere.load(path).messages for s in m.signals]

    written = tmp_path / "written.dbc"
    written.write_bytes(MUX_DBC.replace(b"[0|7] \"\" B", b"[0|7] \"\" B,A"))
    expected = signals(written)
    assert any(len(signal[-1]) == 2 for signal in expected)
    for attempt in range(20):
        other = tmp_path / f"spaced{attempt}.dbc"
        other.write_bytes(b"\n".join(spaced(line) for line in written.read_bytes().split(b"\n")))
        assert signals(other) == expected, other.read_text()
