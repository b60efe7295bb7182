"""Agreement with odxtools on the PDX of its own examples (somersault.pdx): the services each
variant has after inheritance, the request bytes for given values and the parameters decoded
from given bytes, as odxtools' tests expect them (test_somersault.py, test_odxtools.py). The
tool's `decode-diag` and `encode-request` give the same, being built beside the module."""
import pathlib
import subprocess

import pytest

from conftest import CORPUS, quillmere

SOMERSAULT = CORPUS / "diag" / "somersault.pdx"
TOOL = pathlib.Path(quillmere.__file__).resolve().parents[1] / "tools" / "quillmere" / "quillmere"

pytestmark = pytest.mark.skipif(not SOMERSAULT.exists(), reason="no corpus")


@pytest.fixture(scope="module")
def ecus():
    return {e.name: e for e in quillmere.load(SOMERSAULT).ecus}


def service(ecus, ecu, name):
    return next(s for s in ecus[ecu].services if s.name == name)


def flat(parameters):
    """name -> value, a structure or table row as a dict of its own parameters."""
    return {p["name"]: flat(p["parameters"]) if "parameters" in p else p["value"]
            for p in parameters}


# The lazy variant leaves out do_backward_flips and set_operation_params; odxtools lists its
# diagnostic communications as these plus the job compulsory_program (jobs are no services
# here) and schroedinger, which this file's base variant holds beside them.
SERVICES = {
    "somersault_base_variant": {"session_start", "session_stop", "tester_present",
                                "set_operation_params", "do_forward_flips",
                                "do_backward_flips", "report_status", "schroedinger"},
    "somersault_lazy": {"session_start", "session_stop", "tester_present",
                        "do_forward_flips", "report_status", "schroedinger"},
    "somersault_assiduous": {"session_start", "session_stop", "tester_present",
                             "set_operation_params", "do_forward_flips",
                             "do_backward_flips", "report_status", "schroedinger",
                             "headstand"},
}


@pytest.mark.parametrize("ecu", sorted(SERVICES))
def test_services_after_inheritance(ecus, ecu):
    assert {s.name for s in ecus[ecu].services} == SERVICES[ecu]


def test_service_groups_of_the_lazy_variant(ecus):
    # odxtools bins the lazy variant's services by their first byte into 4 groups.
    ids = {}
    for s in ecus["somersault_lazy"].services:
        if s.service_id:
            ids.setdefault(s.service_id, []).append(s.name)
    assert ids == {0x10: ["session_start", "session_stop"], 0xBA: ["do_forward_flips"],
                   0x3E: ["tester_present"], 0x22: ["report_status"]}


@pytest.mark.parametrize("ecu, name, values, hex_bytes", [
    ("somersault_lazy", "do_forward_flips", {"forward_soberness_check": 0x12, "num_flips": 3},
     "ba1203"),
    ("somersault_lazy", "do_forward_flips", {"forward_soberness_check": 0x12, "num_flips": 12},
     "ba120c"),
    ("somersault_assiduous", "do_backward_flips",
     {"backward_soberness_check": 0x21, "num_flips": 2}, "bb2102"),
    ("somersault_assiduous", "headstand", {"duration": 0x45}, "0345"),
    ("somersault_lazy", "tester_present", {}, "3e00"),
    ("somersault_base_variant", "set_operation_params", {"use_fire_ring": "true"}, "bd01"),
    ("somersault_assiduous", "set_operation_params", {"use_fire_ring": "false"}, "bd00"),
])
def test_requests_encode(ecus, ecu, name, values, hex_bytes):
    assert service(ecus, ecu, name).encode_request(**values).hex() == hex_bytes
    args = [f"{k}={v}" for k, v in values.items()]
    if TOOL.exists():
        out = subprocess.run([TOOL, "encode-request", SOMERSAULT, ecu, name, *args],
                             capture_output=True, text=True, check=True).stdout
        assert out.split() == [hex_bytes[i:i + 2].upper() for i in range(0, len(hex_bytes), 2)]


@pytest.mark.parametrize("ecu, name, values, words", [
    ("somersault_lazy", "do_forward_flips",
     {"forward_soberness_check": 0x12, "num_flips": 5, "grass_level": "what grass?"},
     "no parameter 'grass_level'"),
    ("somersault_lazy", "do_forward_flips", {"forward_soberness_check": 0x12},
     "missing parameter 'num_flips'"),
])
def test_requests_refused(ecus, ecu, name, values, words):
    with pytest.raises(ValueError, match=words):
        service(ecus, ecu, name).encode_request(**values)


