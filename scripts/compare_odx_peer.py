#!/usr/bin/env python3
"""Compares the tool's reading of ODX/PDX files with odxtools (the Python ODX package).

Not part of `make test`: odxtools is not packaged for Debian. Where it is importable, run

    scripts/compare_odx_peer.py [--tool build/tools/quillmere/quillmere] [--verbose] [FILES...]

(by default every ODX, ODX-D and PDX of ../shared/corpus/diag). Per file and diagnostic layer it
compares:

- the services after inheritance (odxtools' `layer.services` against the services of the tool's
  `dump --json`);
- requests: for every service whose request odxtools encodes from chosen values (value-table
  texts, integers inside the range, defaults left out), whether the tool's `encode-request`
  gives the same bytes, and whether `decode-diag` of the peer's bytes finds the same service and
  the same parameter values;
- positive responses: the first positive response encoded by odxtools from chosen values (its
  matching-request parameters taken from the request), and `decode-diag` of those bytes;
- DTCs of the layer's DTC-DOPs (trouble code and text) against the tool's `dtcs`.

Written against the odxtools API as of its 2.x releases (`load_pdx_file`, `load_odx_d_file`,
`DiagService.encode_request`, `Response.encode`, `DiagService.decode_message`,
`TexttableCompuMethod.internal_to_phys`); later releases' names are tried where they differ.
Prints one summary line per file and every difference; exits 1 when anything differs.
"""
import argparse
import glob
import json
import math
import os
import subprocess
import sys
import warnings


def run_tool(tool, *args):
    done = subprocess.run([tool, *args], capture_output=True, text=True)
    return done.returncode, done.stdout, done.stderr


def load_peer(path):
    import odxtools

    if path.lower().endswith(".pdx"):
        return odxtools.load_pdx_file(path)
    # odxtools' load_file() guesses only .pdx and .odx-d; every .odx* document is read alike
    loader = getattr(odxtools, "load_odx_file", None) or odxtools.load_odx_d_file
    return loader(path)


def our_model(tool, path):
    code, out, err = run_tool(tool, "dump", "--json", path)
    if code != 0:
        raise RuntimeError(err.strip())
    model = json.loads(out)
    services, dtcs = {}, {}
    for ecu in model["ecus"]:
        names = set()
        for cls in ecu.get("classes", []):
            for service in cls.get("services", []):
                names.add(service["name"])
        services[ecu["shortName"]] = names
        dtcs[ecu["shortName"]] = ecu.get("dtcs", [])
    return services, dtcs


def _texttable_texts(compu):
    scales = getattr(compu, "internal_to_phys", None)
    if scales is None:  # later odxtools: compu_internal_to_phys.compu_scales
        scales = getattr(getattr(compu, "compu_internal_to_phys", None), "compu_scales", None)
    texts = []
    for scale in scales or []:
        const = scale.compu_const
        text = getattr(const, "vt", const)
        if isinstance(text, str):
            texts.append(text)
    return texts


def choose_values(structure, skip=()):
    """Values odxtools can encode the structure from, or None when it needs more than we choose."""
    from odxtools.parameters.valueparameter import ValueParameter

    values = {}
    for param in structure.parameters:
        if param.short_name in skip:
            continue
        kind = getattr(param, "parameter_type", None)
        if not isinstance(param, ValueParameter):
            if kind in ("CODED-CONST", "RESERVED", "MATCHING-REQUEST-PARAM", "PHYS-CONST",
                        "NRC-CONST"):
                continue
            return None  # structures of other kinds (tables, end-of-PDU fields...): not chosen
        if param.physical_default_value is not None:
            continue
        dop = param.dop
        compu = getattr(dop, "compu_method", None)
        category = str(getattr(compu, "category", ""))
        if compu is None:
            return None
        if category.endswith("TEXTTABLE"):
            texts = _texttable_texts(compu)
            if not texts:
                return None
            values[param.short_name] = texts[-1] if len(texts) > 1 else texts[0]
            continue
        base = str(getattr(getattr(dop, "physical_type", None), "base_data_type", ""))
        if "INT" not in base:
            return None
        for candidate in (1, 0, 2, 10):
            try:
                if dop.is_valid_physical_value(candidate):
                    values[param.short_name] = candidate
                    break
            except Exception:
                pass
        else:
            return None
    return values


def _arg(value):
    return str(value)


