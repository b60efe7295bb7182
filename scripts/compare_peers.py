#!/usr/bin/env python3
"""Compares Quillmere's decoding with the public tools of the field. Not part of `make test`.

Peers, each used when it is importable:
  canmatrix  DBC and ARXML (Debian: python3-canmatrix)
  cantools   DBC and ARXML
  ldfparser  LDF

For every frame of every corpus file that a peer loads, seeded random payloads are decoded by
  tool    `quillmere decode --json FILE --log LOG` (one candump log per file, as JSON Lines)
  python  `quillmere.load(FILE).decode(...)` (tolerant DBC, whole-document ARXML)
and by the peer, and compared signal by signal, exactly:
  raw       the field's bits (tool only: Python gives values); the peer's signed or float raw
            value is turned back into its bit pattern
  physical  an integer must be an integer of the same value (also beyond 2^53) when factor and
            offset are integers; a double must be the double nearest to the peer's exact
            decimal result (canmatrix computes in Decimal), printed in the shortest form
  text      the value text, when either side gives one
Every difference is put in a class; the classes whose cause is known (a peer's own reading,
see KNOWN below) are explained, any other class is printed with examples as "unexplained".

usage: /usr/bin/python3 scripts/compare_peers.py [--corpus DIR] [--payloads N] [--seed S]
           [--tool PATH] [--python-path DIR] [--show N] [--peer NAME] [--only TEXT] [--verbose]
(QM_PEERS_NO_FILE_CLASSES=1 in the environment shows the differences of the files of
KNOWN_FILES signal by signal.) Exit code 1 when a difference has no known cause.
"""
import argparse
import decimal
import json
import math
import os
import pathlib
import random
import struct
import subprocess
import sys
import tempfile
from collections import Counter, defaultdict

REPO = pathlib.Path(__file__).resolve().parents[1]


def default_corpus():
    """../shared/corpus beside the checkout (or beside a folder of worktrees)."""
    for folder in REPO.parents:
        if (folder / "shared" / "corpus").is_dir():
            return folder / "shared" / "corpus"
    return REPO.parent / "shared" / "corpus"

# Files whose differences have one cause (a per-signal class cannot tell it).
KNOWN_FILES = {} if os.environ.get("QM_PEERS_NO_FILE_CLASSES") else {
    "cm_test_ar323.arxml":
        "file: references that name several elements",
}

# Known peer differences: class -> why the peer's result is not ours (and ours is right).
KNOWN = {
    "canmatrix: value text matched against the physical value":
        "canmatrix 0.9 looks the value table up with raw*factor+offset (Signal.raw2phys); "
        "DBC VAL_ and AUTOSAR text tables name raw values, so with a factor or offset other "
        "than 1/0 it names the wrong value or none",
    "canmatrix: float signal scaled through Decimal":
        "a fractional IEEE value times a decimal factor (cantools__foobar.dbc Bar, x 0.1): we "
        "give the double product, as cantools does; canmatrix scales in 28-digit Decimal. They "
        "differ in the last bit (integral IEEE values scale in exact decimal on our side and "
        "agree)",
    "canmatrix: duplicate signal name":
        "the peer's result is a dict by name, so of two signals of one frame with the same name "
        "only one is left; we keep both (name, name#2)",
    "file: references that name several elements":
        "cm_test_ar323.arxml (written by canmatrix's own AR3 exporter) holds several elements "
        "of one path (4 I-SIGNALs, SYSTEM-SIGNALs and COMPU-METHODs /…/FreqHi, 2 of "
        "ThermalOverload and Enable_command; 305 of 902 references ambiguous). We take the "
        "first in reading order, canmatrix a later one: FreqHi scaled by 0.1 against 1 (and a "
        "PDU maps FreqHi/FreqLo/FreqVeryLo twice: FreqHi#2 ...), ThermalOverload texts "
        "'Warning'/'Fault' against 'Normal'/'Fault Active', Enable_command 32760 bits long "
        "(left out: beyond the frame) against 2. The file itself is ambiguous",
    "canmatrix: decodes a signal that reaches beyond the frame":
        "J1939 text signals (1600 or 200 bits in an 8-byte frame): canmatrix slices its bit "
        "string and returns the bits that are there; we leave the signal out and mark the "
        "frame truncated",
    "canmatrix: reads the UTF-8 file as ISO-8859-1":
        "canmatrix reads DBC text as ISO-8859-1 unless told otherwise; the file is UTF-8 and we "
        "read it so (its text is U+FFFD characters written by an earlier conversion)",
    "peer: signal only in the peer":
        "the peer decodes a signal that the multiplexer does not select (or that lies outside "
        "the frame)",
    "canmatrix: follows one chain of extended multiplexers only":
        "cantools__multiplex_2.dbc 'Extended' has two top multiplexers (S0 and S6, each "
        "selecting signals through SG_MUL_VAL_); canmatrix's decode walks the chain of the "
        "first it finds (S6) and drops S0 and everything S0 selects. Both are carried: we "
        "decode both chains, as cantools does",
    "canmatrix: skipped an SG_ line it cannot read":
        "opendbc__RAM_Cummins_2019.dbc has lines such as 'SG_ N : NaN|NaN@0+ (NaN,NaN) "
        "[NaN|NaN] \"2\" 4', opendbc__vw_pq.dbc 'SG_ MO2_Mp_Code m : 6|2@1+' (a bare 'm'); "
        "canmatrix skips such lines (and so has no multiplexer for MO2_Getr_Code m2), tolerant "
        "reading keeps them with a warning: NaN numbers read as 0 (length 0, physical null), "
        "a bare 'm' as the message's multiplexer",
    "ldfparser: fails the frame on a raw value no encoding entry covers":
        "ldfparser raises ValueError ('cannot decode 127 as encTemperature') for the whole frame "
        "when a signal's raw value lies in no logical value or physical range of its encoding; "
        "we give that signal's raw value and decode the rest",
    "canmatrix: skipped the signal's VAL_ line":
        "opendbc__generator_gm_global_a_powertrain.dbc ends 'VAL_ 501 ManualMode 1 \"Active\" "
        "0 \"Inactive\"' without its ';'; canmatrix's pattern needs the ';' and drops the "
        "line, tolerant reading takes it",
}


