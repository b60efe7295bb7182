"""LIN frames through their encodings, and messages of the network configuration that gathers
DBC, LDF and ARXML files."""
import pytest

from conftest import EXAMPLES, quillmere


@pytest.fixture
def body():
    return quillmere.load(EXAMPLES / "body.ldf")


def test_ldf_model_reads_as_python(body):
    assert body.ok and body.status == quillmere.LdfStatus.LOADED
    assert (body.protocol_version, body.speed, body.channel_name) == ("2.1", 19.2, "Body")
    assert [f.name for f in body] == ["LightCommand", "LeftStatus", "RightStatus", "LeftSerial"]
    assert body.master.name == "BodyController" and body.master.time_base == 5.0
    left = body.node("LeftDoor")
    assert left.configured_nad == 0x21 and left.product_id == (0x1E2F, 0x0101, 1)
    assert (left.initial_nad, left.p2_min, left.st_min, left.n_as_timeout) == (1, 50.0, 0.0, 1000.0)
    assert left.response_error.name == "LeftError" and left.response_tolerance is None
    assert [name for name, _ in left.configurable_frames] == ["LeftStatus", "LeftSerial", "DoorEvent"]
    assert body.node("RightDoor").initial_nad is None and body.master.configurable_frames is None
    assert left.protocol == "2.1"  # the version, without the quotes of its statement
    assert body["LeftStatus"].publisher == left
    assert body.signal("Dimming").choices == {255: "invalid"}
    assert body.event_triggered_frames[0].collision_schedule.name == "DoorCollisions"
    assert ("frame", "LeftStatus", 10) in body.schedule_tables[2].entries or \
        body.schedule_tables[2].entries[0][1] == "LeftStatus"


def test_ldf_encodings_decode_and_encode(body):
    payload = body.encode("LightCommand", {"LightRequest": "auto", "Dimming": 37.5})
    assert payload == bytes([2, 75])
    assert body.decode(0x10, payload) == {"LightRequest": "auto", "Dimming": 37.5}
    assert body.decode(0x10, bytes([3, 255])) == {"LightRequest": "not available", "Dimming": "invalid"}
    assert body.decode(0x10, bytes([3, 255]), decode_choices=False) == {"LightRequest": 3.0, "Dimming": 255.0}
    assert body.decode("LeftStatus", bytes([0, 1, 7, 65]))["LeftTemperature"] == 25.0
    with pytest.raises(ValueError, match="Dimming"):
        body.encode("LightCommand", {"Dimming": 150})
    # A byte array reads as its bytes.
    serial = body.encode("LeftSerial", {"DoorSerial": b"\x01\x02\x03\x04"})
    assert body.decode("LeftSerial", serial) == {"DoorSerial": b"\x01\x02\x03\x04"}
    columns = body.decode_many("LightCommand", [bytes([1, 10]), bytes([0, 200])])
    assert columns["Dimming"].tolist() == [5.0, 100.0]


def test_network_configuration_gathers_every_format():
    config = quillmere.NetworkConfig([EXAMPLES / "powertrain.dbc", EXAMPLES / "body.ldf",
                                      EXAMPLES / "bus_system.arxml"])
    assert all(r == quillmere.LoadResult.OK for r in config.results[:2])
    kinds = [db.bus_type for db in config]
    assert kinds[:2] == [quillmere.BusType.CAN, quillmere.BusType.LIN]
    assert len(config) == len(config.databases) >= 3
    can = config[0]
    assert can.message("EngineData").frame_id == 0x100
    assert config.database(can.name).name == config[can.name].name == can.name
    assert config.database("NoSuchBus") is None
    decoded = config[1].decode(0x10, bytes([2, 75]))  # the LIN bus through its encodings
    assert decoded["LightRequest"] == "auto" and decoded["Dimming"] == 37.5


def test_network_messages_decode_like_their_dbc():
    dbc = quillmere.load(EXAMPLES / "powertrain.dbc")
    config = quillmere.NetworkConfig(EXAMPLES / "powertrain.dbc")
    payload = bytes([0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88])
    for message in dbc:
        if message.multiplexer is not None or any(s.is_float for s in message):
            continue  # the network model has neither multiplexing nor float signals
        net = config.message_by_id(message.frame_id)
        assert net is not None and net.name == message.name
        assert net.decode(payload, decode_choices=False) == message.decode(payload, decode_choices=False)
        assert config.decode(message.frame_id, payload) == config[0].decode(message.frame_id, payload)
    values = {"EngineSpeed": 1500.0, "CoolantTemp": 90.0, "OilPressure": 4.0}
    assert config.encode(0x100, values) == dbc.encode(0x100, values)


def test_glued_delay_unit_reads_unless_exact(tmp_path):
    # "delay 10ms" stops the described reader (result 28); as written it reads as "10 ms".
    text = (EXAMPLES / "body.ldf").read_text()
    glued = text.replace(" ms;", "ms;")
    assert glued != text
    path = tmp_path / "glued.ldf"
    path.write_text(glued)
    exact = quillmere.load(path, exact=True)
    assert not exact.ok and exact.status == 28
    tolerant = quillmere.load(path)
    assert tolerant.ok and any("read as \"20 ms\"" in line for line in tolerant.log)
    assert [len(t.entries) for t in tolerant.schedule_tables] == \
        [len(t.entries) for t in quillmere.load(EXAMPLES / "body.ldf").schedule_tables]
    assert quillmere.NetworkConfig(path).databases and not quillmere.NetworkConfig(path, exact=True).databases


@pytest.mark.parametrize("entry, payload, value", [
    ("bcd_value", bytes([1, 2, 3, 4]), 1234),
    ("ascii_value", b"AB\x00\x00", "AB\x00\x00"),
])
def test_byte_arrays_read_as_digits_or_text(tmp_path, entry, payload, value):
    # The serial's encoding reads its bytes as a decimal (a digit a byte) or as text.
    text = (EXAMPLES / "body.ldf").read_text()
    text = text.replace("Signal_encoding_types {", "Signal_encoding_types {\n    Serial {\n        %s;\n    }" % entry)
    text = text.replace("Signal_representation {", "Signal_representation {\n    Serial: DoorSerial;")
    path = tmp_path / "serial.ldf"
    path.write_text(text)
    db = quillmere.load(path)
    assert db.ok
    assert db.decode("LeftSerial", payload) == {"DoorSerial": value}
    assert db.encode("LeftSerial", {"DoorSerial": value}) == payload
    log = tmp_path / "serial.log"
    log.write_text(f"(1.0) lin0 013#{payload.hex()}\n")
    columns = db.decode_log(log, columns=True)
    expected = value if entry == "bcd_value" else int.from_bytes(payload, "little")
    assert list(columns["LeftSerial"]["DoorSerial"]) == [expected]