def test_the_lazy_variant_does_no_backward_flips(ecus):
    assert "do_backward_flips" not in {s.name for s in ecus["somersault_lazy"].services}
    if TOOL.exists():
        run = subprocess.run([TOOL, "encode-request", SOMERSAULT, "somersault_lazy",
                              "do_backward_flips", "backward_soberness_check=1", "num_flips=1"],
                             capture_output=True, text=True)
        assert run.returncode != 0 and "no service 'do_backward_flips'" in run.stderr


@pytest.mark.parametrize("ecu, hex_bytes, name, kind, values", [
    ("somersault_assiduous", "0345", "headstand", "request", {"sid": 0x03, "duration": 0x45}),
    ("somersault_assiduous", "bb2102", "do_backward_flips", "request",
     {"sid": 0xBB, "backward_soberness_check": 0x21, "num_flips": 0x02}),
    # A matching-request parameter decodes as a number (odxtools 1.x gave bytes).
    ("somersault_lazy", "fa03ff", "do_forward_flips", "positiveResponse",
     {"sid": 0xFA, "num_flips_done": 0x03, "sault_time": 255}),
    ("somersault_lazy", "7fba0205", "do_forward_flips", "negativeResponse",
     {"sid": 0x7F, "rq_sid": 0xBA, "reason": 2, "flips_successfully_done": 5}),
    # The global negative response too_hot, encoded with temperature=35.
    ("somersault_assiduous", "7ffea723", None, "negativeResponse",
     {"sid": 0x7F, "too_hot_dummy": 0xFE, "too_hot_id": 0xA7, "temperature": 35}),
    ("somersault_lazy", "7ffea723", None, "negativeResponse",
     {"sid": 0x7F, "too_hot_dummy": 0xFE, "too_hot_id": 0xA7, "temperature": 35}),
    # Table parameters: the key's text is the table row's name, the table structure the row.
    ("somersault_assiduous", "620c64007b", "report_status", "positiveResponse",
     {"sid": 0x62, "dizzyness_level": 12, "happiness_level": 100,
      "last_pos_response_key": 0, "last_pos_response": {"none": {"none": 123}}}),
    ("somersault_assiduous", "622a5c03fa7bf9", "report_status", "positiveResponse",
     {"sid": 0x62, "dizzyness_level": 42, "happiness_level": 92, "last_pos_response_key": 3,
      "last_pos_response": {"forward_grudging": {"sid": 0xFA, "num_flips_done": 123,
                                                 "sault_time": 249}}}),
    ("somersault_assiduous", "624b030afb0596", "report_status", "positiveResponse",
     {"sid": 0x62, "dizzyness_level": 75, "happiness_level": 3, "last_pos_response_key": 10,
      "last_pos_response": {"backward_grudging": {"sid": 0xFB, "num_flips_done": 5,
                                                  "grumpiness_level": 150}}}),
])
def test_messages_decode(ecus, ecu, hex_bytes, name, kind, values):
    decoded = ecus[ecu].decode(bytes.fromhex(hex_bytes))
    assert (decoded["service"], decoded["kind"]) == (name, kind)
    assert flat(decoded["parameters"]) == values


@pytest.mark.parametrize("hex_bytes, row", [("620c64007b", "none"),
                                            ("622a5c03fa7bf9", "forward_grudging"),
                                            ("624b030afb0596", "backward_grudging")])
def test_table_key_names_its_row(ecus, hex_bytes, row):
    decoded = ecus["somersault_assiduous"].decode(bytes.fromhex(hex_bytes))
    key = next(p for p in decoded["parameters"] if p["name"] == "last_pos_response_key")
    assert key["text"] == row
    if TOOL.exists():
        out = subprocess.run([TOOL, "decode-diag", SOMERSAULT, "somersault_assiduous", hex_bytes],
                             capture_output=True, text=True, check=True).stdout
        assert f"'{row}'" in out and "report_status, positiveResponse" in out


def test_boolean_text_table(ecus):
    # The data object "boolean" of session_start's response: "false" 0, "true" 1.
    lazy = ecus["somersault_lazy"]
    for hex_bytes, text in (("5000", "false"), ("5001", "true")):
        decoded = lazy.decode(bytes.fromhex(hex_bytes))
        assert decoded["service"] == "session_start"
        assert decoded["parameters"][1]["name"] == "can_do_backward_flips"
        assert decoded["parameters"][1]["text"] == text


def test_short_name_reference_resolves_where_the_request_is_defined(ecus):
    # schroedinger's DOP-SNREF resolves in the base variant that holds the request (its
    # signed byte), for the variants that inherit it too, as odxtools resolves it.
    for ecu in ("somersault_base_variant", "somersault_lazy", "somersault_assiduous"):
        assert service(ecus, ecu, "schroedinger").encode_request(schroedinger_param=-5) == b"\xfb"
        with pytest.raises(ValueError, match="-128..127"):
            service(ecus, ecu, "schroedinger").encode_request(schroedinger_param=200)