class NumberText(float):
    """A JSON number with the text it was written as (to check integers and shortest form)."""

    def __new__(cls, text):
        value = float.__new__(cls, text)
        value.text = text
        return value


def shortest(value):
    return repr(float(value))


def significant_digits(text):
    mantissa = text.lower().split("e")[0].lstrip("-").replace(".", "").lstrip("0")
    return len(mantissa.rstrip("0")) or 1


def integral(number):
    return float(number).is_integer() and abs(number) < 2**63


def as_decimal(value):
    if isinstance(value, decimal.Decimal):
        return value
    if isinstance(value, int):
        return decimal.Decimal(value)
    return decimal.Decimal(float(value))


class Tally:
    """Counts per (format, entry point, peer); differences by class with examples."""

    def __init__(self, show):
        self.show = show
        self.rows = defaultdict(Counter)  # (fmt, entry, peer) -> files, frames, signals, ...
        self.classes = defaultdict(Counter)  # (fmt, entry, peer) -> class -> count
        self.examples = defaultdict(list)  # (key, class) -> example lines
        self.notes = defaultdict(set)  # what was not compared -> file names

    def count(self, key, what, n=1):
        self.rows[key][what] += n

    def differ(self, key, kind, example):
        self.rows[key]["different"] += 1
        self.classes[key][kind] += 1
        if len(self.examples[key, kind]) < self.show:
            self.examples[key, kind].append(example)

    def report(self):
        print(f"{'format':7} {'entry':7} {'peer':10} {'files':>5} {'frames':>7} {'signals':>8} "
              f"{'equal':>8} {'different':>9}")
        for key in sorted(self.rows):
            row = self.rows[key]
            print(f"{key[0]:7} {key[1]:7} {key[2]:10} {row['files']:5} {row['frames']:7} "
                  f"{row['signals']:8} {row['equal']:8} {row['different']:9}")
        for key in sorted(self.rows):
            extra = {k: v for k, v in self.rows[key].items()
                     if k not in ("files", "frames", "signals", "equal", "different")}
            if extra:
                print(f"  {' '.join(key)} also: " +
                      ", ".join(f"{k} {v}" for k, v in sorted(extra.items())))
        for what, names in sorted(self.notes.items()):
            print(f"  {what}: " + ", ".join(sorted(names)))
        unexplained = 0
        for key in sorted(self.classes):
            print(f"\ndifferences {' '.join(key)}:")
            for kind, n in self.classes[key].most_common():
                known = kind in KNOWN
                unexplained += 0 if known else n
                print(f"  {n:7}  {kind}{'' if known else '  [unexplained]'}")
        if self.examples:
            print("\nclasses:")
        for key, kind in sorted(self.examples):
            print(f"- {' '.join(key)}: {kind}: {KNOWN.get(kind, 'UNEXPLAINED')}")
            for line in self.examples[key, kind]:
                print(f"    {line}")
        print(f"\nunexplained differences: {unexplained}")
        return unexplained


# ------------------------------------------------------------------------------------------
# canmatrix: frames as the peer reads them
# ------------------------------------------------------------------------------------------

class PeerSignal:
    """What the comparison needs of one decoded signal of a peer."""

    def __init__(self, name, bits, physical, text, raw_text, scaled, is_float, integer,
                 fits=True, has_table=True):
        self.name = name
        self.has_table = has_table  # the peer has value texts for the signal
        self.fits = fits  # the field lies within the frame
        self.is_float = is_float  # an IEEE float signal
        self.integer = integer  # an integer signal with integer factor and offset
        self.bits = bits  # the field's bits as an unsigned integer, or None
        self.physical = physical  # exact (Decimal/int) where the peer is exact
        self.text = text  # the text the peer gives, or None
        self.raw_text = raw_text  # the text the peer's table has for the raw value, or None
        self.scaled = scaled  # factor != 1 or offset != 0


