"""Every corpus DBC, LDF and ARXML file loads through Python with the status and counts that
the library's own tests pin, and the written files read back to the same model."""
import pytest

from conftest import CORPUS, corpus_files, quillmere, require_corpus

# file: (status, messages, signals)
DBC_EXPECTED = {
    "busmaster__vw360e_acan.dbc": (1, 220, 1979),
    "candbc__sample.dbc": (2, 2, 8),
    "canmatrix__j1939.dbc": (11, 12, 165),
    "cantools__BU_BO_REL_Message.dbc": (1, 1, 1),
    "cantools__abs.dbc": (1, 18, 89),
    "cantools__attributes.dbc": (1, 2, 2),
    "cantools__cp1252.dbc": (1, 0, 0),
    "cantools__emc32.dbc": (1, 1, 5),
    "cantools__empty_ns.dbc": (1, 0, 0),
    "cantools__floating_point.dbc": (1, 2, 3),
    "cantools__foobar.dbc": (4, 0, 0),
    "cantools__long_names.dbc": (1, 10, 13),
    "cantools__msxii_system_can.dbc": (1, 1, 73),
    "cantools__multiplex_2.dbc": (3, 4, 19),
    "cantools__relation_attributes.dbc": (1, 2, 2),
    "cantools__vehicle.dbc": (1, 217, 462),
    "dbcppp__Core_Objects_protocol.dbc": (1, 1, 3038),
    "dbcppp__Test.dbc": (2, 2, 64),
    "ecubus__Model3CAN.dbc": (1, 159, 2752),
    "ecubus__SCU.dbc": (1, 28, 151),
    "ecubus__TestDbc1.dbc": (1, 1, 15),
    "ecubus__can1-hyundai-kia-uds-v2.4.dbc": (3, 3, 71),
    "ecubus__gbk.dbc": (1, 35, 273),
    "ecubus__sig_group.dbc": (1, 23, 95),
    "opendbc__ESR.dbc": (1, 80, 868),
    "opendbc__RAM_Cummins_2019.dbc": (1, 332, 2212),
    "opendbc__bmw_X5_g05_FA_CAN.dbc": (23, 435, 2271),
    "opendbc__ford_lincoln_base_pt.dbc": (2, 331, 2150),
    "opendbc__generator_acura_ilx_2016_can.dbc": (1, 0, 0),
    "opendbc__generator_gm_global_a_powertrain.dbc": (2, 49, 122),
    "opendbc__gm_global_a_lowspeed_1818125.dbc": (1, 367, 3210),
    "opendbc__gm_global_a_object.dbc": (2, 60, 520),
    "opendbc__psa_aee2010_r3.dbc": (2, 108, 536),
    "opendbc__rivian_primary_actuator.dbc": (2, 67, 392),
    "opendbc__tesla_can.dbc": (4, 0, 0),
    "opendbc__vw_mlb.dbc": (2, 145, 1442),
    "opendbc__vw_pq.dbc": (3, 86, 1331),
}

# Files that stop before their end, with the result code they deserve; all others load clean.
LDF_STOPPING = {"ldfparser__lin_schedules.ldf": 28}

# file: (clusters, ECUs over all clusters, PDUs, signals, signal groups)
ARXML_EXPECTED = {
    "capi_adi_sensoritf_common.arxml": (0, 0, 0, 0, 0),
    "capi_cgd_m1_service_instance_timing.arxml": (0, 0, 0, 0, 0),
    "capi_cgd_m1_someip_instances.arxml": (0, 0, 0, 0, 0),
    "capi_hw_m1_service_instances_someip_deployments.arxml": (0, 0, 0, 0, 0),
    "capi_hw_service_interfaces.arxml": (0, 0, 0, 0, 0),
    "capi_hw_service_interfaces_someip_deployments.arxml": (0, 0, 0, 0, 0),
    "capi_network_manifest.arxml": (0, 0, 0, 0, 0),
    "capi_nm_network_management_someip.arxml": (0, 0, 0, 0, 0),
    "cm_ARXMLContainerTest.arxml": (0, 0, 0, 0, 0),
    "cm_ARXMLSecuredPDUTest.arxml": (1, 0, 0, 0, 0),
    "cm_cluster_arxml_FD.arxml": (0, 0, 0, 0, 0),
    "cm_test_ar323.arxml": (1, 0, 0, 0, 0),
    "cp_Linexample_ecuc.arxml": (0, 0, 0, 0, 0),
    "ct_system-3.2.3.arxml": (1, 0, 0, 0, 0),
    "ct_system-4.2.arxml": (1, 0, 0, 0, 0),
    "ct_system-DAI-3.1.2.arxml": (0, 0, 0, 0, 0),
    "ct_system-dangling-reference-4.2.arxml": (1, 0, 0, 0, 0),
    "ct_system-float-values.arxml": (0, 0, 0, 0, 0),
    "ct_system-missing-denominator-4.2.arxml": (1, 0, 0, 0, 0),
    "lg_extended_vehicle_manifest.arxml": (0, 0, 0, 0, 0),
    "pa_AUTOSAR_Datatypes.arxml": (0, 0, 0, 0, 0),
    "pa_CanSystem.arxml": (0, 0, 0, 0, 0),
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


def test_every_corpus_dbc_is_pinned():
    require_corpus("dbc")
    assert {p.name for p in corpus_files("dbc", ".dbc")} == set(DBC_EXPECTED)


@pytest.mark.parametrize("name", [n for n, e in sorted(DBC_EXPECTED.items()) if e[0] <= 2])
def test_dbc_corpus_round_trip_through_python(name, tmp_path):
    require_corpus("dbc")
    original = quillmere.load(CORPUS / "dbc" / name)
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


def test_every_corpus_arxml_is_pinned():
    require_corpus("arxml")
    assert {p.name for p in corpus_files("arxml", ".arxml")} == set(ARXML_EXPECTED)