def _same_value(peer, ours):
    """Whether odxtools' decoded value equals one of the tool's parameter entries."""
    if ours is None:
        return False
    if isinstance(peer, str):
        return peer == ours.get("text") or peer == ours.get("value")
    if isinstance(peer, (bytes, bytearray)):
        raw = ours.get("raw")
        value = ours.get("value")
        want = bytes(peer).hex().upper()
        if any(isinstance(x, str) and x.replace(" ", "").upper() == want for x in (raw, value)):
            return True
        # odxtools gives a matching-request parameter as the request's bytes, the tool as a number
        return isinstance(value, int) and len(peer) > 0 and int.from_bytes(peer, "big") == value
    if isinstance(peer, bool):
        return False
    if isinstance(peer, (int, float)):
        value = ours.get("value")
        if isinstance(value, (int, float)):
            return math.isclose(float(value), float(peer), rel_tol=1e-9, abs_tol=1e-9)
        return False
    return None  # structures, DTC objects...: not compared here


def compare_decoding(tool, path, layer, service, coded, kind, totals, differences, verbose):
    """decode-diag of peer-made bytes: same service, kind and parameter values as odxtools."""
    layer_name = layer.short_name
    hexbytes = bytes(coded).hex().upper()
    totals["decoded"] += 1
    code, out, _ = run_tool(tool, "decode-diag", "--json", path, layer_name, hexbytes)
    try:
        ours = json.loads(out) if out.strip() else {}
    except json.JSONDecodeError:
        ours = {}
    if ours.get("service") != service.short_name or ours.get("kind") != kind:
        try:  # the services odxtools itself finds for these bytes
            readings = {m.service.short_name for m in layer.decode(bytes(coded))}
        except Exception:
            readings = set()
        if ours.get("service") in readings and service.short_name in readings:
            totals["ambiguous"] += 1
            if verbose:
                differences.append(f"{layer_name}/{service.short_name}: {kind} {hexbytes} "
                                   f"ambiguous: odxtools reads it as {sorted(readings)}, "
                                   f"the tool picks {ours.get('service')!r}")
            return
        differences.append(f"{layer_name}/{service.short_name}: {kind} {hexbytes} decoded as "
                           f"{ours.get('service')!r} {ours.get('kind')!r}")
        return
    try:
        peer = service.decode_message(bytes(coded)).param_dict
    except Exception as error:  # odxtools cannot decode its own bytes
        totals["decoded_same"] += 1
        if verbose:
            differences.append(f"{layer_name}/{service.short_name}: {kind} {hexbytes}: "
                               f"odxtools cannot decode it ({type(error).__name__}: {error})")
        return
    by_name = {p["name"]: p for p in ours.get("parameters", [])}
    mismatches = []
    for name, value in peer.items():
        if value is None:  # reserved
            continue
        same = _same_value(value, by_name.get(name))
        totals["values"] += same is not None
        if same is False:
            mine = by_name.get(name)
            mismatches.append(f"{name}: odxtools {value!r}, ours "
                              f"{None if mine is None else (mine.get('value'), mine.get('text'))}")
        elif same:
            totals["values_same"] += 1
    if mismatches:
        differences.append(f"{layer_name}/{service.short_name}: {kind} {hexbytes}: "
                           + "; ".join(mismatches))
    else:
        totals["decoded_same"] += 1