class PeerFrame:
    def __init__(self, name, frame_id, extended, size, decode, duplicates, names=(), chains=1):
        self.name = name
        self.chains = chains  # multiplexers that no other multiplexer selects
        self.names = list(names)  # signal names in the peer's (file) order
        self.frame_id = frame_id
        self.extended = extended
        self.size = size
        self.decode = decode  # payload -> {name: PeerSignal}
        self.duplicates = duplicates  # names the frame has more than once


def canmatrix_frames(canmatrix, path):
    import contextlib
    import io
    import logging

    import canmatrix.formats as formats

    logging.getLogger("canmatrix").setLevel(logging.CRITICAL)
    with contextlib.redirect_stdout(io.StringIO()):  # its DBC reader prints bad lines
        loaded = formats.loadp(str(path))
    frames = []
    for db in (loaded or {}).values():
        for frame in db.frames:
            if frame.is_pdu_container or not frame.signals:
                continue
            counts = Counter(s.name for s in frame.signals)

            def decode(data, frame=frame):
                out = {}
                for name, decoded in frame.decode(data).items():
                    signal = decoded.signal
                    raw = decoded.raw_value
                    if signal.is_float and math.isnan(raw):
                        bits = None  # a float NaN does not keep its bits (signalling ones)
                    elif signal.is_float:
                        bits = int.from_bytes(
                            struct.pack(">f" if signal.size == 32 else ">d", raw), "big")
                    else:
                        bits = int(raw) & ((1 << signal.size) - 1)
                    named = decoded.named_value
                    text = named if isinstance(named, str) else None
                    raw_text = signal.values.get(int(raw)) if not signal.is_float else None
                    scaled = signal.factor != 1 or signal.offset != 0
                    integer = not signal.is_float and integral(signal.factor) and \
                        integral(signal.offset)
                    out[name] = PeerSignal(name, bits, decoded.phys_value, text, raw_text,
                                           scaled, signal.is_float, integer,
                                           canmatrix_fits(signal, frame.size),
                                           bool(signal.values))
                return out

            frames.append(PeerFrame(frame.name, frame.arbitration_id.id,
                                    bool(frame.arbitration_id.extended), frame.size, decode,
                                    {n for n, c in counts.items() if c > 1},
                                    [s.name for s in frame.signals],
                                    sum(1 for s in frame.signals if s.is_multiplexer and
                                        s.muxer_for_signal is None)))
    return frames


def canmatrix_fits(signal, size):
    """Whether a canmatrix signal lies within a frame of `size` bytes (canmatrix slices a bit
    string and reads a field beyond the frame as the bits that are there). Its internal start
    bit counts from the string's end for little-endian fields and from its start (the most
    significant bit first) for big-endian ones: either way the field ends at start + size."""
    return signal.start_bit + signal.size <= size * 8


def cantools_frames(cantools, path):
    db = cantools.database.load_file(str(path), strict=False)
    frames = []
    for message in db.messages:
        counts = Counter(s.name for s in message.signals)

        def decode(data, message=message):
            out = {}
            phys = message.decode(data, decode_choices=False, scaling=True)
            texts = message.decode(data, decode_choices=True, scaling=True)
            raws = message.decode(data, decode_choices=False, scaling=False)
            for name, value in phys.items():
                signal = message.get_signal_by_name(name)
                raw = raws[name]
                if signal.is_float:
                    bits = int.from_bytes(struct.pack(">f" if signal.length == 32 else ">d", raw),
                                          "big")
                else:
                    bits = int(raw) & ((1 << signal.length) - 1)
                text = texts[name]
                text = str(text) if not isinstance(text, (int, float)) else None
                out[name] = PeerSignal(name, bits, value, text, text,
                                       signal.scale != 1 or signal.offset != 0, signal.is_float,
                                       not signal.is_float and integral(signal.scale)
                                       and integral(signal.offset))
            return out

        frames.append(PeerFrame(message.name, message.frame_id, message.is_extended_frame,
                                message.length, decode,
                                {n for n, c in counts.items() if c > 1}))
    return frames


PEERS = {"canmatrix": canmatrix_frames, "cantools": cantools_frames}


# ------------------------------------------------------------------------------------------
# our two entry points
# ------------------------------------------------------------------------------------------

def tool_decode(tool, path, cases):
    """{index: frame object} of the tool's JSON output: one candump log for the frames of up
    to 64 bytes (JSON Lines), the command line for longer ones (no CAN frame holds them)."""
    options = ["--short-names"] if path.suffix == ".dbc" else []
    lines, frames = [], {}
    for index, (frame, data) in enumerate(cases):
        ident = f"{frame.frame_id:08X}" if frame.extended else f"{frame.frame_id:03X}"
        if len(data) > 64:
            key = frame.frame_id | (0x80000000 if frame.extended and path.suffix == ".dbc" else 0)
            out = subprocess.run([tool, "decode", "--json", *options, str(path), str(key),
                                  data.hex()], capture_output=True, text=True, check=False)
            if out.returncode == 0:
                frames[index] = json.loads(out.stdout, parse_float=NumberText)
            continue
        sep = "##0" if len(data) > 8 else "#"
        lines.append(f"({index}.000000) can0 {ident}{sep}{data.hex().upper()}\n")
    with tempfile.NamedTemporaryFile("w", suffix=".log", delete=False) as log:
        log.write("".join(lines))
    try:
        out = subprocess.run([tool, "decode", "--json", *options, str(path), "--log", log.name],
                             capture_output=True, text=True, check=False).stdout
    finally:
        os.unlink(log.name)
    for line in out.splitlines():
        if line.strip():
            obj = json.loads(line, parse_float=NumberText)
            frames[int(float(obj["timestamp"]))] = obj
    return frames


