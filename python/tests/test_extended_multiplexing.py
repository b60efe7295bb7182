"""Extended multiplexing (SG_MUL_VAL_ of tolerant DBC reading): decode, decode_many and encode
select signals by the multiplexer ranges, in DBC files and in the network model. Frames are
built here bit by bit from the file's layout, independent of the package."""
import math

import pytest

from conftest import CORPUS, quillmere, require_corpus

DBC = CORPUS / "dbc"


def frame(*fields, size=8):
    """A payload from little-endian fields (start bit, length, value)."""
    bits = 0
    for start, length, value in fields:
        bits |= (value & ((1 << length) - 1)) << start
    return bits.to_bytes(size, "little")


def carried(codec, key, payload):
    return sorted(codec.decode(key, payload, decode_choices=False))


MULTIPLEX_2 = [
    # Shared: S0 (bits 0-3) selects S1 for 1 and 3, S2 for 2 to 5.
    (2349006590, [(0, 4, 0)], ["S0"]),
    (2349006590, [(0, 4, 1)], ["S0", "S1"]),
    (2349006590, [(0, 4, 3)], ["S0", "S1", "S2"]),
    (2349006590, [(0, 4, 5)], ["S0", "S2"]),
    (2349006590, [(0, 4, 6)], ["S0"]),
    # Normal: no SG_MUL_VAL_, the switch S0 selects S1 (m0) and S2 (m1).
    (2348941054, [(0, 4, 0)], ["S0", "S1"]),
    (2348941054, [(0, 4, 1)], ["S0", "S2"]),
    # Extended: S0 selects S1 for 0 and S5 for 1; S1 selects S2, S3 for 0 and S4 for 2;
    # S6 selects S7 for 1 and S8 for 2.
    (2348875518, [(0, 4, 0), (4, 4, 0), (32, 8, 1)], ["S0", "S1", "S2", "S3", "S6", "S7"]),
    (2348875518, [(0, 4, 0), (4, 4, 2), (32, 8, 2)], ["S0", "S1", "S4", "S6", "S8"]),
    (2348875518, [(0, 4, 1), (4, 4, 0), (32, 8, 0)], ["S0", "S5", "S6"]),
    # ExtendedTypes: S11 selects S9 for 5 and S0 for 3; S0 selects S10 for 0.
    (2349072126, [(0, 5, 3), (8, 4, 0)], ["S0", "S10", "S11"]),
    (2349072126, [(0, 5, 3), (8, 4, 1)], ["S0", "S11"]),
    (2349072126, [(0, 5, 5)], ["S11", "S9"]),
    (2349072126, [(0, 5, 4)], ["S11"]),
]


@pytest.fixture(scope="module")
def multiplex_2():
    require_corpus("dbc")
    return quillmere.load(DBC / "cantools__multiplex_2.dbc", tolerant=True)


@pytest.mark.parametrize("frame_id,fields,names", MULTIPLEX_2)
def test_multiplex_2_selects_by_ranges_and_chains(multiplex_2, frame_id, fields, names):
    assert carried(multiplex_2, frame_id, frame(*fields)) == names


def test_multiplex_2_in_the_network_model(multiplex_2):
    config = quillmere.NetworkConfig(DBC / "cantools__multiplex_2.dbc", tolerant=True)
    for frame_id, fields, names in MULTIPLEX_2:
        # The network model keys the extended identifiers without their flag.
        assert carried(config, frame_id & 0x1FFFFFFF, frame(*fields)) == names, frame_id


def test_exact_reading_stops_and_knows_no_ranges():
    require_corpus("dbc")
    exact = quillmere.load(DBC / "cantools__multiplex_2.dbc", exact=True)
    # The exact reader stops at the first SG_MUL_VAL_ line and keeps the switch rule.
    assert exact.status != 0
    assert carried(exact, 2348941054, frame((0, 4, 1))) == ["S0", "S2"]


def test_vw_pq_selects_the_motor_and_brake_variants():
    require_corpus("dbc")
    for codec in (quillmere.load(DBC / "opendbc__vw_pq.dbc", tolerant=True),
                  quillmere.NetworkConfig(DBC / "opendbc__vw_pq.dbc", tolerant=True)):
        off = carried(codec, 416, frame((1, 1, 0)))
        on = carried(codec, 416, frame((1, 1, 1)))
        assert "BR1_ASRMo_fa" in off and "BR1_MSR_Mo_inv" not in off
        assert "BR1_ASRMo_fa" not in on and "BR1_MSR_Mo_inv" in on
        codes = ["MO2_CAN_Vers", "MO2_Motor_Code", "MO2_Getr_Code", "MO2_max_Mo"]
        for value in range(4):
            names = carried(codec, 648, frame((6, 2, value)))
            assert [c for c in codes if c in names] == [codes[value]]
            assert "MO2_Mp_Code" in names and "MO2_Kuehlm_T" in names


def test_decode_many_and_encode_follow_the_ranges(multiplex_2):
    payloads = [frame((0, 4, 0), (4, 4, s1), (32, 8, s6)) for s1 in range(4) for s6 in range(4)]
    payloads += [frame((0, 4, 1), (4, 4, 0), (32, 8, 1))]
    columns = multiplex_2.decode_many(2348875518, payloads)
    for i, payload in enumerate(payloads):
        one = multiplex_2.decode(2348875518, payload, decode_choices=False)
        for name, column in columns.items():
            if name in one:
                assert column[i] == one[name], (i, name)
            else:
                assert math.isnan(column[i]), (i, name)
    # Encode writes what the multiplexers given select, and refuses the rest when strict.
    payload = multiplex_2.encode(2348875518, {"S0": 0, "S1": 2, "S4": 7, "S6": 2, "S8": -3})
    assert multiplex_2.decode(2348875518, payload) == {
        "S0": 0.0, "S1": 2.0, "S4": 7.0, "S6": 2.0, "S8": -3.0}
    with pytest.raises(ValueError, match="'S4'.*multiplexer 'S1'"):
        multiplex_2.encode(2348875518, {"S0": 0, "S1": 0, "S4": 7})
    with pytest.raises(ValueError, match="'S1'.*multiplexer 'S0'"):
        multiplex_2.encode(2348875518, {"S0": 1, "S1": 0})


def test_a_looping_or_unknown_multiplexer_warns_and_decodes(tmp_path):
    path = tmp_path / "loop.dbc"
    path.write_bytes(b"""VERSION ""

NS_ :

BS_:

BU_: A

BO_ 1 M: 8 A
 SG_ Mux M : 0|4@1+ (1,0) [0|15] "" A
 SG_ Sub m1M : 4|4@1+ (1,0) [0|15] "" A
 SG_ Leaf m2 : 8|8@1+ (1,0) [0|255] "" A

SG_MUL_VAL_ 1 Sub Mux 6-4;
SG_MUL_VAL_ 1 Mux Sub 1-1;
SG_MUL_VAL_ 1 Leaf Nobody 1-1;
SG_MUL_VAL_ 1 Leaf Sub 2-3, 9-9;
""")
    db = quillmere.load(path, tolerant=True)
    assert any(line.startswith("WARNING.") and "loops" in line for line in db.log)
    assert any("Nobody" in line for line in db.log)
    # The reversed range is read as 4-6; the loop line is skipped.
    assert carried(db, 1, frame((0, 4, 5), (4, 4, 3))) == ["Leaf", "Mux", "Sub"]
    assert carried(db, 1, frame((0, 4, 5), (4, 4, 4))) == ["Mux", "Sub"]
    assert carried(db, 1, frame((0, 4, 7), (4, 4, 3))) == ["Mux"]
