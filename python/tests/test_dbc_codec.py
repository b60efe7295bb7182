"""Decoding and encoding of DBC frames through the binding: both byte orders, signs, floats,
multiplexing, value descriptions, range checks, batch decoding and candump logs. (The codec itself
is checked against a bit-by-bit reference over the whole corpus by the library's codec tests.)"""
import array
import math
import random
import struct

import pytest

from conftest import quillmere


def test_both_byte_orders_signs_and_floats(mux_dbc):
    db = quillmere.load(mux_dbc)
    payload = db.encode(256, {"Little": 100.5, "Big": -3, "Flag": 1, "Gear": "Drive", "Ratio": -1.5})
    # Little: raw (100.5 - 10) / 0.5 = 181 at bits 3..14; Big: -3 in ten bits from bit 23 down.
    assert int.from_bytes(payload, "little") & 0x7FF8 == 181 << 3
    assert db.decode(256, payload) == {"Little": 100.5, "Big": -3.0, "Flag": 1.0, "Gear": "Drive", "Ratio": -1.5}
    assert db.decode(256, payload, decode_choices=False)["Gear"] == 3.0
    big = db["Mixed"]["Big"]
    assert big.raw_value(payload) == (-3) & 0x3FF
    ext = db.message_by_id(0x18FF0000)
    assert ext is not None and ext.is_extended and ext.raw_id == 0x98FF0000
    frame = db.encode(0x18FF0000, {"Temperature": -40, "Pressure": 1013.25})
    assert struct.unpack("<if", frame) == (-40, 1013.25)
    assert db.decode(0x18FF0000, frame) == {"Temperature": -40.0, "Pressure": 1013.25}
    # A float field carries NaN, so a decoded NaN encodes back.
    assert math.isnan(db.decode(0x18FF0000, db.encode(0x18FF0000, {"Pressure": math.nan}))["Pressure"])


def test_multiplexed_signals_follow_the_multiplexer(mux_dbc):
    db = quillmere.load(mux_dbc)
    page0 = db.encode("Muxed", {"Page": 0, "Odometer": 1234.5})
    page1 = db.encode("Muxed", {"Page": 1, "Voltage": 12.5, "Current": -2.25})
    assert db.decode("Muxed", page0) == {"Page": 0.0, "Odometer": 1234.5}
    assert db.decode("Muxed", page1) == {"Page": 1.0, "Voltage": 12.5, "Current": -2.25}
    assert db.decode("Muxed", b"\x07" + bytes(7)) == {"Page": 7.0}
    with pytest.raises(ValueError, match="Voltage"):
        db.encode("Muxed", {"Page": 0, "Voltage": 1.0})
    assert db.encode("Muxed", {"Page": 0, "Voltage": 1.0}, strict=False) == db.encode("Muxed", {"Page": 0})


def test_encode_refuses_what_the_signal_cannot_carry(mux_dbc):
    db = quillmere.load(mux_dbc)
    for frame, values, error, words in [
            (256, {"Little": 5000}, ValueError, "'Little'.*outside its range"),
            (256, {"Gear": "Fly"}, ValueError, "'Gear'.*Fly"),
            # No range given, but 32 signed bits cannot hold it.
            (256, {"Ratio": 1e12}, ValueError, "'Ratio'.*does not fit"),
            (256, {"Little": math.nan}, ValueError, "'Little'.*NaN"),
            (256, {"Nonsense": 1}, ValueError, "Nonsense"),
            (256, {"Flag": "x"}, ValueError, "'Flag'"),
            (0x7FF, {}, KeyError, None)]:
        with pytest.raises(error, match=words):
            db.encode(frame, values)
    with pytest.raises(KeyError):
        db.decode("NoSuchMessage", bytes(8))
    with pytest.raises(KeyError):
        db.decode(-1, bytes(8))
    with pytest.raises(TypeError):
        db.decode(1.5, bytes(8))
    # Signals left out take their start value: Gear starts at 2, "Neutral".
    assert db.decode(256, db.encode(256, {}))["Gear"] == "Neutral"


def test_range_checks_follow_strict_and_spare_named_values(tmp_path):
    # A value text beyond the range names a value that encodes all the same; strict=False
    # leaves the range unchecked, never the bits (as cantools encodes).
    path = tmp_path / "ranges.dbc"
    path.write_text('VERSION ""\n\nBU_: A\n\nBO_ 1 Speeds: 2 A\n'
                    ' SG_ Speed : 0|8@1+ (1,0) [0|200] "km/h" A\n'
                    ' SG_ Scaled : 8|8@1+ (0.5,0) [0|100] "" A\n\n'
                    'VAL_ 1 Speed 255 "Invalid" ;\nVAL_ 1 Scaled 254 "Error" ;\n')
    db = quillmere.load(path)
    assert db.encode(1, {"Speed": 255, "Scaled": 127.0}) == bytes([255, 254])
    assert db.encode(1, {"Speed": "Invalid"}) == bytes([255, 0])
    for values in ({"Speed": 250}, {"Scaled": 120.0}):
        with pytest.raises(ValueError, match="outside its range"):
            db.encode(1, values)
    assert db.encode(1, {"Speed": 250, "Scaled": 120.0}, strict=False) == bytes([250, 240])
    with pytest.raises(ValueError, match="does not fit"):
        db.encode(1, {"Speed": 300}, strict=False)


