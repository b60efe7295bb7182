"""Real DBC, LDF and ARXML files load through Python with the status, counts and log the
library's own tests pin. The library's corpus tests cover every file (and that a saved copy
reads back to the same model); these cover what the binding shows of each kind of result."""
import pytest

from conftest import CORPUS, quillmere, require_corpus

# file: (status, messages, signals): one with warnings (still ok) and one that stops.
DBC_EXPECTED = {
    "candbc__sample.dbc": (2, 2, 8),
    "canmatrix__j1939.dbc": (11, 12, 165),
}

# file: the result code it deserves; a clean file and one that stops before its end.
LDF_EXPECTED = {"ldfparser__lin22.ldf": 0, "ldfparser__lin_schedules.ldf": 28}

# file: (clusters, ECUs over all clusters, PDUs, signals, signal groups, log); one with a
# cluster only and one with messages.
ARXML_EXPECTED = {
    "cm_ARXMLSecuredPDUTest.arxml": (1, 0, 0, 0, 0, [
        "Pdu: secPdu not found for frame triggering: testFrame1.",
        "Pdu: PDU_extendedFrame not found for frame triggering: extendedFrame."]),
    "tpms_ConvertedLegacy_BCM.arxml": (1, 1, 1, 1, 0, [
        "Communication mode not defined for pdu group: BCM_oCAN00_Tx."]),
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


@pytest.mark.parametrize("name", sorted(LDF_EXPECTED))
def test_ldf_corpus_file_loads_with_its_result(name):
    require_corpus("ldf")
    # The described reader's results; as written, lin_schedules' "delay 10ms" reads too.
    ldf = quillmere.load(CORPUS / "ldf" / name, exact=True)
    assert isinstance(ldf, quillmere.LdfFile)
    assert quillmere.load(CORPUS / "ldf" / name).status == 0
    expected = LDF_EXPECTED[name]
    assert ldf.status == expected, ldf.log
    assert ldf.ok == (expected == 0)
    assert len(ldf.signals) + len(ldf.diagnostic_signals) > 0
    # Every signal a frame carries is a signal of the file.
    names = {s.name for s in ldf.signals}
    for frame in ldf.frames:
        assert {s.name for s in frame} <= names


@pytest.mark.parametrize("name", sorted(ARXML_EXPECTED))
def test_arxml_corpus_file_yields_what_it_holds(name):
    require_corpus("arxml")
    arxml = quillmere.load(CORPUS / "arxml" / name, exact=True)
    assert isinstance(arxml, quillmere.ArxmlFile)
    assert arxml.ok and arxml.status == quillmere.ArxmlStatus.LOADED
    clusters, ecus, pdus, signals, groups, log = ARXML_EXPECTED[name]
    assert len(arxml.clusters) == clusters
    assert len(arxml.ecus) == ecus
    assert len(arxml.pdus) == pdus == len(arxml)
    assert len(arxml.signals) == signals
    assert sum(len(p.signal_groups) for p in arxml.pdus) == groups
    assert arxml.log == log