def tool_signals(obj):
    """{key: (raw, physical, text)} with name#2... for repeated names, as Python keys them."""
    out, seen = {}, Counter()
    for s in obj.get("signals", []):
        seen[s["name"]] += 1
        key = s["name"] if seen[s["name"]] == 1 else f"{s['name']}#{seen[s['name']]}"
        out[key] = (s["raw"], s["physical"], s.get("valueText"))
    return out


def python_signals(db, frame, data):
    key = frame.frame_id | (0x80000000 if frame.extended else 0)
    try:
        physical = db.decode(key, data, decode_choices=False)
        texts = db.decode(key, data)
    except (KeyError, ValueError):
        return None
    return {name: (None, value, texts[name] if isinstance(texts.get(name), str) else None)
            for name, value in physical.items()}


# ------------------------------------------------------------------------------------------
# comparison
# ------------------------------------------------------------------------------------------

def compare_number(ours, peer, integer=True):
    """None when equal, else the class of the difference. Without integer scaling an integer
    token of ours is a double that printed without decimals."""
    if not integer and isinstance(ours, int) and not isinstance(ours, bool):
        ours = float(ours)
    if isinstance(peer, decimal.Decimal) and peer == peer.to_integral_value() \
            and isinstance(ours, int) and not isinstance(ours, bool):
        return None if decimal.Decimal(ours) == peer else "physical differs"
    if isinstance(ours, NumberText) and ours.text.lstrip("-").isdigit():
        ours = int(ours.text)
    if isinstance(ours, int) and not isinstance(ours, bool):
        if isinstance(peer, (int, decimal.Decimal)):
            return None if decimal.Decimal(ours) == as_decimal(peer) else "physical differs"
        return None if float(ours) == float(peer) else "physical differs"
    if ours is None:
        return None if isinstance(peer, float) and not math.isfinite(peer) or \
            (isinstance(peer, decimal.Decimal) and not peer.is_finite()) else "physical differs"
    mine = float(ours)
    if isinstance(ours, NumberText) and significant_digits(ours.text) > \
            significant_digits(shortest(mine)):
        return "tool: double not printed in its shortest form"
    theirs = float(peer)
    if math.isnan(mine) and math.isnan(theirs):
        return None
    if mine == theirs:
        return None
    if math.isclose(mine, theirs, rel_tol=4e-16, abs_tol=0):
        return "last bit"
    return "physical differs"


def read_as_latin1(text):
    """What a reader taking UTF-8 bytes for ISO-8859-1 makes of a text."""
    if text is None:
        return None
    try:
        return text.encode("utf-8").decode("latin-1")
    except UnicodeError:
        return None


def compare_signal(tally, key, where, name, ours, theirs, peer_name):
    raw, physical, text = ours
    problems = []
    # What the number checks covered (printed under the table).
    if theirs.bits is not None and theirs.bits >= 2**53:
        tally.count(key, "check: raw at or above 2^53")
    if theirs.integer:
        tally.count(key, "check: integer physical")
    if isinstance(physical, NumberText):
        tally.count(key, "check: double in shortest form")
    if theirs.raw_text is not None and not theirs.is_float and \
            isinstance(theirs.physical, (int, decimal.Decimal)) and theirs.physical < 0:
        tally.count(key, "check: value text of a negative value")
    if raw is not None and theirs.bits is not None and raw != theirs.bits:
        problems.append("raw differs")
    if theirs.integer and not (isinstance(physical, int) or (
            isinstance(physical, NumberText) and physical.text.lstrip("-").isdigit())):
        problems.append("physical not an integer although factor and offset are")
    result = compare_number(physical, theirs.physical, theirs.integer)
    if result == "last bit":
        result = f"{peer_name}: float signal scaled through Decimal" if theirs.is_float \
            else "physical differs in the last bit"
    if result:
        problems.append(result)
    if text != theirs.text:
        if theirs.scaled and (theirs.raw_text is not None and
                              theirs.raw_text in (text, read_as_latin1(text)) or
                              text is None and theirs.raw_text is None):
            problems.append(f"{peer_name}: value text matched against the physical value")
        elif text is not None and theirs.text is not None and read_as_latin1(text) == theirs.text:
            problems.append(f"{peer_name}: reads the UTF-8 file as ISO-8859-1")
        elif text is not None and theirs.text is None and not theirs.has_table:
            problems.append(f"{peer_name}: skipped the signal's VAL_ line")
        else:
            problems.append("value text differs")
    if not problems:
        tally.count(key, "equal")
        return
    kind = "; ".join(problems)
    tally.differ(key, kind, f"{where}.{name}: ours raw={raw!r} physical={physical!r} "
                            f"text={text!r}; peer bits={theirs.bits!r} "
                            f"physical={theirs.physical!r} text={theirs.text!r}")


