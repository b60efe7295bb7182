#!/usr/bin/env python3
"""Compare how cantools and Quillmere read CDD (CANdela) files.

cantools' view of a CDD file is a list of "DIDs" (one per DIAGINST: identifier
from STATICVALUE, data items with start/length/byte order/scale/offset/unit/
choices).  Quillmere's view is ECUs with services and their request/response
parameters (`quillmere dump --json`, Python `quillmere.load(path)`).

For every cantools DID this script
  1. looks for the Quillmere service whose request holds a constant equal to
     the DID identifier (reads 0x22/0x21/0x1A preferred, the name breaking
     ties),
  2. decodes seeded random payloads of the DID's length with cantools
     (decode_choices True/False, scaling False) and, behind the header of our
     positive response (SID + identifier as our model lays it out), with
     `ecu.decode` of the Quillmere Python package, and compares item by item
     (raw, physical, value text, unit),
  3. for 0x22 services also decodes the ISO 14229 framing 62 + DID (2 bytes,
     high byte first) + data and records whether our decoder finds the
     service,
  4. encodes cantools' decoded values with our write service of the same
     identifier (0x2E / 0x3B) where one exists, and compares the data bytes
     with the payload.

Nothing is hard-coded about the files: all figures come from the two tools.

Usage:
  PYTHONPATH=build/python:/path/to/cantools/src /usr/bin/python3 \
      scripts/compare_cdd_peer.py [FILE.cdd ...] [--payloads N] [--seed S]
      [--show N] [--tool build/tools/quillmere/quillmere] [--json OUT]
"""

import argparse
import json
import logging
import math
import os
import random
import re
import subprocess
import sys
from collections import Counter, defaultdict

READ_SIDS = {0x22, 0x21, 0x1A}
WRITE_SIDS = {0x2E, 0x3B}
DEFAULT_FILES = ["example.cdd", "example-diddatarefs.cdd", "Bootloader.cdd",
                 "invalid-bo-example.cdd"]


def norm(text):
    return re.sub(r"[^0-9a-z]", "", (text or "").lower())


def as_int(text):
    try:
        return int(str(text), 0)
    except (TypeError, ValueError):
        return None


def services_of(model):
    for ecu in model.get("ecus", []):
        for cls in ecu.get("classes", []):
            for svc in cls.get("services", []):
                yield ecu, cls, svc


def request_id_param(svc, identifier):
    """The constant request parameter (after the SID) equal to identifier."""
    for req in svc.get("requests", []):
        for p in req.get("params", [])[1:]:
            if "subParams" not in p and as_int(p.get("value")) == identifier:
                return p
    return None


def sid_of(svc):
    return int(svc["id"], 16)


def find_services(model, did):
    cands = []
    for ecu, cls, svc in services_of(model):
        p = request_id_param(svc, did.identifier)
        if p is None:
            continue
        named = (norm(svc["name"]).startswith(norm(did.name))
                 or norm(svc["qual"]).startswith(norm(did.name)))
        cands.append((ecu, svc, p, named))
    return cands


def common_prefix(a, b):
    n = 0
    while n < min(len(a), len(b)) and a[n] == b[n]:
        n += 1
    return n


def pick(cands, sids, did_name=""):
    """The candidate of those SIDs whose name agrees best with the DID's."""
    sel = [c for c in cands if sid_of(c[1]) in sids]
    if not sel:
        return None
    key = norm(did_name)

    def data_bytes(svc):
        # prefer the service whose positive response carries data
        return max((len(r.get("bytes", "")) - len(header_of(r, did_ident(svc))[0] or b"") * 2
                    for r in svc.get("positiveResponses", [])), default=0)

    def did_ident(svc):
        return next(as_int(c[2].get("value")) for c in sel if c[1] is svc)

    return max(sel, key=lambda c: (c[3], max(common_prefix(key, norm(c[1]["name"])),
                                             common_prefix(key, norm(c[1]["qual"]))),
                                   data_bytes(c[1])))


