"""Agreement with canmatrix on the corpus files that come from canmatrix's own test suite: the
names, layouts and lookups its tests expect are what the as-written reading gives here too."""
import pathlib
import re

import pytest

from conftest import CORPUS, quillmere, require_corpus


def load(name):
    require_corpus(name.split("/")[0])
    return quillmere.load(CORPUS / name)


# (file, cluster, PDU a frame carries, its signals in order): canmatrix's test_arxml reads the
# container's first contained PDU and the signals of the secured PDU's payload.
ARXML_PDUS = [
    ("arxml/cm_ARXMLContainerTest.arxml", "New_CanCluster", "PDU_Contained_1",
     ["PDU_Contained_1_Signal1", "PDU_Contained_1_Signal2", "PDU_Contained_1_Signal3"]),
    ("arxml/cm_ARXMLSecuredPDUTest.arxml", "CAN", "PDU_testFrame1", ["someTestSignal", "Signal"]),
]


@pytest.mark.parametrize("name,cluster,pdu,signals", ARXML_PDUS)
def test_arxml_pdu_signals(name, cluster, pdu, signals):
    db = load(name)
    assert db.cluster(cluster) is not None
    assert [s.name for s in db.pdu(pdu).signals] == signals


# The secured PDU's signal comment ends in a character reference, which canmatrix's XML parser
# (and so its test) reads as the character; so does the as-written reading.
def test_arxml_description_characters():
    descriptions = [s.description for s in load("arxml/cm_ARXMLSecuredPDUTest.arxml")
                    .pdu("PDU_testFrame1").signals]
    assert "Multi\nLine\nSignal comment with a-umlaut: \u00e4" in descriptions


# (file, frame key, payload, decoded): the container's short header (id 15, length 4) carries
# PDU_Contained_1; the secured frame 291 carries PDU_testFrame1 as its payload.
DECODES = [
    ("arxml/cm_ARXMLContainerTest.arxml", 100, bytes([0, 0, 15, 4, 1, 2, 3, 4]) + bytes(8),
     {"PDU_Contained_1_Signal1": 1, "PDU_Contained_1_Signal2": 515,
      "PDU_Contained_1_Signal3": 4}),
    ("arxml/cm_ARXMLSecuredPDUTest.arxml", 291, bytes(8), {"someTestSignal": 1, "Signal": 0}),
    ("arxml/cm_ARXMLSecuredPDUTest.arxml", "FRAME_testFrame1_SEC", bytes(8),
     {"someTestSignal": 1, "Signal": 0}),
]


def prefixed_copy(name, folder):
    """The document with its elements in a prefix bound to the AUTOSAR namespace, as some tools
    write it; canmatrix (lxml) reads it as the original."""
    require_corpus(name.split("/")[0])
    text = (CORPUS / name).read_text(encoding="utf-8")
    text = re.sub(r"<(/?)([A-Z])", r"<\1ar:\2", text).replace('xmlns="', 'xmlns:ar="', 1)
    copy = folder / pathlib.Path(name).name
    copy.write_text(text, encoding="utf-8")
    return copy


@pytest.mark.parametrize("prefixed", [False, True])
@pytest.mark.parametrize("name,frame,payload,decoded", DECODES)
def test_arxml_frame_decode(name, frame, payload, decoded, prefixed, tmp_path):
    db = quillmere.load(prefixed_copy(name, tmp_path)) if prefixed else load(name)
    assert db.decode(frame, payload) == decoded


# canmatrix's j1939 decoder names these identifiers by their parameter group in j1939.dbc
# (priority and source address left out).
J1939 = [(0xCF00203, "ETC1"), (0xFE4A03, "ETC7"), (0xC010305, "TC1"), (0x0CF00400, "EEC1")]


def pgn(frame_id):
    pdu_format = (frame_id >> 16) & 0xFF
    group = (frame_id >> 8) & 0x3FFFF
    return group & 0x3FF00 if pdu_format < 240 else group


@pytest.mark.parametrize("frame_id,message", J1939)
def test_j1939_parameter_groups(frame_id, message):
    db = load("dbc/canmatrix__j1939.dbc")
    found = [m.name for m in db.messages if m.is_extended and pgn(m.frame_id) == pgn(frame_id)]
    assert found == [message]


def test_ldf_example_loads():
    db = load("ldf/canmatrix__LIN_LDF_EXAMPLE.ldf")
    assert len(db.frames) == 9 and len(db.signals) == 62
    assert [(f.name, f.frame_id, f.length) for f in db.frames[:2]] == [
        ("SG_BatteryConfig", 17, 6), ("IBS_DataAcquisition", 33, 8)]