def compare_frame(tally, key, where, frame, ours, theirs, peer_name, names):
    """names: our decode keys in signal order when they pair with the peer's signals one to
    one (the peer shows DBC long names, and text in its own reading); theirs is rekeyed."""
    tally.count(key, "frames")
    if names and len(names) == len(frame.names) and not frame.duplicates:
        rename = dict(zip(frame.names, names))
        theirs = {rename.get(n, n): v for n, v in theirs.items()}
    # A UTF-8 long name the peer read as ISO-8859-1 pairs with ours as that misreading; the
    # signal is then compared, and its name counted as the peer's text reading.
    misread = {read_as_latin1(n): n for n in ours if read_as_latin1(n) != n}
    renamed = [n for n in theirs if n not in ours and n in misread]
    if renamed:
        theirs = {misread.get(n, n) if n in renamed else n: v for n, v in theirs.items()}
        for _ in renamed:
            tally.differ(key, f"{peer_name}: reads the UTF-8 file as ISO-8859-1",
                         f"{where}: a signal name")
    file_reason = KNOWN_FILES.get(where.split(":")[0])
    for name in sorted(set(ours) | set(theirs)):
        base = name.split("#")[0]
        if base in frame.duplicates:
            tally.count(key, "signals")
            if name in theirs and name in ours and \
                    compare_number(ours[name][1], theirs[name].physical) is None:
                tally.count(key, "equal")
            else:
                tally.differ(key, f"{peer_name}: duplicate signal name", f"{where}.{name}")
            continue
        if file_reason and (name not in theirs or name not in ours or
                            compare_number(ours[name][1], theirs[name].physical) is not None or
                            ours[name][2] != theirs[name].text):
            tally.count(key, "signals")
            tally.differ(key, file_reason, f"{where}.{name}")
            continue
        if name not in theirs:
            tally.count(key, "signals")
            kind = "signal only in quillmere"
            if any(n.split("#")[0] not in frame.names for n in ours):
                kind = f"{peer_name}: skipped an SG_ line it cannot read"
            elif frame.chains > 1:
                kind = f"{peer_name}: follows one chain of extended multiplexers only"
            tally.differ(key, kind, f"{where}.{name}: {ours[name]!r}")
            continue
        if name not in ours:
            tally.count(key, "signals")
            kind = "peer: signal only in the peer"
            if not theirs[name].fits:
                kind = f"{peer_name}: decodes a signal that reaches beyond the frame"
            tally.differ(key, kind, f"{where}.{name}: peer {theirs[name].physical!r}")
            continue
        tally.count(key, "signals")
        compare_signal(tally, key, where, name, ours[name], theirs[name], peer_name)


def compare_file(fmt, path, peer_name, peer_frames, args, tally, quillmere, rng):
    try:
        frames = peer_frames(path)
    except Exception as error:  # a file the peer refuses is reported, not compared
        tally.count((fmt, "-", peer_name), "files the peer cannot read")
        tally.notes[f"{peer_name} cannot read"].add(f"{path.name} ({type(error).__name__})")
        if args.verbose:
            print(f"{peer_name} cannot read {path.name}: {error}", file=sys.stderr)
        return
    if not frames:
        tally.count((fmt, "-", peer_name), "files without frames for the peer")
        return
    cases = []
    for frame in frames:
        for _ in range(args.payloads):
            data = bytes(rng.getrandbits(8) for _ in range(frame.size))
            try:
                theirs = frame.decode(data)
            except Exception as error:
                tally.count((fmt, "-", peer_name), "peer decode failed")
                tally.notes[f"{peer_name} cannot decode"].add(
                    f"{path.name}:{frame.name} ({type(error).__name__})")
                continue
            cases.append((frame, data, theirs))
    entries = []
    if args.tool:
        decoded = tool_decode(args.tool, path, [(f, d) for f, d, _ in cases])
        entries.append(("tool", lambda i, f, d: tool_signals(decoded[i]) if i in decoded
                        else None))
    try:
        db = quillmere.load(path)
        if not hasattr(db, "decode"):  # an older module: ARXML decodes through NetworkConfig
            db = quillmere.NetworkConfig(path)
    except Exception as error:
        db = None
        tally.count((fmt, "python", peer_name), "files quillmere.load refuses")
        print(f"quillmere.load({path.name}): {error}", file=sys.stderr)
    if db is not None:
        entries.append(("python", lambda i, f, d: python_signals(db, f, d)))
    names_of = written_names(db, fmt)
    for entry, ours_of in entries:
        key = (fmt, entry, peer_name)
        tally.count(key, "files")
        for index, (frame, data, theirs) in enumerate(cases):
            ours = ours_of(index, frame, data)
            if ours is None:
                tally.count(key, "frames")
                tally.differ(key, "frame not found by quillmere",
                             f"{path.name}:{frame.name} id 0x{frame.frame_id:X}")
                continue
            # Python keys DBC signals by their long names, as the peer does; the tool runs
            # with --short-names, so the peer's names are rekeyed to the written ones.
            compare_frame(tally, key, f"{path.name}:{frame.name}", frame, ours, theirs,
                          peer_name, names_of(frame) if entry == "tool" else None)


