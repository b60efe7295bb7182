"""Diagnostic databases: quillmere.load of CDD, ODX and PDX, requests encoded with checks and
messages decoded into the structure of `quillmere decode-diag --json`."""
import pytest

from conftest import CORPUS, EXAMPLES, quillmere

SOMERSAULT = CORPUS / "diag" / "somersault.pdx"


def ecu_named(db, name):
    return next(e for e in db.ecus if e.name == name)


def service_named(ecu, name):
    return next(s for s in ecu.services if s.name == name)


def test_cdd_requests_are_checked_and_responses_decoded():
    door = quillmere.load(EXAMPLES / "door_ecu.cdd").ecus[0]
    session = service_named(door, "Extended Session Start")
    assert session.encode_request(Session=1) == b"\x10\x01"
    assert session.encode_request(Session="0x03") == b"\x10\x03"
    for bad, words in ((256, "outside its valid range 0..255"), (-1, "outside"),
                       ("Fast", "'Fast' is no number")):
        with pytest.raises(ValueError, match=words):
            session.encode_request(Session=bad)
    with pytest.raises(ValueError, match="no parameter 'Nope'"):
        session.encode_request(Nope=1)
    decoded = door.decode(bytes.fromhex("62F190") + b"WVWZZZ1KZ6D123456")
    assert decoded["service"] == "Vehicle Identification Number Read"
    assert decoded["kind"] == "positiveResponse"
    assert [p["name"] for p in decoded["parameters"]] == ["SID-PR", "Identifier", "Data"]
    assert decoded["parameters"][1]["raw"] == 0xF190
    assert decoded["parameters"][2]["value"] == "WVWZZZ1KZ6D123456"
    # What an ECU sends need not be UTF-8: such bytes read as U+FFFD, the raw value keeps them.
    odd = door.decode(bytes.fromhex("62F190") + b"WVW\xffZZ1KZ6D12345\xe9")["parameters"][2]
    assert odd["value"] == "WVW\ufffdZZ1KZ6D12345\ufffd"
    assert odd["raw"] == b"WVW\xffZZ1KZ6D12345\xe9"
    assert door.decode(b"\xAA\xBB")["service"] is None


def test_cdd_language_follows_the_file_or_the_choice():
    english = quillmere.load(EXAMPLES / "door_ecu.cdd").ecus[0]
    assert any(s.name == "Extended Session Start" for s in english.services)
    german = quillmere.load(EXAMPLES / "door_ecu.cdd", exact=True).ecus[0]
    assert any(s.name == "Erweiterte Sitzung Start" for s in german.services)


@pytest.mark.skipif(not SOMERSAULT.exists(), reason="no corpus")
def test_odx_inheritance_and_codec_as_written():
    db = quillmere.load(SOMERSAULT)
    assert {e.name: len(e.services) for e in db.ecus} == {
        "somersault_base_variant": 8, "somersault_lazy": 6, "somersault_assiduous": 9,
        "somersault_protocol": 0}
    assert [e.layer for e in db.ecus] == ["BASE-VARIANT", "ECU-VARIANT", "ECU-VARIANT", "PROTOCOL"]
    exact = quillmere.load(SOMERSAULT, exact=True)
    assert {e.name: len(e.services) for e in exact.ecus}["somersault_lazy"] == 0
    assert {e.layer for e in exact.ecus} == {None}
    lazy = ecu_named(db, "somersault_lazy")
    flips = service_named(lazy, "do_forward_flips")
    request = flips.encode_request(forward_soberness_check=0x12, num_flips=3)
    assert request == bytes.fromhex("BA1203")
    with pytest.raises(ValueError, match="missing parameter 'num_flips'"):
        flips.encode_request(forward_soberness_check=0x12)
    decoded = lazy.decode(request)
    assert (decoded["service"], decoded["kind"]) == ("do_forward_flips", "request")
    assert [p["value"] for p in decoded["parameters"]] == [0xBA, 0x12, 3]
    # A negative response no service describes: the global one the variant inherits.
    hot = lazy.decode(bytes.fromhex("7FFEA732"))
    assert (hot["service"], hot["kind"]) == (None, "negativeResponse")
    assert [p["name"] for p in hot["parameters"]][-1] == "temperature"
