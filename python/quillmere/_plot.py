"""python3 -m quillmere plot DB LOG SIGNAL... : chosen signals of a candump log over time.

Signals are named by glob patterns (``Engine*``, ``EngineData.Speed``); the signals of one unit
share an axis; signals with value texts show the texts on their axis. matplotlib (Debian
package ``python3-matplotlib``) is imported only here.
"""
import argparse
import fnmatch
import os
import sys

INSTALL_HINT = ("matplotlib is not installed; install it with: "
                "sudo apt-get install python3-matplotlib")


class Series:
    """The samples of one signal: times, numeric values and the value texts it knows."""

    def __init__(self, key, unit, choices):
        self.key = key
        self.unit = unit
        self.choices = dict(choices or {})
        self.times = []
        self.values = []


def parse_arguments(argv):
    parser = argparse.ArgumentParser(prog="python3 -m quillmere plot",
                                     description="plot signals of a candump log")
    parser.add_argument("db", help="DBC, LDF or ARXML file")
    parser.add_argument("log", help="candump log ('(ts) can0 123#DEADBEEF' lines)")
    parser.add_argument("signals", nargs="+", help="signal names or glob patterns")
    parser.add_argument("-o", "--output", help="image file to write (.png or .svg)")
    parser.add_argument("--show", action="store_true", help="open a window (needs a display)")
    return parser.parse_args(argv)


def signal_catalogue(config):
    """(frame name, signal) for every signal of every database."""
    for database in config:
        for message in database:
            for signal in message:
                yield message.name, signal


def select_signals(config, patterns):
    """Series keyed by (frame name, signal name) for the signals any pattern matches: a
    pattern with a dot is matched against FRAME.SIGNAL, any other against the signal's name."""
    chosen = {}
    for frame, signal in signal_catalogue(config):
        qualified = f"{frame}.{signal.name}"
        if any(fnmatch.fnmatchcase(qualified if "." in p else signal.name, p)
               for p in patterns):
            chosen[(frame, signal.name)] = Series(qualified, signal.unit, signal.choices)
    return chosen


def as_number(value):
    if isinstance(value, bool):
        return float(value)
    if isinstance(value, (int, float)):
        return float(value)
    return None


def collect_samples(config, log_path, chosen):
    """Fills the series from the log; frames without a timestamp count by their line order."""
    wanted_frames = {frame for frame, _ in chosen}
    with config.decode_log(log_path, decode_choices=False) as reader:
        for index, frame in enumerate(reader):
            if frame.name not in wanted_frames or not frame.signals:
                continue
            time = frame.timestamp if frame.timestamp is not None else float(index)
            for name, value in frame.signals.items():
                series = chosen.get((frame.name, name))
                number = as_number(value)
                if series is not None and number is not None:
                    series.times.append(time)
                    series.values.append(number)


def axes_by_unit(series_list):
    """The series grouped by unit, in the order the units first appear; signals whose value
    texts differ do not share an axis, so that each axis has one set of labels."""
    groups = {}
    for series in series_list:
        key = (series.unit, tuple(sorted(series.choices.items())))
        groups.setdefault(key, []).append(series)
    return groups


def draw(groups, title):
    import matplotlib.pyplot as plt

    figure, axes = plt.subplots(len(groups), 1, sharex=True, squeeze=False,
                                figsize=(10, 2.6 * len(groups) + 0.8))
    start = min((s.times[0] for g in groups.values() for s in g if s.times), default=0.0)
    for axis, ((unit, _), members) in zip(axes[:, 0], groups.items()):
        texts = {}
        for series in members:
            times = [t - start for t in series.times]
            axis.step(times, series.values, where="post", label=series.key)
            texts.update(series.choices)
        if texts:
            axis.set_yticks(sorted(texts))
            axis.set_yticklabels([texts[v] for v in sorted(texts)])
        axis.set_ylabel(unit or "(no unit)")
        axis.grid(True, alpha=0.3)
        axis.legend(loc="upper right", fontsize="small")
    axes[-1, 0].set_xlabel("time [s]")
    figure.suptitle(title)
    figure.tight_layout()
    return figure


def has_display():
    return bool(os.environ.get("DISPLAY") or os.environ.get("WAYLAND_DISPLAY"))


def main(argv):
    args = parse_arguments(argv)
    try:
        import matplotlib
    except ImportError:
        print(INSTALL_HINT, file=sys.stderr)
        return 2
    if not (args.show and has_display()):
        matplotlib.use("Agg")
    import quillmere

    config = quillmere.NetworkConfig([args.db], tolerant=True)
    if not config.databases:
        print(f"quillmere: cannot read '{args.db}'", file=sys.stderr)
        return 2
    chosen = select_signals(config, args.signals)
    if not chosen:
        print(f"quillmere: no signal matches {' '.join(args.signals)}", file=sys.stderr)
        return 2
    try:
        collect_samples(config, args.log, chosen)
    except OSError as error:
        print(f"quillmere: cannot read '{args.log}': {error}", file=sys.stderr)
        return 2
    plotted = [s for s in chosen.values() if s.times]
    if not plotted:
        print("quillmere: the log holds none of the chosen signals", file=sys.stderr)
        return 1
    figure = draw(axes_by_unit(plotted), os.path.basename(args.log))
    output = args.output
    if args.show and not has_display():
        print("quillmere: no display for --show; writing the plot to a file instead",
              file=sys.stderr)
    if args.show and has_display():
        import matplotlib.pyplot as plt
        if output:
            figure.savefig(output)
        plt.show()
        return 0
    output = output or os.path.splitext(os.path.basename(args.log))[0] + ".png"
    figure.savefig(output)
    print(f"{output}: {len(plotted)} signal(s) on {len(axes_by_unit(plotted))} axis/axes")
    return 0