# Numbers the corpus hardly holds: 64-bit raw values (unsigned and signed), a value text of a
# negative value, integer scaling beyond 2^53, a factor of 17 decimals.
NUMBERS_DBC = """VERSION ""

BU_: A

BO_ 256 Counter64: 8 A
 SG_ Counter : 0|64@1+ (1,0) [0|0] "" A

BO_ 257 Mixed: 8 A
 SG_ Speed : 0|16@1+ (0.1,0) [0|6553.5] "km/h" A
 SG_ Temp : 16|8@1- (1,0) [-128|127] "" A
 SG_ Big : 24|32@1- (1000,-5) [0|0] "" A
 SG_ Ratio : 56|8@1+ (0.39215686274509803,0) [0|100] "%" A

BO_ 258 Signed64: 8 A
 SG_ Wide : 7|64@0- (3,-7) [0|0] "" A

VAL_ 257 Temp -1 "SNA" -2 "Error" 0 "Zero" 127 "Max";
"""


def compare_numbers_fixture(peer_name, load, args, tally, quillmere):
    """The numbers fixture (format "numbers"), with many payloads so that rare values come."""
    with tempfile.TemporaryDirectory() as folder:
        path = pathlib.Path(folder) / "numbers.dbc"
        path.write_text(NUMBERS_DBC)
        many = argparse.Namespace(**{**vars(args), "payloads": max(args.payloads, 1000)})
        compare_file("numbers", path, peer_name, load, many, tally, quillmere,
                     random.Random(f"{args.seed}:numbers"))


# Random databases (--random-dbcs): layouts, codings and scalings drawn at random, so that
# combinations that no corpus file holds are compared too.
FACTORS = ["1", "0.1", "0.01", "0.5", "0.25", "3", "0.001", "1E-005", "0.0625",
           "0.392156862745098", "-1", "2.5", "100"]
OFFSETS = ["0", "0", "-40", "-100", "0.5", "-273.15", "1000", "-0.01"]
CAN_FD_SIZES = [12, 16, 20, 24, 32, 48, 64]


def random_field(rng, size, length):
    """(start bit as DBC writes it, byte order char) of a field of `length` bits in `size`
    bytes: a little-endian field from its least significant bit, a big-endian one from its
    most significant bit in the sawtooth numbering."""
    if rng.random() < 0.5:
        return rng.randrange(size * 8 - length + 1), "1"
    first = rng.randrange(size * 8 - length + 1)  # bits counted from byte 0's top bit down
    return first // 8 * 8 + 7 - first % 8, "0"


def random_signal(rng, name, size, receivers):
    """One SG_ line body (after the name and indicator) and its SIG_VALTYPE_ code, if any."""
    kind = rng.random()
    if kind < 0.08 and size * 8 >= 32:
        length, valtype, sign = 32, 1, "-"
    elif kind < 0.12 and size * 8 >= 64:
        length, valtype, sign = 64, 2, "-"
    else:
        length = rng.choice([1, 2, 3, 4, 7, 8, 10, 12, 13, 16, 20, 24, 31, 32, 33, 48, 63, 64])
        length = min(length, size * 8)
        valtype, sign = None, rng.choice("+-")
    start, order = random_field(rng, size, length)
    factor = "1" if valtype else rng.choice(FACTORS)
    offset = "0" if valtype else rng.choice(OFFSETS)
    body = f"{start}|{length}@{order}{sign} ({factor},{offset}) [0|0] \"u\" {receivers}"
    return body, valtype, length


def random_dbc(rng):
    lines = ['VERSION ""', "", "BU_: A B", ""]
    tails = []
    used = set()
    for number in range(rng.randrange(3, 9)):
        extended = rng.random() < 0.3
        ident = rng.randrange(1 << 29 if extended else 1 << 11)
        while ident in used:
            ident = rng.randrange(1 << 29 if extended else 1 << 11)
        used.add(ident)
        size = rng.randrange(1, 9) if rng.random() < 0.7 else rng.choice(CAN_FD_SIZES)
        name = f"M{number}"
        lines.append(f"BO_ {ident | (0x80000000 if extended else 0)} {name}: {size} A")
        multiplexed = size >= 2 and rng.random() < 0.3
        if multiplexed:
            lines.append(" SG_ Mux M : 0|4@1+ (1,0) [0|0] \"\" B")
        for index in range(rng.randrange(1, 7)):
            signal = f"S{number}_{index}"
            body, valtype, length = random_signal(rng, signal, size, "B")
            indicator = f" m{rng.randrange(3)}" if multiplexed and rng.random() < 0.5 else ""
            lines.append(f" SG_ {signal}{indicator} : {body}")
            if valtype:
                tails.append(f"SIG_VALTYPE_ {ident | (0x80000000 if extended else 0)} "
                             f"{signal} : {valtype};")
            elif rng.random() < 0.3:
                values = sorted(rng.sample(range(min(1 << min(length, 8), 256)),
                                           min(3, 1 << min(length, 8))))
                texts = " ".join(f'{v} "V{v}"' for v in reversed(values))
                tails.append(f"VAL_ {ident | (0x80000000 if extended else 0)} {signal} {texts} ;")
        lines.append("")
    return "\n".join(lines + tails) + "\n"


