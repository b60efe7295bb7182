"""python3 -m quillmere COMMAND ...: the commands of the Python package."""
import sys


def main(argv=None):
    argv = list(sys.argv[1:] if argv is None else argv)
    if not argv or argv[0] in ("-h", "--help"):
        print("usage: python3 -m quillmere plot DB LOG SIGNAL... [-o FILE.png|.svg] [--show]")
        return 0 if argv else 2
    command, rest = argv[0], argv[1:]
    if command == "plot":
        from quillmere import _plot
        return _plot.main(rest)
    print(f"quillmere: unknown command '{command}' (commands: plot)", file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main())
