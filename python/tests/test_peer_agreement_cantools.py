"""Agreement with cantools on the corpus files that come from cantools' own test suite: the
values its tests expect (decoded dicts, encoded payloads, names, layouts, multiplexing) are
what the as-written reading gives here too."""
import math

import pytest

from conftest import CORPUS, quillmere, require_corpus

FOOBAR_CANFD = (b"\xef\xcd\xab\x89\x67\x45\x23\x01\xef\xbe\xad\xde\xef\xbe\xad\xde" +
                bytes(48))

# (file, frame, values, payload): encode(values) == payload and decode(payload) == values.
ROUND_TRIPS = [
    ("dbc/cantools__foobar.dbc", "Foo", {"Foo": 250, "Bar": 0.0}, bytes(8)),
    ("dbc/cantools__foobar.dbc", "Fum", {"Fum": 9, "Fam": 5}, b"\x09\x50\x00\x00\x00"),
    ("dbc/cantools__foobar.dbc", "Bar", {"Binary32": 1.0}, b"\x00\x00\x80\x3f"),
    ("dbc/cantools__foobar.dbc", "CanFd", {"Fie": 0x123456789abcdef, "Fas": 0xdeadbeefdeadbeef},
     FOOBAR_CANFD),
    ("dbc/cantools__foobar.dbc", 0x12330, {"Foo": 250, "Bar": 0.0}, bytes(8)),
    ("dbc/cantools__foobar.dbc", 0x12331, {"Fum": 9, "Fam": 5}, b"\x09\x50\x00\x00\x00"),
    ("dbc/cantools__foobar.dbc", 0x12332, {"Binary32": 1.0}, b"\x00\x00\x80\x3f"),
    ("dbc/cantools__foobar.dbc", 0x12333, {"Fie": 0x123456789abcdef, "Fas": 0xdeadbeefdeadbeef},
     FOOBAR_CANFD),
    ("dbc/cantools__floating_point.dbc", 1024, {"Signal1": -129.448},
     b"\x75\x93\x18\x04\x56\x2e\x60\xc0"),
    ("dbc/cantools__floating_point.dbc", 1025, {"Signal1": 129.5, "Signal2": 1234500.5},
     b"\x00\x80\x01\x43\x24\xb2\x96\x49"),
    ("dbc/cantools__multiplex_2.dbc", "Extended",
     {"S0": 0, "S1": 2, "S4": 10000, "S6": 1, "S7": 33}, b"\x20\x10\x27\x00\x01\x21\x00\x00"),
    ("dbc/cantools__multiplex_2.dbc", "Extended",
     {"S0": 0, "S1": 0, "S2": 100, "S3": 5000, "S6": 2, "S8": 22},
     b"\x00\x64\x88\x13\x02\x16\x00\x00"),
    ("dbc/cantools__multiplex_2.dbc", "Extended", {"S0": 1, "S5": 3, "S6": 1, "S7": 772},
     b"\x31\x00\x00\x00\x01\x04\x03\x00"),
    ("arxml/ct_system-4.2.arxml", 101, {"signal2": 0x3ff, "signal2_1c": 0x3ff, "signal2_sm": 0x3ff},
     b"\xff\x03\xff\x03\xff\x03"),
    ("arxml/ct_system-4.2.arxml", 101, {"signal2": 0, "signal2_1c": 0, "signal2_sm": 0}, bytes(6)),
]


def load(name):
    require_corpus(name.split("/")[0])
    return quillmere.load(CORPUS / name)


@pytest.mark.parametrize("name,frame,values,payload", ROUND_TRIPS)
def test_round_trip(name, frame, values, payload):
    db = load(name)
    assert db.encode(frame, values) == payload
    assert db.decode(frame, payload) == values


# Message1 of system-4.2: encodes as cantools' test_encode_mixed_signal expects, and the
# payload cantools packs into the container OneToContainThemAll (behind the header 0a0b0c and
# the length 9) decodes to what its test_encode_decode_containers reads back.
def test_arxml_message1_and_container(tmp_path):
    db = load("arxml/ct_system-4.2.arxml")
    mixed = {"message1_SeqCounter": 123, "message1_CRC": 456, "signal1": 0.0, "signal5": 1e5,
             "signal6": "zero"}
    assert db.encode(5, mixed) == b"{\x00\xc8\x01\x00\x00P\xc3G"
    assert db.encode("message1", mixed) == b"{\x00\xc8\x01\x00\x00P\xc3G"
    # cantools names the message after its frame: that name finds the PDU too.
    assert db.encode("Message1", mixed) == db.encode("message1", mixed)
    assert {p.name: p.frame_name for p in db.pdus}["message1"] == "Message1"
    packed = b"{\x00\xc8\x01\x00\x00P\xc3G"
    assert db.decode("Message1", packed) == db.decode(5, packed)
    # Decoded logs name the messages as cantools does too.
    log = tmp_path / "two.log"
    log.write_text("(0.5) can0 005#7B00C801000050C347\n(0.6) can0 004#0102\n")
    assert sorted(db.decode_log(str(log), columns=True)) == ["Message1", "MultiplexedMessage"]
    container = b"\n\x0b\x0c\t{\x00\xc8\x01\x04V\x0eI@"
    given = {"message1_SeqCounter": 123, "message1_CRC": 456, "signal6": "zero", "signal1": 5.2,
             "signal5": 3.1415}
    assert db.encode(5, given) == container[4:]
    for decoded in (db.decode(5, container[4:]), db.decode(102, container)):
        assert decoded["signal6"] == "zero" and decoded["signal1"] == 5
        assert math.isclose(decoded["signal5"], 3.1415, rel_tol=1e-7)


