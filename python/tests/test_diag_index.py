"""ecu.decode finds messages through the library's index of constant leading bytes: every
request that encodes without values comes back as a request whose bytes it is."""
import pytest

from conftest import CORPUS, quillmere


@pytest.mark.parametrize("name, checked, same", [("DTS_Example.pdx", 53, 45),
                                                 ("EBC-Diagnostics_old.odx", 180, 180)])
def test_requests_decode_back_to_a_request_of_their_bytes(name, checked, same):
    path = CORPUS / "diag" / name
    if not path.exists():
        pytest.skip(f"no corpus file {path}")
    ecu = quillmere.load(path).ecus[-1]
    counts = [0, 0]
    for service in ecu.services:
        try:
            request = service.encode_request()
        except ValueError:
            continue
        decoded = ecu.decode(request)
        assert decoded["kind"] == "request", (service.name, request.hex())
        counts[0] += 1
        # Services whose requests differ only in values share bytes: the first takes them.
        counts[1] += decoded["service"] == service.name
    assert counts == [checked, same]
    # Bytes no service starts with find nothing.
    assert ecu.decode(b"\xAA\xBB\xCC")["service"] is None
