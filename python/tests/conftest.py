"""Shared fixtures: the module (the suite skips when it is not built), the corpus folder and
small files written for the tests."""
import os
import pathlib

import pytest

quillmere = pytest.importorskip("quillmere")

REPO = pathlib.Path(__file__).resolve().parents[2]
# QM_SHARED_DIR in the environment points a checkout elsewhere at the shared folder.
CORPUS = pathlib.Path(os.environ.get("QM_SHARED_DIR", REPO.parent / "shared")) / "corpus"
EXAMPLES = REPO / "examples"


def require_corpus(kind):
    if not (CORPUS / kind).is_dir():
        pytest.skip(f"no corpus at {CORPUS / kind}")


# A small DBC with both byte orders, signed and float signals, a multiplexer and value
# descriptions; the tests write it where they need it.
MUX_DBC = b"""VERSION "1"

BU_: A B

BO_ 256 Mixed: 8 A
 SG_ Little : 3|12@1+ (0.5,10) [10|2057.5] "rpm" B
 SG_ Big : 23|10@0- (1,0) [-512|511] "" B
 SG_ Flag : 24|1@1+ (1,0) [0|1] "" B
 SG_ Gear : 25|3@1+ (1,0) [0|7] "" B
 SG_ Ratio : 32|32@1- (0.001,0) [0|0] "" B

BO_ 512 Muxed: 8 A
 SG_ Page M : 0|8@1+ (1,0) [0|255] "" B
 SG_ Odometer m0 : 8|32@1+ (0.1,0) [0|429496729.5] "km" B
 SG_ Voltage m1 : 8|16@1+ (0.001,0) [0|65.535] "V" B
 SG_ Current m1 : 24|16@1- (0.01,0) [-327.68|327.67] "A" B

BO_ 2566848512 Extended: 8 A
 SG_ Temperature : 0|32@1- (1,0) [-50|80] "degC" B
 SG_ Pressure : 32|32@1+ (1,0) [0|0] "" B

BA_DEF_ SG_ "GenSigStartValue" INT 0 65535;
BA_ "GenSigStartValue" SG_ 256 Gear 2;
VAL_ 256 Gear 0 "Park" 1 "Reverse" 2 "Neutral" 3 "Drive" ;
SIG_VALTYPE_ 2566848512 Pressure : 1;
"""


@pytest.fixture
def mux_dbc(tmp_path):
    path = tmp_path / "mixed.dbc"
    path.write_bytes(MUX_DBC)
    return path