def test_decode_many_matches_decode(mux_dbc):
    db = quillmere.load(mux_dbc)
    rng = random.Random(3)
    payloads = [bytes(rng.getrandbits(8) for _ in range(8)) for _ in range(50)]
    payloads[5] = bytes([1]) + payloads[5][1:]
    for frame in ("Mixed", "Muxed", 0x18FF0000):
        columns = db.decode_many(frame, payloads)
        also = db.decode_many(frame, b"".join(payloads))
        for name, column in columns.items():
            assert isinstance(column, array.array) and column.typecode == "d" and len(column) == 50
            assert repr(column) == repr(also[name])
        for i, payload in enumerate(payloads):
            one = db.decode(frame, payload, decode_choices=False)
            for name, column in columns.items():
                if name in one:
                    assert column[i] == one[name]
                else:
                    assert math.isnan(column[i])
    with pytest.raises(ValueError, match="whole number"):
        db.decode_many("Mixed", bytes(12))
    assert db.decode_many("Mixed", bytes(12), stride=4)["Flag"].tolist() == [0.0, 0.0, 0.0]


def test_decode_log_reads_lazily_and_knows_both_forms(mux_dbc, tmp_path):
    db = quillmere.load(mux_dbc)
    seen = []
    mixed = db.encode(256, {"Little": 100.5}).hex().upper()

    def lines():
        for line in ["# comment", f"(1.5) can0 100#{mixed}",
                     "(1.6) can0 7FF#00", "(1.7) can1 18FF0000#D8FFFFFF00000000",
                     "  can0  200   [8]  01 C4 09 00 00 00 00 00", "(1.8) can0 100#R"]:
            seen.append(line)
            yield line

    frames = db.decode_log(lines())
    first = next(frames)
    assert len(seen) == 2  # nothing read beyond the first frame
    assert first.timestamp == 1.5 and first.channel == "can0" and first.frame_id == 0x100
    assert first.name == "Mixed" and first.signals["Little"] == 100.5
    rest = list(frames)
    assert [f.name for f in rest] == ["Extended", "Muxed"]
    assert rest[0].signals["Temperature"] == -40.0
    assert rest[1].timestamp is None and rest[1].signals == {"Page": 1.0, "Voltage": 2.5, "Current": 0.0}

    log = tmp_path / "trace.log"
    log.write_text(f"(0.1) can0 100#{mixed}\n(0.2) can0 123#00\n")
    everything = list(db.decode_log(log, skip_unknown=False))
    assert [(f.frame_id, f.name) for f in everything] == [(0x100, "Mixed"), (0x123, None)]
    assert everything[1].signals is None and everything[1].data == b"\x00"
    with pytest.raises(FileNotFoundError):
        db.decode_log(tmp_path / "missing.log")


LONG_NAMES_DBC = '''VERSION ""

BU_: A

BO_ 5 Short_Frame_Name_Cut_At_32_Chars: 2 A
 SG_ Short_Signal_Name_Cut_At_32_Ch : 0|8@1+ (1,0) [0|255] "" A
 SG_ Plain : 8|8@1+ (1,0) [0|255] "" A

BA_DEF_ BO_ "SystemMessageLongSymbol" STRING ;
BA_DEF_ SG_ "SystemSignalLongSymbol" STRING ;
BA_DEF_DEF_ "SystemMessageLongSymbol" "";
BA_DEF_DEF_ "SystemSignalLongSymbol" "";
BA_ "SystemMessageLongSymbol" BO_ 5 "Short_Frame_Name_Cut_At_32_Chars_And_The_Rest";
BA_ "SystemSignalLongSymbol" SG_ 5 Short_Signal_Name_Cut_At_32_Ch "Short_Signal_Name_Cut_At_32_Chars_Whole";
'''


def test_long_names_name_frames_and_signals_as_cantools_does(tmp_path):
    path = tmp_path / "long.dbc"
    path.write_text(LONG_NAMES_DBC)
    long_frame = "Short_Frame_Name_Cut_At_32_Chars_And_The_Rest"
    long_signal = "Short_Signal_Name_Cut_At_32_Chars_Whole"
    expected = {long_signal: 1, "Plain": 2}
    for db in (quillmere.load(path), quillmere.load_frames(path)):
        assert db.decode(5, b"\x01\x02") == expected
        assert db.decode(long_frame, b"\x01\x02") == expected
        assert db.encode(long_frame, expected) == b"\x01\x02"
    assert quillmere.load_frames(path).frame_names == [long_frame]
    assert quillmere.load_frames(path, frames=["Short_Frame_Name_Cut_At_32_Chars"]).frame_names == [long_frame]
    model = quillmere.load(path)
    assert model.decode("Short_Frame_Name_Cut_At_32_Chars", b"\x01\x02") == expected
    log = tmp_path / "long.log"
    log.write_text("(0.5) can0 005#0102\n")
    columns = model.decode_log(log, columns=True)
    assert list(columns) == [long_frame] and list(columns[long_frame]["Plain"]) == [2]
    for db in (quillmere.load(path, short_names=True), quillmere.load_frames(path, short_names=True)):
        assert db.decode(5, b"\x01\x02") == {"Short_Signal_Name_Cut_At_32_Ch": 1, "Plain": 2}
