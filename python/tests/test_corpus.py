"""Real DBC, LDF and ARXML files load through Python with the status, counts and log the
library's own tests pin, and files saved from Python read back to the same model. The library's
corpus tests cover every file; these cover what the binding shows of each kind of result."""
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


def test_dbc_corpus_round_trip_through_python(tmp_path):
    """A file saved and read back: one with NaN factors."""
    require_corpus("dbc")
    original = quillmere.load(CORPUS / "dbc" / "opendbc__RAM_Cummins_2019.dbc")
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


@pytest.mark.parametrize("name", sorted(LDF_EXPECTED))
def test_ldf_corpus_file_loads_with_its_result(name):
    require_corpus("ldf")
    ldf = quillmere.load(CORPUS / "ldf" / name)
    assert isinstance(ldf, quillmere.LdfFile)
    expected = LDF_EXPECTED[name]
    assert ldf.status == expected, ldf.log
    assert ldf.ok == (expected == 0)
    assert len(ldf.signals) + len(ldf.diagnostic_signals) > 0
    # Every signal a frame carries is a signal of the file.
    names = {s.name for s in ldf.signals}
    for frame in ldf.frames:
        assert {s.name for s in frame} <= names


def test_ldf_corpus_save_reads_back(tmp_path):
    require_corpus("ldf")
    first = quillmere.load(CORPUS / "ldf" / "ldfparser__lin22.ldf")
    copy = tmp_path / "copy.ldf"
    first.save(copy)
    second = quillmere.load(copy)
    assert second.ok, second.log
    assert [(f.name, f.frame_id, f.length) for f in second.frames] == [(f.name, f.frame_id, f.length) for f in first.frames]


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

