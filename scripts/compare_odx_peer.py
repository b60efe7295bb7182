#!/usr/bin/env python3
"""Compares the tool's reading of ODX/PDX files with odxtools (the Python ODX package).

Not part of `make test`: odxtools is not packaged for Debian. Where it is installed
(`pip install odxtools`), run

    scripts/compare_odx_peer.py [--tool build/tools/quillmere/quillmere] [FILES...]

(by default every ODX, ODX-D and PDX of ../shared/corpus/diag). Per file and ECU it reports
the service sets of both, then for every service whose request odxtools can encode from chosen
values (constants, reserved fields, integer value parameters, value-table texts) whether the
tool's `encode-request` gives the same bytes, and whether `decode-diag` finds that service
again in the peer's request bytes. Prints one summary line per file and the agreement in
percent; exits 1 when anything differs.
"""
import argparse
import glob
import json
import os
import subprocess
import sys


def run_tool(tool, *args):
    done = subprocess.run([tool, *args], capture_output=True, text=True)
    return done.returncode, done.stdout, done.stderr


def load_peer(path):
    import odxtools
    import odxtools.exceptions

    odxtools.exceptions.strict_mode = False
    return odxtools.load_file(path)


def our_services(tool, path):
    code, out, err = run_tool(tool, "dump", "--json", path)
    if code != 0:
        raise RuntimeError(err.strip())
    model = json.loads(out)
    services = {}
    for ecu in model["ecus"]:
        names = set()
        for cls in ecu.get("classes", []):
            for service in cls.get("services", []):
                names.add(service["name"])
        services[ecu["shortName"]] = names
    return services


def chosen_values(service):
    """Values odxtools can encode the request from, or None when it needs more."""
    from odxtools.parameters.valueparameter import ValueParameter

    values = {}
    request = service.request
    if request is None:
        return None
    for param in request.parameters:
        if not isinstance(param, ValueParameter):
            continue
        if param.physical_default_value is not None:
            continue
        dop = getattr(param, "dop", None)
        compu = getattr(dop, "compu_method", None)
        scales = getattr(getattr(compu, "compu_internal_to_phys", None), "compu_scales", None)
        if compu is not None and str(getattr(compu, "category", "")).endswith("TEXTTABLE") and scales:
            text = scales[0].compu_const.vt if scales[0].compu_const else None
            if text is None:
                return None
            values[param.short_name] = text
        elif str(getattr(dop, "physical_type", None) and dop.physical_type.base_data_type).find("INT") >= 0:
            values[param.short_name] = 0
        else:
            return None
    return values


def compare_file(tool, path):
    peer = load_peer(path)
    ours = our_services(tool, path)
    totals = {"services": 0, "services_same": 0, "requests": 0, "requests_same": 0,
              "decoded": 0, "decoded_same": 0}
    differences = []
    for layer in peer.diag_layers:
        name = layer.short_name
        if name not in ours:
            continue
        theirs = {service.short_name for service in layer.services}
        totals["services"] += len(theirs | ours[name])
        totals["services_same"] += len(theirs & ours[name])
        for missing in sorted(theirs - ours[name]):
            differences.append(f"{name}: {missing} only in odxtools")
        for extra in sorted(ours[name] - theirs):
            differences.append(f"{name}: {extra} only here")
        for service in layer.services:
            values = chosen_values(service)
            if values is None:
                continue
            try:
                expected = bytes(service.encode_request(**values)).hex().upper()
            except Exception:  # the peer cannot encode it: not comparable
                continue
            totals["requests"] += 1
            args = [f"{key}={value}" for key, value in values.items()]
            code, out, err = run_tool(tool, "encode-request", "--json", path, name,
                                      service.short_name, *args)
            got = json.loads(out)["bytes"] if code == 0 else err.strip()
            if got == expected:
                totals["requests_same"] += 1
            else:
                differences.append(f"{name}/{service.short_name}: request {got} vs {expected}")
            totals["decoded"] += 1
            code, out, _ = run_tool(tool, "decode-diag", "--json", path, name, expected)
            found = json.loads(out).get("service") if code == 0 else None
            if found is not None:
                totals["decoded_same"] += 1
            else:
                differences.append(f"{name}/{service.short_name}: {expected} not decoded")
    return totals, differences


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    corpus = os.path.normpath(os.path.join(here, "..", "..", "shared", "corpus", "diag"))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tool", default=os.path.join(here, "..", "build", "tools", "quillmere",
                                                       "quillmere"))
    parser.add_argument("files", nargs="*")
    options = parser.parse_args()
    try:
        import odxtools  # noqa: F401
    except ImportError:
        print("odxtools is not installed: nothing to compare")
        return 0
    files = options.files or sorted(
        glob.glob(os.path.join(corpus, "*.odx*")) + glob.glob(os.path.join(corpus, "*.pdx")))
    failed = False
    for path in files:
        try:
            totals, differences = compare_file(options.tool, path)
        except Exception as error:  # the peer (or we) cannot read it at all
            print(f"{os.path.basename(path)}: not compared ({error})")
            continue
        def share(same, whole):
            return 100.0 if whole == 0 else 100.0 * same / whole
        print(f"{os.path.basename(path)}: services {share(totals['services_same'], totals['services']):.1f}% "
              f"({totals['services_same']}/{totals['services']}), requests "
              f"{share(totals['requests_same'], totals['requests']):.1f}% "
              f"({totals['requests_same']}/{totals['requests']}), decoded "
              f"{share(totals['decoded_same'], totals['decoded']):.1f}%")
        for line in differences:
            print("  " + line)
        failed = failed or bool(differences)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