def compare_file(tool, path, verbose=False):
    from odxtools.dataobjectproperty import DtcDop

    peer = load_peer(path)
    ours, our_dtcs = our_model(tool, path)
    totals = {key: 0 for key in ("layers", "services", "services_same", "requests",
                                 "requests_same", "decoded", "decoded_same", "ambiguous", "responses", "jobs",
                                 "values", "values_same", "dtcs", "dtcs_same")}
    differences = []
    for layer in peer.diag_layers:
        name = layer.short_name
        # odxtools lists SINGLE-ECU-JOBs among the services; the tool's classes hold services
        jobs = {s.short_name for s in layer.services if getattr(s, "request", None) is None
                and hasattr(s, "prog_codes")}
        theirs = {service.short_name for service in layer.services} - jobs
        if name not in ours:
            if theirs:
                differences.append(f"{name}: layer with {len(theirs)} services only in odxtools")
            continue
        totals["layers"] += 1
        totals["jobs"] += len(jobs - ours[name])
        totals["services"] += len(theirs | ours[name])
        totals["services_same"] += len(theirs & ours[name])
        for missing in sorted(theirs - ours[name]):
            differences.append(f"{name}: service {missing} only in odxtools")
        for extra in sorted(ours[name] - theirs):
            differences.append(f"{name}: service {extra} only here")

        # DTCs of the layer's DTC-DOPs
        peer_dtcs = {}
        for dop in layer.data_object_properties:
            if isinstance(dop, DtcDop):
                for dtc in dop.dtcs:
                    try:
                        peer_dtcs[dtc.trouble_code] = dtc.text
                    except AttributeError:  # unresolved DTC-REF
                        pass
        mine = {}
        for dtc in our_dtcs.get(name, []):
            number = dtc.get("value", dtc.get("code", dtc.get("troubleCode")))
            if isinstance(number, str):
                number = int(number, 0)
            mine[number] = dtc.get("text", dtc.get("name"))
        if peer_dtcs or mine:
            totals["dtcs"] += len(set(peer_dtcs) | set(mine))
            same = [c for c in peer_dtcs if c in mine and peer_dtcs[c] == mine[c]]
            totals["dtcs_same"] += len(same)
            if len(same) != len(set(peer_dtcs) | set(mine)):
                example = next((f"0x{c:06X}: odxtools {peer_dtcs.get(c)!r}, ours {mine.get(c)!r}"
                                for c in sorted(set(peer_dtcs) | set(mine), key=str)
                                if peer_dtcs.get(c) != mine.get(c)), "")
                differences.append(f"{name}: DTCs: odxtools {len(peer_dtcs)}, ours {len(mine)}, "
                                   f"equal {len(same)} (e.g. {example})")

        for service in layer.services:
            if service.short_name not in ours[name]:
                continue
            request = getattr(service, "request", None)
            if request is None:
                continue  # single-ECU jobs
            values = choose_values(request)
            if values is None:
                continue
            try:
                with warnings.catch_warnings():
                    warnings.simplefilter("ignore")
                    coded = bytes(service.encode_request(**values))
            except Exception:  # the peer cannot encode it: not comparable
                continue
            expected = coded.hex().upper()
            totals["requests"] += 1
            args = [f"{key}={_arg(value)}" for key, value in values.items()]
            code, out, err = run_tool(tool, "encode-request", "--json", path, name,
                                      service.short_name, *args)
            got = json.loads(out)["bytes"].upper() if code == 0 else err.strip()
            if got == expected:
                totals["requests_same"] += 1
            else:
                differences.append(f"{name}/{service.short_name}: request ours {got} vs "
                                   f"odxtools {expected} (values {values})")
            compare_decoding(tool, path, layer, service, coded, "request", totals, differences,
                             verbose)

            responses = service.positive_responses or []
            if not responses:
                continue
            response = responses[0]
            rvalues = choose_values(response)
            if rvalues is None:
                continue
            try:
                with warnings.catch_warnings():
                    warnings.simplefilter("ignore")
                    rcoded = bytes(response.encode(coded, **rvalues))
            except Exception:
                continue
            totals["responses"] += 1
            compare_decoding(tool, path, layer, service, rcoded, "positiveResponse", totals,
                             differences, verbose)
    return totals, differences


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    corpus = os.path.normpath(os.path.join(here, "..", "..", "shared", "corpus", "diag"))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tool", default=os.path.join(here, "..", "build", "tools", "quillmere",
                                                       "quillmere"))
    parser.add_argument("--verbose", action="store_true",
                        help="also list the peer's own failures to decode its bytes")
    parser.add_argument("files", nargs="*")
    options = parser.parse_args()
    try:
        import odxtools  # noqa: F401
    except ImportError:
        print("odxtools is not installed: nothing to compare")
        return 0
    files = options.files or sorted(
        glob.glob(os.path.join(corpus, "*.odx")) + glob.glob(os.path.join(corpus, "*.odx-d"))
        + glob.glob(os.path.join(corpus, "*.pdx")))
    failed = False
    for path in files:
        try:
            with warnings.catch_warnings():
                warnings.simplefilter("ignore")
                totals, differences = compare_file(options.tool, path, options.verbose)
        except Exception as error:  # the peer (or we) cannot read it at all
            print(f"{os.path.basename(path)}: not compared ({type(error).__name__}: {error})")
            continue
        print(f"{os.path.basename(path)}: layers {totals['layers']}, services "
              f"{totals['services_same']}/{totals['services']} equal, requests "
              f"{totals['requests_same']}/{totals['requests']} equal, decoded "
              f"{totals['decoded_same']}/{totals['decoded']} equal, {totals['ambiguous']} "
              f"ambiguous ({totals['responses']} responses; values "
              f"{totals['values_same']}/{totals['values']}), DTCs "
              f"{totals['dtcs_same']}/{totals['dtcs']}, jobs only in odxtools {totals['jobs']}")
        for line in differences:
            print("  " + line)
        failed = failed or bool(differences)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
