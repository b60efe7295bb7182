"""load_someip(): SOME/IP services as Python objects, joined across files, with readable reprs."""
import os
import pathlib

import pytest

from conftest import CORPUS, EXAMPLES, quillmere

# QM_SHARED_DIR_OVERRIDE lets a worktree that has no ../shared beside it run these.
ARXML = pathlib.Path(os.environ.get("QM_SHARED_DIR_OVERRIDE", CORPUS.parent)) / "corpus" / "arxml"

HW = ["capi_hw_service_interfaces.arxml", "capi_hw_service_interfaces_someip_deployments.arxml",
      "capi_hw_m1_service_instances_someip_deployments.arxml"]


def hello_world():
    folder = ARXML
    if not folder.is_dir():
        pytest.skip(f"no corpus at {folder}")
    return quillmere.load_someip([folder / name for name in HW])


def test_the_hello_world_files_give_one_service_with_ids_types_and_instances():
    db = hello_world()
    assert db.counts == {"service_interfaces": 1, "service_deployments": 1,
                         "service_instances": 2, "methods": 1, "events": 1, "fields": 0,
                         "event_groups": 1, "data_types": 0}
    (service,) = db.services
    assert (service.name, service.service_id, service.major_version) == ("ServiceHelloWorld", 101, 1)
    assert service.interface == "/HelloWorldServiceInterfaces/ServiceHelloWorld"
    (method,) = service.methods
    assert method.id == 32000 and not method.fire_and_forget
    assert [(name, direction, t.cpp_type) for name, direction, t in method.arguments] == [
        ("msg", "in", "std::string"), ("echo", "out", "std::string")]
    assert service.events[0].type.kind == "unresolved"
    assert [(i.role, i.instance_id) for i in service.instances] == [("provided", 29), ("required", 29)]
    assert service.instances[0].discovery is None
    assert db.service("ServiceHelloWorld") == service
    assert db.service("Nothing") is None
    assert repr(service) == ("SomeIpService('ServiceHelloWorld', id=101, methods=1, events=1, "
                             "fields=0, instances=2)")
    assert repr(method) == "SomeIpMethod('EchoMethod', id=32000, (in msg: String, out echo: String))"
    assert "namespace ServiceHelloWorld {" in db.header()


def test_types_of_the_adaptive_data_type_file_resolve():
    path = ARXML / "capi_adi_sensoritf_common.arxml"
    if not path.exists():
        pytest.skip("no corpus")
    db = quillmere.load_someip(path)
    assert db.counts["data_types"] == len(db.types) == 263
    kinds = {t.kind for t in db.types}
    assert {"structure", "enumeration", "vector"} <= kinds
    structure = next(t for t in db.types if t.name == "AmbiguityDomainInfo")
    assert [name for name, _ in structure.members][:2] == ["VelocityAmbiguity", "RangeAmbiguity"]
    assert repr(structure) == "SomeIpType('AmbiguityDomainInfo', kind='structure', members=4)"
    enumeration = next(t for t in db.types if t.kind == "enumeration")
    assert enumeration.enumerators and enumeration.element.cpp_type.startswith("std::")


def test_exact_reading_gives_no_services_and_a_missing_file_raises(tmp_path):
    db = quillmere.load_someip(str(EXAMPLES / "someip_services.arxml"), exact=True)
    assert db.services == [] and db.counts["service_instances"] == 0
    assert repr(db).startswith("SomeIpDatabase(services=0,")
    with pytest.raises(FileNotFoundError):
        quillmere.load_someip([tmp_path / "missing.arxml"])
