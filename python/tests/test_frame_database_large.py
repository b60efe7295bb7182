"""load_frames of a database of more frames than one batch of the codecs it moves beside each
other after the load: every frame, on either side of a batch boundary, decodes and encodes as
the model does, and the name and identifier tables still find each frame."""
import pytest

from conftest import quillmere

FRAMES = 1100  # three batches of 512 codecs, the last one short


def large_dbc(path):
    lines = ['VERSION ""', "", "BU_: A", ""]
    for i in range(FRAMES):
        lines += [f"BO_ {i + 1} Frame{i}: 8 A",
                  f" SG_ Mode{i} M : 0|4@1+ (1,0) [0|15] \"\" A",
                  f" SG_ Speed{i} m{i % 3} : 8|16@1- (0.{i % 7 + 1},-{i}) [0|0] \"km/h\" A",
                  f" SG_ Count{i} : 24|32@0+ ({i + 1},{i}) [0|0] \"\" A", ""]
    lines += [f'VAL_ {i + 1} Mode{i} 0 "off{i}" {i % 15 + 1} "on" ;' for i in range(0, FRAMES, 5)]
    path.write_text("\n".join(lines) + "\n")
    return path


@pytest.fixture(scope="module")
def databases(tmp_path_factory):
    dbc = large_dbc(tmp_path_factory.mktemp("large") / "large.dbc")
    return quillmere.load(dbc), quillmere.load_frames(dbc)


def test_every_frame_decodes_as_the_model(databases):
    full, lean = databases
    assert lean.frame_names == [f"Frame{i}" for i in range(FRAMES)]
    assert lean.frame_ids == list(range(1, FRAMES + 1))
    payloads = [bytes([mode | 0x30, 0x9C, 0xFF, 0x12, 0x34, 0x56, 0x78, 0x9A]) for mode in range(4)]
    for index in range(FRAMES):
        for payload in payloads:
            for key in (f"Frame{index}", index + 1):
                assert repr(lean.decode(key, payload)) == repr(full.decode(key, payload)), key
        values = {f"Mode{index}": index % 15 + 1, f"Count{index}": 3 * (index + 1) + index}
        assert lean.encode(index + 1, values) == full.encode(index + 1, values)
    for index in (0, 511, 512, 1024, FRAMES - 1):  # either side of a batch boundary
        assert lean.column_types(f"Frame{index}") == full.column_types(f"Frame{index}")