def test_foobar_model():
    db = load("dbc/cantools__foobar.dbc")
    assert db.version == "2.0" and db.baudrate == 125000
    assert [n.name for n in db.nodes] == ["FOO", "BAR", "FIE", "FUM"]
    assert [(m.name, m.frame_id, m.is_extended, m.size) for m in db.messages] == [
        ("Foo", 0x12330, True, 8), ("Fum", 0x12331, True, 5), ("Bar", 0x12332, True, 4),
        ("CanFd", 0x12333, True, 64), ("FOOBAR", 0x30C, False, 8)]
    assert [t.name for t in db.message("Bar").transmitters] == ["FOO", "BAR"]
    foo = db.message("Foo")["Foo"]
    assert (foo.start_bit, foo.length, foo.byte_order, foo.is_signed, foo.factor, foo.offset,
            foo.minimum, foo.maximum, foo.unit) == (0, 12, "big_endian", True, 0.01, 250, 229.53,
                                                    270.47, "degK")
    assert db.message("Fum")["Fam"].choices == {1: "Enabled", 0: "Disabled"}
    assert db.message("Bar")["Binary32"].is_float and not db.message("Fum")["Fum"].is_float
    assert [r.name for r in db.message("Bar")["Binary32"].receivers] == ["FUM"]


def test_dbc_models():
    db = load("dbc/cantools__vehicle.dbc")
    assert [n.name for n in db.nodes] == ["UnusedNode"] and len(db.messages) == 217
    last = db.messages[216]
    assert (last.name, last.frame_id, last.transmitters) == ("RT_SB_Gyro_Rates", 155872546, [])
    assert sum(1 for m in db.messages for s in m.signals if s.choices) == 15
    accel = db.message("RT_IMU06_Accel")
    assert {s.name: s.start_value for s in accel.signals} == {
        "Validity_Accel_Longitudinal": 0, "Validity_Accel_Lateral": 1,
        "Validity_Accel_Vertical": 0, "Accuracy_Accel": 127, "Accel_Longitudinal": 32767,
        "Accel_Lateral": -30000, "Accel_Vertical": 16120}
    emc = load("dbc/cantools__emc32.dbc")
    message = emc.messages[0]
    assert [n.name for n in emc.nodes] == ["EMV_Statusmeldungen"] and len(emc.messages) == 1
    assert len(message["EMV_Aktion_Status_3"].receivers) == 1
    assert len(message["EMV_Aktion_Status_4"].receivers) == 0
    assert len(emc.environment_variables) == 17
    assert len(load("dbc/cantools__empty_ns.dbc").nodes) == 0
    cp1252 = load("dbc/cantools__cp1252.dbc")
    expected = bytes(v for v in range(256) if v not in (34, 129, 141, 143, 144, 157))[32:]
    assert cp1252.nodes[0].comment == expected.decode("cp1252")
    attributes = load("dbc/cantools__attributes.dbc")
    assert attributes.message_by_id(0x39).cycle_time == 1000
    for name in ("BU_BO_REL_Message", "relation_attributes", "abs", "msxii_system_can"):
        assert load(f"dbc/cantools__{name}.dbc").ok


def test_long_names():
    db = load("dbc/cantools__long_names.dbc")
    # Frames and signals are decoded under the long names cantools gives them.
    assert set(db.decode("SS12345678901234567890123458789012345", bytes(8))) == set()
    assert set(db.decode("M1234567890123456789012345678901", bytes(8))) == {
        "S1234567890123456789012345678901", "S123456789012345678901234567890123",
        "SS12345678901234567890123456789012", "SS1234567890123456789012345678901233",
        "SS12345678901234567890123456789012332"}
    assert set(db.decode("M12345678901234567890123456789012", bytes(8))) == {
        "S123456789012345678901234567890123", "S12345678901234567890123456789012",
        "SS12345678901234567890123456789012", "SS12345678901234567890123456789012dw"}