def dbc_field_bits(signal):
    """The payload bits of a canmatrix signal, numbered as in a DBC file (bit 7 of byte 0 is 7),
    for finding frames whose fields overlap (an encode of those depends on the order)."""
    start = signal.get_startbit(bit_numbering=1)
    if signal.is_little_endian:
        return set(range(start, start + signal.size))
    bits, bit = set(), start
    for _ in range(signal.size):
        bits.add(bit)
        bit = bit - 1 if bit % 8 else bit + 15
    return bits


def compare_random_encode(path, tally, quillmere, rng):
    """Our encode of values our decode gave, against canmatrix's packing of the raw values those
    values scale back to (canmatrix packs raw values; its own phys2raw truncates): frames
    without multiplexing whose fields do not overlap, a few payloads each. A scaled value that a
    double cannot carry back to its raw value is left out."""
    import contextlib
    import io

    import canmatrix.formats as formats

    with contextlib.redirect_stdout(io.StringIO()):
        frames = [f for db in formats.loadp(str(path)).values() for f in db.frames]
    ours = quillmere.load(path)
    key = ("random", "encode", "canmatrix")
    tally.count(key, "files")
    for frame in frames:
        fields = [dbc_field_bits(s) for s in frame.signals]
        if frame.is_multiplexed or sum(map(len, fields)) != len(set().union(*fields)):
            continue
        signals = {s.name: s for s in frame.signals}
        ident = frame.arbitration_id.id | (0x80000000 if frame.arbitration_id.extended else 0)
        for _ in range(5):
            data = bytes(rng.getrandbits(8) for _ in range(frame.size))
            values = ours.decode(ident, data, decode_choices=False)
            raws = {}
            for name, value in values.items():
                signal = signals[name]
                raws[name] = value if signal.is_float else int(
                    ((decimal.Decimal(repr(value)) - signal.offset) / signal.factor)
                    .to_integral_value(rounding=decimal.ROUND_HALF_EVEN))
            tally.count(key, "frames")
            mine = {n: d.raw_value for n, d in frame.decode(ours.encode(ident, values)).items()}
            theirs = {n: d.raw_value for n, d in frame.decode(bytes(frame.encode(raws))).items()}
            given = {n: d.raw_value for n, d in frame.decode(data).items()}
            for name in values:
                signal = signals[name]
                tally.count(key, "signals")
                same = mine[name] == theirs[name] or (signal.is_float and math.isnan(mine[name])
                                                      and math.isnan(theirs[name]))
                # A physical double too coarse for one raw step (its last bit weighs half a
                # factor or more) does not carry the raw value back, whoever encodes it.
                wide = not signal.is_float and (signal.factor != 1 or signal.offset != 0) and (
                    abs(int(given[name])) >= 2**53 or
                    math.ulp(float(values[name])) >= abs(float(signal.factor)) / 2)
                if same or wide:
                    tally.count(key, "equal")
                else:
                    tally.differ(key, "encode: other bits than canmatrix packs",
                                 f"{path.name}:{frame.name}.{name}: ours {mine[name]}, "
                                 f"canmatrix {theirs[name]} (value {values[name]})")


def compare_random_dbcs(peer_name, load, args, tally, quillmere):
    rng = random.Random(f"{args.seed}:random")
    with tempfile.TemporaryDirectory() as folder:
        for number in range(args.random_dbcs):
            path = pathlib.Path(folder) / f"random{number}.dbc"
            path.write_text(random_dbc(rng))
            compare_file("random", path, peer_name, load, args, tally, quillmere,
                         random.Random(f"{args.seed}:random:{number}"))
            if peer_name == "canmatrix":
                compare_random_encode(path, tally, quillmere,
                                      random.Random(f"{args.seed}:encode:{number}"))
            if args.keep_random:
                kept = pathlib.Path(args.keep_random)
                kept.mkdir(parents=True, exist_ok=True)
                (kept / path.name).write_text(path.read_text())


