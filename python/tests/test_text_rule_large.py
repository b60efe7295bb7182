"""The text rule of a file (UTF-8 when the whole file is, else Windows-1252) is decided over
every byte of a large file, read as a mapping whose passed pages are dropped on the way."""
import pytest

from conftest import quillmere

# 3 MB of three-byte UTF-8 sequences: every megabyte boundary falls inside one.
FILLER = "€" * 1_000_001


@pytest.mark.parametrize("codec", ["utf-8", "cp1252"])
@pytest.mark.parametrize("load", [quillmere.load, quillmere.load_frames])
def test_the_last_bytes_of_a_large_file_decide(tmp_path, codec, load):
    # The value text at the very end is the only text in `codec`.
    text = (b'VERSION ""\n\nBU_: A\n\nBO_ 256 M: 8 A\n SG_ S : 0|8@1+ (1,0) [0|0] "" A\n\n'
            b'CM_ BO_ 256 "' + FILLER.encode("utf-8") + b'";\n'
            b'VAL_ 256 S 7 "' + "Grüße".encode(codec) + b'" ;\n')
    path = tmp_path / "large.dbc"
    path.write_bytes(text)
    db = load(path)
    assert db.decode("M", b"\x07") == {"S": "Grüße"}
    if load is quillmere.load:
        # One byte that is not UTF-8 makes every text of the file Windows-1252.
        expected = FILLER if codec == "utf-8" else FILLER.encode("utf-8").decode("cp1252")
        assert db.messages[0].comment == expected
