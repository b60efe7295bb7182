"""Extended multiplexing (SG_MUL_VAL_ of tolerant DBC reading) through the binding: decode
and encode of a DBC file and of the network model select signals by the multiplexer
ranges. (Which signal each range selects, on every path, is checked by the library's tests;
these check the binding's keyword, keys and error texts.)"""
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


# The frame "Extended": S0 selects S1 for 0 and S5 for 1; S1 selects S2, S3 for 0 and S4 for 2;
# S6 selects S7 for 1 and S8 for 2.
EXTENDED = 2348875518
EXTENDED_CASES = [
    ([(0, 4, 0), (4, 4, 0), (32, 8, 1)], ["S0", "S1", "S2", "S3", "S6", "S7"]),
    ([(0, 4, 1), (4, 4, 0), (32, 8, 0)], ["S0", "S5", "S6"]),
]


@pytest.fixture(scope="module")
def multiplex_2():
    require_corpus("dbc")
    return quillmere.load(DBC / "cantools__multiplex_2.dbc", tolerant=True)


def test_file_and_network_model_select_by_ranges(multiplex_2):
    config = quillmere.NetworkConfig(DBC / "cantools__multiplex_2.dbc", tolerant=True)
    for fields, names in EXTENDED_CASES:
        assert carried(multiplex_2, EXTENDED, frame(*fields)) == names, fields
        # The network model keys the extended identifiers without their flag.
        assert carried(config, EXTENDED & 0x1FFFFFFF, frame(*fields)) == names, fields


def test_encode_follows_the_ranges(multiplex_2):
    # Encode writes what the multiplexers given select, and refuses the rest when strict.
    payload = multiplex_2.encode(EXTENDED, {"S0": 0, "S1": 2, "S4": 7, "S6": 2, "S8": -3})
    assert multiplex_2.decode(EXTENDED, payload) == {
        "S0": 0.0, "S1": 2.0, "S4": 7.0, "S6": 2.0, "S8": -3.0}
    with pytest.raises(ValueError, match="'S4'.*multiplexer 'S1'"):
        multiplex_2.encode(EXTENDED, {"S0": 0, "S1": 0, "S4": 7})
    with pytest.raises(ValueError, match="'S1'.*multiplexer 'S0'"):
        multiplex_2.encode(EXTENDED, {"S0": 1, "S1": 0})