def written_names(db, fmt):
    """frame -> our decode keys of its signals in file order (DBC: the names as written)."""
    def names(frame):
        if fmt not in ("dbc", "numbers", "random") or db is None:
            return None
        try:
            message = db.message_by_id(frame.frame_id | (0x80000000 if frame.extended else 0))
        except (KeyError, ValueError):
            return None
        if message is None:
            return None
        keys, seen = [], Counter()
        for signal in message.signals:
            seen[signal.name] += 1
            n = seen[signal.name]
            keys.append(signal.name if n == 1 else f"{signal.name}#{n}")
        return keys
    return names


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--corpus", type=pathlib.Path, default=default_corpus())
    parser.add_argument("--payloads", type=int, default=20)
    parser.add_argument("--seed", type=int, default=20261206)
    parser.add_argument("--show", type=int, default=3, help="examples shown per class")
    parser.add_argument("--tool", default=str(REPO / "build" / "tools" / "quillmere" / "quillmere"))
    parser.add_argument("--python-path", default=str(REPO / "build" / "python"))
    parser.add_argument("--peer", action="append",
                        help="canmatrix, cantools, ldfparser (default: all)")
    parser.add_argument("--only", help="compare only files whose name contains this")
    parser.add_argument("--verbose", action="store_true")
    parser.add_argument("--random-dbcs", type=int, default=0,
                        help="also compare this many random databases (layouts, codings, "
                        "scalings drawn from --seed)")
    parser.add_argument("--keep-random", help="folder to keep the random databases in")
    args = parser.parse_args()
    sys.path.insert(0, args.python_path)
    try:
        import quillmere
    except ImportError:
        sys.exit(f"the quillmere module is not built ({args.python_path})")
    if not os.access(args.tool, os.X_OK):
        print(f"no tool at {args.tool}: only Python is compared", file=sys.stderr)
        args.tool = None
    tally = Tally(args.show)
    ran = False
    wanted = args.peer or list(PEERS) + ["ldfparser"]
    for peer_name in [name for name in wanted if name in PEERS]:
        try:
            module = __import__(peer_name)
        except ImportError:
            print(f"{peer_name} is not installed: not compared", file=sys.stderr)
            continue
        ran = True
        load = lambda p, m=module, n=peer_name: PEERS[n](m, p)  # noqa: E731
        for fmt in ("dbc", "arxml"):
            rng = random.Random(f"{args.seed}:{fmt}")
            for path in sorted((args.corpus / fmt).glob(f"*.{fmt}")):
                if args.only and args.only not in path.name:
                    continue
                compare_file(fmt, path, peer_name, load, args, tally, quillmere, rng)
        if not args.only:
            compare_numbers_fixture(peer_name, load, args, tally, quillmere)
        compare_random_dbcs(peer_name, load, args, tally, quillmere)
    try:
        if "ldfparser" not in wanted:
            raise ImportError
        import ldfparser
    except ImportError:
        if "ldfparser" in wanted:
            print("ldfparser is not installed: LDF is not compared (not available)",
                  file=sys.stderr)
    else:
        ran = True
        compare_ldf(sorted((args.corpus / "ldf").glob("*.ldf")), args, tally, quillmere,
                    ldfparser)
    if not ran:
        sys.exit("no peer is installed (apt-get install python3-canmatrix)")
    sys.exit(1 if tally.report() else 0)


def same_ldf_value(theirs, mine):
    """ldfparser gives every number as a float, scaled in floating point (11.110000000000001
    where we give 11.11, the double nearest the exact decimal): numbers agree within a few units
    in the last place, texts exactly."""
    if isinstance(mine, bytes) and isinstance(theirs, list):  # a byte array: its bytes
        return list(mine) == theirs
    numbers = (int, float)
    if isinstance(theirs, numbers) and isinstance(mine, numbers) and not isinstance(theirs, bool):
        return math.isclose(theirs, mine, rel_tol=4 * sys.float_info.epsilon, abs_tol=1e-12)
    return str(theirs) == str(mine)


def compare_ldf(files, args, tally, quillmere, ldfparser):
    rng = random.Random(f"{args.seed}:ldf")
    for path in files:
        try:
            peer = ldfparser.parse_ldf(str(path))
        except Exception:
            tally.count(("ldf", "-", "ldfparser"), "files the peer cannot read")
            continue
        ours = quillmere.load(path)
        key = ("ldf", "python", "ldfparser")
        tally.count(key, "files")
        for frame in peer.get_unconditional_frames():
            for _ in range(args.payloads):
                data = bytes(rng.getrandbits(8) for _ in range(frame.length))
                try:
                    theirs = frame.decode(data)
                    mine = ours.decode(frame.name, data)
                except Exception as error:
                    kind = ("ldfparser: fails the frame on a raw value no encoding entry covers"
                            if "cannot decode" in str(error) else "decode failed")
                    tally.differ(key, kind, f"{path.name}:{frame.name}: {error}")
                    continue
                tally.count(key, "frames")
                for name in set(theirs) | set(mine):
                    tally.count(key, "signals")
                    if name in theirs and name in mine and same_ldf_value(theirs[name], mine[name]):
                        tally.count(key, "equal")
                    else:
                        tally.differ(key, "ldf value differs",
                                     f"{path.name}:{frame.name}.{name}: ours "
                                     f"{mine.get(name)!r}, peer {theirs.get(name)!r}")


if __name__ == "__main__":
    main()
