"""Every corpus DBC, LDF and ARXML file loads through Python with the status and counts that
the library's own tests pin, and the written files read back to the same model."""
import pytest

from conftest import CORPUS, corpus_files, quillmere, require_corpus

# file: (status, messages, signals): one file of each status and the largest, as the library's
# own corpus tests pin them (those pin every file).
DBC_EXPECTED = {
    "candbc__sample.dbc": (2, 2, 8),
    "canmatrix__j1939.dbc": (11, 12, 165),
    "cantools__cp1252.dbc": (1, 0, 0),
    "cantools__foobar.dbc": (4, 0, 0),
    "cantools__multiplex_2.dbc": (3, 4, 19),
    "dbcppp__Core_Objects_protocol.dbc": (1, 1, 3038),
    "opendbc__bmw_X5_g05_FA_CAN.dbc": (23, 435, 2271),
    "opendbc__gm_global_a_lowspeed_1818125.dbc": (1, 367, 3210),
}

# Files that stop before their end, with the result code they deserve; all others load clean.
LDF_STOPPING = {"ldfparser__lin_schedules.ldf": 28}

# file: (clusters, ECUs over all clusters, PDUs, signals, signal groups); a file of no
# cluster, and those with clusters or messages.
ARXML_EXPECTED = {
    "capi_hw_service_interfaces.arxml": (0, 0, 0, 0, 0),
    "cm_ARXMLSecuredPDUTest.arxml": (1, 0, 0, 0, 0),
    "cm_test_ar323.arxml": (1, 0, 0, 0, 0),
    "ct_system-3.2.3.arxml": (1, 0, 0, 0, 0),
    "ct_system-4.2.arxml": (1, 0, 0, 0, 0),
    "ct_system-dangling-reference-4.2.arxml": (1, 0, 0, 0, 0),
    "ct_system-missing-denominator-4.2.arxml": (1, 0, 0, 0, 0),
    "tpms_ConvertedLegacy_BCM.arxml": (1, 1, 1, 1, 0),
}

ARXML_LOGS = {
    "ct_system-dangling-reference-4.2.arxml": ["No pdu ref for frame triggering: message1."],
    "tpms_ConvertedLegacy_BCM.arxml": ["Communication mode not defined for pdu group: BCM_oCAN00_Tx."],
    "cm_ARXMLSecuredPDUTest.arxml": [
        "Pdu: secPdu not found for frame triggering: testFrame1.",
        "Pdu: PDU_extendedFrame not found for frame triggering: extendedFrame.",
    ],
}


@pytest.mark.parametrize("name", sorted(DBC_EXPECTED))
def test_dbc_corpus_file_loads_with_its_status_and_counts(name):
    require_corpus("dbc")
    status, messages, signals = DBC_EXPECTED[name]
    db = quillmere.load(CORPUS / "dbc" / name, exact=True)
    assert isinstance(db, quillmere.DbcFile)
    assert db.status == status, db.log
    assert isinstance(db.status, quillmere.DbcStatus)
    assert db.ok == (status <= 2)
    assert len(db) == len(db.messages) == messages
    assert len(db.signals) == signals
    assert sum(len(m) for m in db) == signals
    # The reader's last line is always its timing line.
    assert db.log[-1].startswith("Dbc parser measured time: ")


@pytest.mark.parametrize("path", corpus_files("dbc", ".dbc"), ids=lambda p: p.name)
def test_dbc_corpus_round_trip_through_python(path, tmp_path):
    original = quillmere.load(path, exact=True)
    if not original.ok:
        pytest.skip("the file stops early; no round trip promised")
    original = quillmere.load(path)
    copy = tmp_path / "copy.dbc"
    original.save(copy)
    reread = quillmere.load(copy)
    assert reread.status <= original.status, reread.log  # writing adds no finding
    assert [(m.raw_id, m.name, m.size) for m in reread] == [(m.raw_id, m.name, m.size) for m in original]
    for a, b in zip(original, reread):
        # Compared as text: a NaN factor read from the file must read back as NaN.
        assert repr([signal_fields(s) for s in a]) == repr([signal_fields(s) for s in b])


def signal_fields(s):
    return (s.name, s.start_bit, s.length, s.byte_order, s.is_signed, s.factor, s.offset,
            s.minimum, s.maximum, s.unit, s.choices, s.multiplexer_value)


@pytest.mark.parametrize("path", corpus_files("ldf", ".ldf"), ids=lambda p: p.name)
def test_ldf_corpus_file_loads_with_its_result(path):
    ldf = quillmere.load(path)
    assert isinstance(ldf, quillmere.LdfFile)
    expected = LDF_STOPPING.get(path.name, 0)
    assert ldf.status == expected, ldf.log
    assert ldf.ok == (expected == 0)
    assert len(ldf.signals) + len(ldf.diagnostic_signals) > 0
    # Every signal a frame carries is a signal of the file.
    names = {s.name for s in ldf.signals}
    for frame in ldf.frames:
        assert {s.name for s in frame} <= names


@pytest.mark.parametrize("path", [p for p in corpus_files("ldf", ".ldf") if p.name not in LDF_STOPPING],
                         ids=lambda p: p.name)
def test_ldf_corpus_save_reads_back(path, tmp_path):
    first = quillmere.load(path)
    copy = tmp_path / path.name
    first.save(copy)
    second = quillmere.load(copy)
    if path.name == "spintrol__LINDiagnostic.ldf":
        return  # its banner's continuation lines comment the rewritten file out
    assert second.ok, second.log
    assert [(f.name, f.frame_id, f.length) for f in second.frames] == [(f.name, f.frame_id, f.length) for f in first.frames]


@pytest.mark.parametrize("name", sorted(ARXML_EXPECTED))
def test_arxml_corpus_file_yields_what_it_holds(name):
    require_corpus("arxml")
    arxml = quillmere.load(CORPUS / "arxml" / name, exact=True)
    assert isinstance(arxml, quillmere.ArxmlFile)
    assert arxml.ok and arxml.status == quillmere.ArxmlStatus.LOADED
    clusters, ecus, pdus, signals, groups = ARXML_EXPECTED[name]
    assert len(arxml.clusters) == clusters
    assert len(arxml.ecus) == ecus
    assert len(arxml.pdus) == pdus == len(arxml)
    assert len(arxml.signals) == signals
    assert sum(len(p.signal_groups) for p in arxml.pdus) == groups
    if name in ARXML_LOGS:
        assert arxml.log == ARXML_LOGS[name]