def header_of(function, identifier):
    """Bytes of the function up to the identifier parameter and the constant
    parameters right after it (e.g. an I/O control parameter), and the
    number of parameters they cover."""
    raw = bytes.fromhex(function["bytes"])
    params = function["params"]
    for i, p in enumerate(params[1:], 1):
        if "subParams" not in p and as_int(p.get("value")) == identifier:
            j = i
            while (j + 1 < len(params) and "subParams" not in params[j + 1]
                   and as_int(params[j + 1].get("value")) is not None):
                j += 1
            q = params[j]
            end = q["bytePosition"] + (q["bitPosition"] + q["bitLength"] + 7) // 8
            return raw[:end], j + 1, raw[p["bytePosition"]:p["bytePosition"] + (p["bitLength"] + 7) // 8]
    return None, 0, b""


def leaves(params, prefix=""):
    out = []
    for p in params:
        if p.get("parameters"):
            out += leaves(p["parameters"], prefix)
        elif p.get("items"):
            for k, item in enumerate(p["items"]):
                out += leaves(item, prefix + f"{p['name']}[{k}].")
        else:
            out.append(dict(p, name=prefix + p["name"]))
    return out


def leaf_names(params):
    names = []
    for p in params:
        if p.get("subParams"):
            names += leaf_names(p["subParams"])
        else:
            names.append(p["name"])
    return names


def num_equal(a, b):
    if isinstance(a, bool) or isinstance(b, bool):
        return a == b
    if isinstance(a, (int, float)) and isinstance(b, (int, float)):
        return math.isclose(a, b, rel_tol=1e-9, abs_tol=1e-9)
    return a == b


def pair_items(datas, ours):
    """Pair cantools data items with our leaves: by order when the counts
    agree, else by normalized name."""
    if len(datas) == len(ours):
        return list(zip(datas, ours)), []
    by_name = defaultdict(list)
    for o in ours:
        by_name[norm(o["name"])].append(o)
    pairs, missing = [], []
    for d in datas:
        lst = by_name.get(norm(d.name))
        if lst:
            pairs.append((d, lst.pop(0)))
        else:
            missing.append(d.name)
    return pairs, missing


class Report:
    def __init__(self, show):
        self.show = show
        self.counts = Counter()
        self.examples = defaultdict(list)

    def diff(self, cls, example):
        self.counts[cls] += 1
        if len(self.examples[cls]) < self.show:
            self.examples[cls].append(example)


def cli_decode(tool, path, ecu, msg):
    run = subprocess.run([tool, "decode-diag", "--json", path, ecu, msg.hex()],
                         capture_output=True, text=True)
    try:
        dec = json.loads(run.stdout)
    except ValueError:
        return {"service": None, "kind": None, "parameters": []}

    def fix(params):
        for p in params:
            if isinstance(p.get("raw"), str):  # hex of a byte field or string
                p["raw"] = bytes.fromhex(p["raw"])
            fix(p.get("parameters", []))
            for item in p.get("items", []):
                fix(item)
    fix(dec.get("parameters", []))
    return dec


def load_tool_model(tool, path):
    run = subprocess.run([tool, "dump", "--json", path], capture_output=True, text=True)
    if run.returncode != 0:
        return None, run.stderr.strip()
    return json.loads(run.stdout), ""


def tool_check(tool, path):
    run = subprocess.run([tool, "check", path], capture_output=True, text=True)
    return run.returncode, (run.stdout + run.stderr).strip()


def compare_file(path, args, quillmere, cantools):
    fig = Counter()
    rep = Report(args.show)
    base = os.path.basename(path)
    result = {"file": base, "figures": fig, "report": rep}

    try:
        db = cantools.database.load_file(path)
        result["cantools"] = f"loaded, {len(db.dids)} DIDs"
    except Exception as e:  # the peer's refusal is a result
        db = None
        result["cantools"] = f"refused: {type(e).__name__}: {e}"
    model, err = load_tool_model(args.tool, path)
    rc, check = tool_check(args.tool, path)
    result["quillmere"] = ("loaded" if model else f"refused: {err}") + \
        f"; check exit {rc}" + (f": {check.splitlines()[1:]}" if rc else "")
    if db is None or model is None:
        return result
    qdb = quillmere.load(path)
    ecus = {e.name: e for e in qdb.ecus}

    for did in db.dids:
        if args.only and args.only not in did.name:
            continue
        fig["dids"] += 1
        ident = f"0x{did.identifier:04X} {did.name}"
        cands = find_services(model, did)
        read = pick(cands, READ_SIDS, did.name)
        chosen = read or pick(cands, {sid_of(c[1]) for c in cands}, did.name)
        if chosen is None:
            rep.diff("did-without-service", ident)
            continue
        ecu_json, svc, idp, named = chosen
        if read is None:
            rep.diff("did-is-not-a-read-service",
                     f"{ident} -> {svc['id']} {svc['name']}")
        else:
            fig["dids_read"] += 1
        if not svc.get("positiveResponses"):
            rep.diff("service-without-positive-response", f"{ident} -> {svc['name']}")
            continue
        pos = svc["positiveResponses"][0]
        header, nhead, our_id = header_of(pos, did.identifier)
        if header is None:
            rep.diff("identifier-not-in-response", f"{ident} -> {svc['name']}")
            continue
        fig["dids_compared"] += 1
        pre = "" if read is not None else "nonread_"
        width = (idp["bitLength"] + 7) // 8
        be = did.identifier.to_bytes(width, "big") if did.identifier < (1 << (8 * width)) else b""
        if our_id != be:
            rep.diff("identifier-byte-order",
                     f"{ident}: ours {svc['id']} request {svc['requests'][0]['bytes']}, "
                     f"ISO 14229 high byte first {sid_of(svc):02X}{be.hex().upper()} "
                     f"(param byteOrder {idp['byteOrder']})")
        our_len = len(bytes.fromhex(pos["bytes"])) - len(header)
        if our_len != did.length:
            rep.diff("length", f"{ident}: cantools {did.length} bytes, ours {our_len} "
                     f"({[p.get('dataType') for p in pos['params'][nhead:]]})")
        ecu = ecus.get(ecu_json["shortName"]) or qdb.ecus[0]
        ct_units = {d.name: d.unit for d in did.datas}
        unit_checked = set()
        rng = random.Random(f"{args.seed}:{base}:{did.identifier}:{did.name}")
        write = pick(cands, WRITE_SIDS, did.name)
        # cantools decodes the first did.length bytes and ignores the rest;
        # our message may need more (strings): give both what they need
        size = max(did.length, our_len)
        for n in range(args.payloads):
            data = bytes(rng.getrandbits(8) for _ in range(size))
            fig[pre + "payloads"] += 1
            ct_phys = did.decode(data, decode_choices=False)
            ct_text = did.decode(data, decode_choices=True)
            ct_raw = did.decode(data, decode_choices=False, scaling=False)
            msg = header + data
            try:
                dec = ecu.decode(msg)
            except UnicodeDecodeError as e:
                rep.diff("our-python-decode-raises",
                         f"{ident}: ecu.decode({msg.hex().upper()}): {e}; used the CLI")
                dec = cli_decode(args.tool, path, ecu.name, msg)
            if dec.get("service") != svc["name"] or dec.get("kind") != "positiveResponse":
                rep.diff("our-decode-finds-other-message",
                         f"{ident}: {msg.hex().upper()} -> {dec.get('service')} / {dec.get('kind')}")
                continue
            if sid_of(svc) == 0x22 and be and our_id != be:
                iso = bytes([0x62]) + be + data
                d2 = ecu.decode(iso)
                fig["iso_framing_tried"] += 1
                if d2.get("service") != svc["name"]:
                    fig["iso_framing_not_found"] += 1
                    rep.diff("iso-framing-not-decoded",
                             f"{ident}: {iso.hex().upper()} -> {d2.get('service')} / {d2.get('kind')}")
            if dec.get("problem"):
                rep.diff("our-decode-problem", f"{ident}: {msg.hex().upper()}: {dec['problem']}")
            ours = leaves(dec["parameters"][nhead:])
            pairs, missing = pair_items(did.datas, ours)
            for m in missing:
                fig[pre + "values_compared"] += 1
                fig[pre + "values_differing"] += 1
                rep.diff(pre + "item-missing-on-our-side",
                         f"{ident}: item {m}, payload {data.hex().upper()}, our items "
                         f"{[o['name'] for o in ours]}")
            for d, o in pairs:
                fig[pre + "values_compared"] += 1
                where = f"{ident}: item {d.name} / {o['name']}, payload {data.hex().upper()}"
                bad = False
                if isinstance(o.get("raw"), (bytes, str)) and isinstance(ct_raw[d.name], int):
                    bad = True
                    rep.diff(pre + "string-item", f"{where}: cantools {d.length}-bit number "
                             f"{ct_raw[d.name]}, ours {o.get('value')!r} ({len(o['raw'])} bytes)")
                elif not num_equal(ct_raw[d.name], o.get("raw")):
                    bad = True
                    rep.diff(pre + "raw", f"{where}: cantools raw {ct_raw[d.name]} "
                             f"({d.byte_order}, start {d.start}, {d.length} bits), "
                             f"ours raw {o.get('raw')!r}")
                elif not num_equal(ct_phys[d.name], o.get("value")):
                    bad = True
                    rep.diff(pre + "physical", f"{where}: cantools {ct_phys[d.name]!r} "
                             f"(scale {d.scale}, offset {d.offset}), ours {o.get('value')!r}")
                ct_choice = ct_text[d.name]
                if isinstance(ct_choice, (int, float)):
                    ct_choice = None
                else:
                    ct_choice = str(ct_choice)
                if ct_choice != o.get("text") and not bad:
                    bad = True
                    rep.diff(pre + "text", f"{where}: cantools {ct_choice!r}, ours {o.get('text')!r}")
                if bad:
                    fig[pre + "values_differing"] += 1
                else:
                    fig[pre + "values_equal"] += 1
                if d.name not in unit_checked:
                    unit_checked.add(d.name)
                    fig["units_compared"] += 1
                    if (ct_units[d.name] or None) != (o.get("unit") or None):
                        fig["units_differing"] += 1
                        rep.diff("unit", f"{ident}: item {d.name}: cantools {ct_units[d.name]!r}, "
                                 f"ours {o.get('unit')!r}")
            # encode: cantools' values through our write service
            if write is not None and not missing and pairs and any(
                    isinstance(o.get("raw"), (bytes, str)) for _, o in pairs):
                if n == 0:
                    rep.diff("encode-skipped-string-item",
                             f"{ident}: cantools reads a number where we read a string")
            elif write is not None and not missing and pairs:
                wsvc = write[1]
                sv = next(s for s in ecu.services if s.name == wsvc["name"])
                wreq = wsvc["requests"][0]
                whead, wn, _ = header_of(wreq, did.identifier)
                names = leaf_names(wreq["params"][wn:]) if whead else []
                if len(names) != len(did.datas):
                    if n == 0:
                        rep.diff("encode-structure", f"{ident}: our write request items "
                                 f"{names}, cantools {[d.name for d in did.datas]}")
                    continue
                kw = {nm: ct_phys[d.name] for nm, d in zip(names, did.datas)}
                fig["encodes"] += 1
                try:
                    out = sv.encode_request(**kw)
                except ValueError as e:
                    fig["encodes_refused"] += 1
                    rep.diff("encode-refused", f"{ident}: {kw}: {e}")
                    continue
                ct_bytes = did.encode(ct_phys)
                body = out[len(whead):]
                if body == data[:did.length] and ct_bytes == data[:did.length]:
                    fig["encodes_equal"] += 1
                else:
                    fig["encodes_differing"] += 1
                    rep.diff("encode", f"{ident}: values {kw}: ours {body.hex().upper()}, "
                             f"cantools {ct_bytes.hex().upper()}, payload {data.hex().upper()}")
    return result


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("files", nargs="*")
    ap.add_argument("--payloads", type=int, default=20)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--show", type=int, default=2)
    ap.add_argument("--only", help="only the DIDs whose cantools name holds this text")
    here = os.path.dirname(os.path.abspath(__file__))
    ap.add_argument("--tool", default=os.path.join(here, "..", "build", "tools",
                                                   "quillmere", "quillmere"))
    ap.add_argument("--corpus", default=os.path.join(here, "..", "..", "shared",
                                                     "corpus", "diag"))
    ap.add_argument("--json", help="write the figures and examples to this file")
    args = ap.parse_args()
    logging.disable(logging.WARNING)  # cantools warns about duplicate DID ids
    import cantools
    import quillmere
    files = args.files or [os.path.join(args.corpus, f) for f in DEFAULT_FILES]
    out = []
    for path in files:
        r = compare_file(path, args, quillmere, cantools)
        f = r["figures"]
        print(f"== {r['file']}")
        print(f"   cantools: {r['cantools']}")
        print(f"   quillmere: {r['quillmere']}")
        if f:
            print("   " + ", ".join(f"{k} {v}" for k, v in sorted(f.items())))
        for cls, cnt in sorted(r["report"].counts.items()):
            print(f"   [{cls}] {cnt}")
            for ex in r["report"].examples[cls]:
                print(f"      {ex}")
        out.append({"file": r["file"], "cantools": r["cantools"],
                    "quillmere": r["quillmere"], "figures": dict(f),
                    "differences": dict(r["report"].counts),
                    "examples": dict(r["report"].examples)})
    if args.json:
        with open(args.json, "w") as fp:
            json.dump(out, fp, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main())
