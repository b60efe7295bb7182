"""Decoding through Python: real files load as the tool reads them, exact integers where the
scaling keeps integers, the duplicate-name keys, and ARXML decoding by identifier or PDU name.
(The frame codec itself is checked against a bit-by-bit reference over the whole corpus by the
library's codec tests; these check what the binding adds.)"""
import random

import pytest

from conftest import CORPUS, EXAMPLES, quillmere, require_corpus


def test_load_reads_real_files_as_the_tool_does():
    require_corpus("dbc")
    assert len(quillmere.load(CORPUS / "dbc" / "opendbc__tesla_can.dbc").messages) == 44
    assert len(quillmere.load(CORPUS / "dbc" / "cantools__foobar.dbc").messages) == 5
    assert len(quillmere.load(CORPUS / "dbc" / "opendbc__tesla_can.dbc", exact=True).messages) == 0
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
VAL_ 256 Counter 5000000000 "Big" ;
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
    # A value text of a number beyond 32 bits.
    assert db.decode(256, (5000000000).to_bytes(8, "little")) == {"Counter": "Big"}
    # A short payload gives the signals it holds, an empty one none.
    assert db.decode(257, bytes([0x65, 0x02])) == {"Speed": 61.3}
    assert db.decode(256, b"") == {}


def test_integers_beyond_64_bits(tmp_path):
    """Integer scaling of a 64-bit field is an exact int beyond both 64-bit ranges (the codec's
    exact decimal scaling of long factors: the library's codec tests)."""
    path = tmp_path / "numbers.dbc"
    path.write_bytes(b"""VERSION ""

BU_: A

BO_ 258 Signed64: 8 A
 SG_ Wide : 7|64@0- (3,-7) [0|0] "" A
""")
    db = quillmere.load(path)
    payload = (10699022913388659168).to_bytes(8, "big")
    assert db.decode(258, payload) == {"Wide": -23243163480962677351}
    # Encoding takes such a value back (up to 128 bits; beyond, the number is too large).
    assert db.encode(258, {"Wide": -23243163480962677351}) == payload
    with pytest.raises(ValueError, match="too large"):
        db.encode(258, {"Wide": 2**130})


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


def test_container_frames_decode_their_pdus_alike_everywhere(tmp_path):
    """A container that sends PDUs behind headers: an encode sends the PDUs given values, and
    decode, decode_many and log columns read each PDU where its header puts it."""
    require_corpus("arxml")
    db = quillmere.load(CORPUS / "arxml" / "ct_system-4.2.arxml")
    name = "OneToContainThemAll"
    both = db.encode(name, {"signal1": 10, "signal2": 5, "signal3": 1})
    assert both[:4] == bytes.fromhex("0a0b0c09") and len(both) == 4 + 9 + 4 + 7
    # The same PDUs the other way round, and one PDU alone.
    swapped = both[13:] + both[:13]
    alone = bytes.fromhex("0102030401020000")
    payloads = [both, swapped, alone]
    decoded = [db.decode(name, p) for p in payloads]
    assert decoded[0] == decoded[1]
    assert decoded[0]["signal1"] == 10 and decoded[0]["signal2"] == 5
    assert decoded[2] == {"message3_CRC": 1, "message3_SeqCounter": 2}
    # A secured PDU's trailer: 6 bits of freshness value, 10 of authenticator.
    secured = db.decode(name, bytes.fromhex("040506069b4ae3fd78a5"))
    assert secured["message3_secured_Freshness"] == 30
    assert secured["message3_secured_Authenticator"] == 165
    log = tmp_path / "container.log"
    log.write_text("".join(f"({i}.0) can0 066##0{p.hex()}\n" for i, p in enumerate(payloads)))
    for columns in (db.decode_many(name, payloads),
                    db.decode_log(log, columns=True)[name]):
        for row, values in enumerate(decoded):
            for key, column in columns.items():
                if key in ("timestamp", "channel"):
                    continue
                if key in values:
                    assert column[row] == db.decode(name, payloads[row],
                                                    decode_choices=False)[key], key
                else:
                    assert column[row] != column[row], key  # NaN: not sent


def test_arxml_initial_values_are_read_as_written_only():
    require_corpus("arxml")
    path = CORPUS / "arxml" / "ct_system-3.2.3.arxml"
    initial = {s.name: s.init_value for s in quillmere.load(path).signals}
    assert initial["Hello"] == 7.0 and initial["Sleeps"] == 1.0  # an integer and a boolean
    # The code of the dynamic part marked initial.
    assert quillmere.load(path).pdu("Multiplexed").signal("Selector").init_value == 0.0
    assert all(s.init_value is None for s in quillmere.load(path, exact=True).signals)
