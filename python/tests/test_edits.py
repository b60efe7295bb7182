"""Edits rewrite the file at once; a failed write leaves the model as it was; save writes a
copy where it is told."""
import shutil

import pytest

from conftest import EXAMPLES, quillmere


def test_dbc_edits_reach_the_file_and_the_codec(mux_dbc):
    db = quillmere.load(mux_dbc)
    before = db.encode(256, {"Little": 100.5})
    db.set_signal_name(256, "Little", "Small")
    db.set_signal_factor(256, "Small", 0.25)
    db.set_signal_unit("Mixed", "Small", "U/min")
    db.set_message_name(256, "Renamed")
    assert db.decode(256, before, decode_choices=False)["Small"] == 181 * 0.25 + 10
    reread = quillmere.load(mux_dbc)
    signal = reread["Renamed"]["Small"]
    assert (signal.factor, signal.unit) == (0.25, "U/min")
    assert "(0.25,10)" in mux_dbc.read_text()
    db.set_message_id("Renamed", 0x123)
    assert db.message_by_id(0x123).name == "Renamed" and db.message_by_id(256) is None
    with pytest.raises(KeyError):
        db.set_signal_start_bit(0x123, "NoSuchSignal", 4)
    with pytest.raises(ValueError):
        db.set_signal_byte_order(0x123, "Small", "middle")
    # Saved elsewhere, the edited model reads back from the copy.
    db.save(mux_dbc.parent / "copy.dbc")
    assert quillmere.load(mux_dbc.parent / "copy.dbc").message_by_id(0x123)["Small"].factor == 0.25


def test_a_failed_write_keeps_the_old_model(tmp_path):
    folder = tmp_path / "gone"
    folder.mkdir()
    path = folder / "powertrain.dbc"
    shutil.copy(EXAMPLES / "powertrain.dbc", path)
    db = quillmere.load(path)
    shutil.rmtree(folder)
    with pytest.raises(OSError):
        db.set_signal_name(0x100, "EngineSpeed", "Rpm")
    assert db[0x100].signal("EngineSpeed") is not None and db[0x100].signal("Rpm") is None
    with pytest.raises(OSError):
        db.save()


def test_ldf_edits(tmp_path):
    path = tmp_path / "body.ldf"
    shutil.copy(EXAMPLES / "body.ldf", path)
    ldf = quillmere.load(path)
    ldf.rename_signal("Dimming", "Brightness")
    ldf.set_frame_id("LightCommand", 0x20)
    ldf.set_signal_initial_values("Brightness", [50])
    reread = quillmere.load(path)
    frame = reread.frame_by_id(0x20)
    assert frame.name == "LightCommand" and [s.name for s in frame] == ["LightRequest", "Brightness"]
    assert reread.signal("Brightness").initial_values == [50]
    # The start value of a signal left out is its initial value: 50 raw is 25 %.
    assert ldf.decode(0x20, ldf.encode(0x20, {"LightRequest": "on"})) == {"LightRequest": "on", "Brightness": 25.0}
    with pytest.raises(KeyError):
        ldf.rename_frame("NoSuchFrame", "X")
    ldf.save(str(tmp_path / "copy.ldf"))
    assert quillmere.load(tmp_path / "copy.ldf").frame_by_id(0x20).name == "LightCommand"