# (message, {signal: (is_multiplexer, multiplexer name)}) as cantools' signal trees give them.
MULTIPLEX_2 = [
    ("Shared", {"S0": (True, None), "S1": (False, "S0"), "S2": (False, "S0")}),
    ("Normal", {"S0": (True, None), "S1": (False, "S0"), "S2": (False, "S0")}),
    ("Extended", {"S0": (True, None), "S1": (True, "S0"), "S2": (False, "S1"), "S3": (False, "S1"),
                  "S4": (False, "S1"), "S5": (False, "S0"), "S6": (True, None),
                  "S7": (False, "S6"), "S8": (False, "S6")}),
    ("ExtendedTypes", {"S11": (True, None), "S0": (True, "S11"), "S9": (False, "S11"),
                       "S10": (False, "S0")}),
]


@pytest.mark.parametrize("message,expected", MULTIPLEX_2)
def test_multiplex_2_tree(message, expected):
    db = load("dbc/cantools__multiplex_2.dbc")
    got = {s.name: (s.is_multiplexer, s.multiplexer.name if s.multiplexer else None)
           for s in db.message(message).signals}
    assert got == expected


# (file, pdu, identifier, extended, length)
ARXML_FRAMES = [
    ("ct_system-4.2", "multiplexed_message", 4, False, 2),
    ("ct_system-4.2", "message1", 5, False, 9),
    ("ct_system-4.2", "message2", 6, True, 7),
    ("ct_system-4.2", "message3_secured", 100, False, 6),
    ("ct_system-4.2", "message4", 101, False, 6),
    ("ct_system-4.2", "OneToContainThemAll", 102, False, 64),
    ("ct_system-4.2", "alarm_status", 1001, False, 1),
    ("ct_system-3.2.3", "Multiplexed", 4, False, 2),
    ("ct_system-3.2.3", "Status", 123, False, 3),
    ("ct_system-float-values", "Test_Frame", 0xDA, False, 2),
]


@pytest.mark.parametrize("name,pdu,identifier,extended,length", ARXML_FRAMES)
def test_arxml_frames(name, pdu, identifier, extended, length):
    found = load(f"arxml/{name}.arxml").pdu(pdu)
    assert (found.identifier, found.is_extended, found.length) == (identifier, extended, length)


# (file, pdu, signal, start, length, byte order, minimum, maximum, unit)
ARXML_SIGNALS = [
    ("ct_system-4.2", "message1", "signal1", 36, 3, "big_endian", 0, 20, "m"),
    ("ct_system-4.2", "message1", "signal5", 40, 32, "little_endian", 0, 0, ""),
    ("ct_system-4.2", "message2", "signal2", 18, 11, "little_endian", 0, 0, ""),
    ("ct_system-4.2", "message3_secured", "message3_secured_Freshness", 39, 6, "big_endian", 0, 0,
     ""),
    ("ct_system-4.2", "message3_secured", "message3_secured_Authenticator", 33, 10, "big_endian",
     0, 0, ""),
    ("ct_system-3.2.3", "Status", "SequenceCounter", 12, 4, "little_endian", 0, 0, ""),
    ("ct_system-3.2.3", "Status", "Movement", 21, 3, "little_endian", 10, 17.5, ""),
    ("ct_system-float-values", "Test_Frame", "IMessage_2", 7, 7, "big_endian", 0, 127, ""),
    ("ct_system-float-values", "Test_Frame", "IMessage_1", 15, 5, "big_endian", 0, 31, ""),
]


@pytest.mark.parametrize("name,pdu,signal,start,length,order,minimum,maximum,unit", ARXML_SIGNALS)
def test_arxml_signals(name, pdu, signal, start, length, order, minimum, maximum, unit):
    found = load(f"arxml/{name}.arxml").pdu(pdu).signal(signal)
    assert (found.start_position, found.length, found.byte_order, found.minimum, found.maximum,
            found.unit) == (start, length, order, minimum, maximum, unit)


def test_arxml_choices_and_scaling():
    db = load("arxml/ct_system-4.2.arxml")
    # signal6: raw 0 is "zero"; signal4: {1: "one", 2: "two"}; signal1 scales by 5.
    assert db.decode(5, bytes(9))["signal6"] == "zero"
    assert db.decode(6 | 0x80000000, b"\x00\x00\x00\x80\x00\x00\x00")["signal4"] == "two"
    assert db.decode(5, b"\x00\x00\x00\x00\x04\x00\x00\x00\x00")["signal1"] == 5
    status = load("arxml/ct_system-3.2.3.arxml")
    assert status.decode(123, b"\x00\x00\x10")["Position"] == "BACKWARD_POSITION"
    assert status.decode(123, b"\x00\x00\x60")["Movement"] == 17.5
