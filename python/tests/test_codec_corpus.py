"""Every frame of every corpus DBC, LDF and ARXML file decoded through Python (the library's frame
codec) from seeded random payloads, against a reference written here bit by bit from the model's
own fields; exact integers where the scaling keeps integers, and the duplicate-name keys."""
import math
import random
import struct

import pytest

from conftest import EXAMPLES, corpus_files, quillmere, require_corpus


def bit_at(data, k):
    return (data[k // 8] >> (k % 8)) & 1 if k // 8 < len(data) else 0


def reference_raw(data, start, length, big_endian):
    raw = 0
    if big_endian:
        position = start
        for _ in range(length):
            raw = (raw << 1) | bit_at(data, position)
            position = position + 15 if position % 8 == 0 else position - 1
        return raw
    for i in range(min(length, 64)):
        raw |= bit_at(data, start + i) << i
    return raw


def reference_value(raw, length, signed, float_kind):
    if float_kind == 32:
        return struct.unpack("<f", struct.pack("<I", raw & 0xFFFFFFFF))[0]
    if float_kind == 64:
        return struct.unpack("<d", struct.pack("<Q", raw))[0]
    if signed and length and raw >> (length - 1) & 1:
        return raw - (1 << length)
    return raw


def keys_of(names):
    """The decode keys: a repeated name gets "#2", "#3", ... in signal order."""
    seen, keys = {}, []
    for name in names:
        seen[name] = seen.get(name, 0) + 1
        keys.append(name if seen[name] == 1 else f"{name}#{seen[name]}")
    return keys


def is_integer(number):
    return math.isfinite(number) and number == int(number)


def check_value(got, expected, integer, where):
    if isinstance(got, str):
        return  # a value text
    if integer:
        assert isinstance(got, int), where
        assert got == expected, where
    elif math.isnan(expected):
        assert math.isnan(got), where
    else:
        assert math.isclose(got, expected, rel_tol=1e-9, abs_tol=1e-9), (where, got, expected)


def test_dbc_corpus_decodes_as_the_reference():
    require_corpus("dbc")
    rng = random.Random(20261206)
    frames = values = 0
    for path in corpus_files("dbc", ".dbc"):
        db = quillmere.load(path)
        for message in db.messages:
            frames += 1
            keys = keys_of([s.name for s in message.signals])
            for _ in range(4):
                data = bytes(rng.getrandbits(8) for _ in range(message.size))
                decoded = message.decode(data, decode_choices=False)
                for key, signal in zip(keys, message.signals):
                    if key not in decoded:
                        continue  # not carried by this payload
                    values += 1
                    raw = reference_raw(data, signal.start_bit, signal.length,
                                        signal.byte_order == "big_endian")
                    float_kind = signal.length if signal.is_float else 0
                    value = reference_value(raw, signal.length, signal.is_signed, float_kind)
                    integer = not signal.is_float and is_integer(signal.factor) and \
                        is_integer(signal.offset)
                    if integer:
                        expected = value * int(signal.factor) + int(signal.offset)
                    else:
                        expected = value * signal.factor + signal.offset
                    check_value(decoded[key], expected, integer, (path.name, message.name, key))
    assert frames == 3198
    assert values > 50000


def test_ldf_corpus_decodes_as_the_reference():
    require_corpus("ldf")
    rng = random.Random(20261207)
    frames = 0
    for path in corpus_files("ldf", ".ldf"):
        ldf = quillmere.load(path)
        for frame in ldf.frames:
            if not hasattr(frame, "signals") or not hasattr(frame, "length"):
                continue
            frames += 1
            data = bytes(rng.getrandbits(8) for _ in range(frame.length))
            decoded = frame.decode(data, decode_choices=False)
            for key, signal in zip(keys_of([s.name for s in frame.signals]), frame.signals):
                if signal.is_byte_array or key not in decoded:
                    continue
                raw = reference_raw(data, signal.bit_offset, signal.size, False)
                got = decoded[key]
                if isinstance(got, int):
                    # No physical range (or an integer one) scales it.
                    assert got == raw or signal.encoding is not None, (path.name, key)
    assert frames > 100


def test_arxml_through_network_config_decodes_as_the_reference():
    require_corpus("arxml")
    rng = random.Random(20261208)
    frames = 0
    for path in corpus_files("arxml", ".arxml"):
        config = quillmere.NetworkConfig(path)
        for db in config.databases:
            for message in db.messages:
                frames += 1
                data = bytes(rng.getrandbits(8) for _ in range(message.size))
                decoded = message.decode(data, decode_choices=False)
                for key, signal in zip(keys_of([s.name for s in message.signals]),
                                       message.signals):
                    if key not in decoded or signal.value_table:
                        continue
                    raw = reference_raw(data, signal.start_bit, signal.length,
                                        signal.byte_order == "big_endian")
                    float_kind = {"float32": 32, "float64": 64}.get(signal.value_type, 0)
                    value = reference_value(raw, signal.length, signal.is_signed, float_kind)
                    expected = value * signal.factor + signal.offset
                    integer = not float_kind and is_integer(signal.factor) and \
                        is_integer(signal.offset)
                    check_value(decoded[key], expected, integer, (path.name, message.name, key))
    assert frames > 0


def test_load_reads_real_files_as_the_tool_does():
    require_corpus("dbc")
    assert len(quillmere.load(corpus_files("dbc", ".dbc")[0].parent /
                              "opendbc__tesla_can.dbc").messages) == 44
    assert len(quillmere.load(corpus_files("dbc", ".dbc")[0].parent /
                              "cantools__foobar.dbc").messages) == 5
    exact = quillmere.load(corpus_files("dbc", ".dbc")[0].parent / "opendbc__tesla_can.dbc",
                           exact=True)
    assert len(exact.messages) == 0
    assert isinstance(quillmere.__version__, str) and quillmere.__version__


def test_exact_numbers_and_duplicate_names(tmp_path):
    path = tmp_path / "exact.dbc"
    path.write_bytes(b"""VERSION ""

BU_: A

BO_ 256 Wide: 8 A
 SG_ Counter : 0|64@1+ (1,0) [0|0] "" A
BO_ 257 Twice: 8 A
 SG_ Speed : 0|16@1+ (0.1,0) [0|6553.5] "km/h" A
 SG_ Speed : 16|16@1- (1,-5) [0|0] "" A
 SG_ Mode : 32|8@1- (1,0) [0|0] "" A
VAL_ 257 Mode -1 "SNA" 1 "On" ;
""")
    db = quillmere.load(path)
    assert db.decode(256, bytes.fromhex("6b3d7c8e1a2b c3f3".replace(" ", ""))) == {
        "Counter": 17564930364734717291}
    decoded = db.decode(257, bytes([0x65, 0x02, 0xFF, 0xFF, 0xFF, 0, 0, 0]))
    assert decoded["Speed"] == 61.3
    assert decoded["Speed#2"] == -6
    assert decoded["Mode"] == "SNA"
    payload = db.encode(257, {"Speed": 61.3, "Speed#2": -6, "Mode": "On"})
    assert db.decode(257, payload, decode_choices=False) == {"Speed": 61.3, "Speed#2": -6,
                                                              "Mode": 1}
    assert db.decode(256, db.encode(256, {"Counter": 2**64 - 1}))["Counter"] == 2**64 - 1
    # A short payload gives the signals it holds.
    assert db.decode(257, bytes([0x65, 0x02])) == {"Speed": 61.3}


def test_integers_beyond_64_bits_and_long_factors(tmp_path):
    """Integer scaling of a 64-bit field is an exact int beyond both 64-bit ranges; a factor of
    17 decimals gives the double nearest to the exact decimal product."""
    path = tmp_path / "numbers.dbc"
    path.write_bytes(b"""VERSION ""

BU_: A

BO_ 258 Signed64: 8 A
 SG_ Wide : 7|64@0- (3,-7) [0|0] "" A
BO_ 259 Ratio: 1 A
 SG_ Ratio : 0|8@1+ (0.39215686274509803,0) [0|100] "%" A
""")
    db = quillmere.load(path)
    payload = (10699022913388659168).to_bytes(8, "big")
    assert db.decode(258, payload) == {"Wide": -23243163480962677351}
    assert db.decode(259, bytes([100]))["Ratio"] == 39.215686274509803  # not ...981


def test_arxml_file_decodes_like_the_tool():
    """quillmere.load(ARXML) decodes through the frame catalog of the tool's `decode`: by the
    frame's identifier or the PDU's name, as NetworkConfig does on a well-formed file."""
    path = EXAMPLES / "bus_system.arxml"
    arxml = quillmere.load(path)
    config = quillmere.NetworkConfig(path)
    rng = random.Random(7)
    compared = 0
    for db in config.databases:
        for message in db.messages:
            if message.frame_id == 0xFFFFFFFF:  # a PDU no frame carries: no identifier
                continue
            for _ in range(8):
                data = bytes(rng.getrandbits(8) for _ in range(message.size))
                for choices in (False, True):
                    expected = message.decode(data, decode_choices=choices)
                    assert arxml.decode(message.frame_id, data, decode_choices=choices) == \
                        expected, (message.name, data.hex())
                compared += 1
            pdu = arxml.decode(message.name, bytes(message.size)) if message.name in \
                {p.name for p in arxml.pdus} else None
            assert pdu is None or set(pdu) <= {s.name for s in message.signals}
    assert compared > 0
    with pytest.raises(KeyError):
        arxml.decode(0x7FF, b"\0" * 8)
