"""python3 -m quillmere plot: a candump log drawn to a PNG, checked by its size and pixels."""
import os
import pathlib
import subprocess
import sys

import pytest

from conftest import EXAMPLES, quillmere

DB = EXAMPLES / "powertrain.dbc"


def write_log(path):
    """EngineData every 10 ms with a rising speed and a state that walks through its texts,
    GearboxData every 50 ms."""
    lines = []
    for i in range(200):
        t = 1000.0 + i * 0.01
        data = bytearray(8)
        data[0:2] = int((800 + i * 20) / 0.25).to_bytes(2, "little")
        data[2] = 60 + i // 4
        data[5] = ((i // 50) % 4) << 6
        lines.append(f"({t:.6f}) can0 100#{data.hex().upper()}")
        if i % 5 == 0:
            lines.append(f"({t + 0.001:.6f}) can0 200#{(i // 40) % 5:02X}000000")
    lines.append("(1002.5) can0 7FF#00")  # a frame the database does not know
    path.write_text("\n".join(lines) + "\n")
    return path


def run_plot(*args, env=None):
    package_root = pathlib.Path(quillmere.__path__[0]).parent
    environment = dict(os.environ if env is None else env)
    environment["PYTHONPATH"] = os.pathsep.join(
        p for p in (environment.get("PYTHONPATH"), str(package_root)) if p)
    environment.pop("DISPLAY", None)
    environment.pop("WAYLAND_DISPLAY", None)
    return subprocess.run([sys.executable, "-m", "quillmere", "plot", *map(str, args)],
                          env=environment, capture_output=True, text=True)


def colour_pixels(image, rgb, tolerance=0.08):
    import numpy
    return int((numpy.abs(image[:, :, :3] - numpy.array(rgb)).max(axis=2) < tolerance).sum())


def test_signals_of_a_log_are_drawn_one_axis_per_unit(tmp_path):
    pytest.importorskip("matplotlib")
    import matplotlib.image
    log = write_log(tmp_path / "drive.log")
    out = tmp_path / "plot.png"
    result = run_plot(DB, log, "Engine*", "CoolantTemp", "GearboxData.Gear", "-o", out)
    assert result.returncode == 0, result.stderr
    # EngineSpeed (rpm), CoolantTemp (degC), EngineState and Gear: texts of their own each.
    assert "4 signal(s) on 4 axis/axes" in result.stdout
    image = matplotlib.image.imread(out)
    height, width = image.shape[:2]
    assert (width, height) == (1000, 4 * 260 + 80)
    blue = colour_pixels(image, (0x1F / 255, 0x77 / 255, 0xB4 / 255))
    assert blue > 2000  # four lines (and legend marks) in the first colour
    non_white = int((image[:, :, :3].min(axis=2) < 0.9).sum())
    assert 0.02 * width * height < non_white < 0.5 * width * height


def test_svg_and_no_display(tmp_path):
    pytest.importorskip("matplotlib")
    log = write_log(tmp_path / "drive.log")
    out = tmp_path / "plot.svg"
    result = run_plot(DB, log, "EngineSpeed", "-o", out, "--show")
    assert result.returncode == 0, result.stderr
    assert "no display" in result.stderr
    text = out.read_text()
    assert text.lstrip().startswith("<?xml") and "<svg" in text and "rpm" in text


def test_nothing_to_draw_is_reported(tmp_path):
    pytest.importorskip("matplotlib")
    log = write_log(tmp_path / "drive.log")
    nomatch = run_plot(DB, log, "NoSuch*", "-o", tmp_path / "x.png")
    assert nomatch.returncode == 2 and "no signal matches" in nomatch.stderr
    absent = run_plot(DB, log, "FuelRate", "-o", tmp_path / "x.png")
    assert absent.returncode == 1 and not (tmp_path / "x.png").exists()


def test_without_matplotlib_the_command_says_how_to_install_it(tmp_path):
    blocker = tmp_path / "blocker"
    (blocker / "matplotlib").mkdir(parents=True)
    (blocker / "matplotlib" / "__init__.py").write_text("raise ImportError('blocked')\n")
    env = dict(os.environ, PYTHONPATH=str(blocker))
    result = run_plot(DB, write_log(tmp_path / "drive.log"), "EngineSpeed", env=env)
    assert result.returncode == 2
    assert "apt-get install python3-matplotlib" in result.stderr
