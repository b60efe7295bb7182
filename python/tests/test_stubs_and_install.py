"""The type stubs name what the module has, the docstrings explain it, and an installed
module works from its prefix."""
import ast
import os
import pathlib
import re
import shutil
import subprocess
import sys

import pytest

from conftest import EXAMPLES, REPO, quillmere

STUBS = REPO / "python" / "quillmere.pyi"


def stub_classes():
    tree = ast.parse(STUBS.read_text())
    classes = {}
    for node in tree.body:
        if isinstance(node, ast.ClassDef):
            members = set()
            for item in node.body:
                if isinstance(item, ast.FunctionDef):
                    members.add(item.name)
                elif isinstance(item, ast.AnnAssign):
                    members.add(item.target.id)
                elif isinstance(item, ast.Assign):
                    members.update(t.id for t in item.targets)
            classes[node.name] = members
    functions = {n.name for n in tree.body if isinstance(n, ast.FunctionDef)}
    return classes, functions


def test_stubs_and_module_name_the_same_things():
    classes, functions = stub_classes()
    # Submodules (quillmere.dask once imported) are no names of the extension.
    public = {name for name in dir(quillmere)
              if not name.startswith("_") and not isinstance(getattr(quillmere, name), type(os))}
    assert public == {c for c in classes if not c.startswith("_")} | functions
    for name, members in classes.items():
        if name.startswith("_") or name == "DecodedFrame":
            continue
        cls = getattr(quillmere, name)
        if issubclass(cls, int):  # the enumerations
            assert members == set(cls.__members__), name
            continue
        stubbed = members | classes["_Frame"]
        for base in cls.__mro__[1:]:
            stubbed |= classes.get(base.__name__, set())
        public_members = {m for m in vars(cls) if not m.startswith("_")}
        assert public_members <= stubbed, (name, public_members - stubbed)
        assert all(hasattr(cls, m) for m in members), name


def test_docstrings_explain_the_entry_points():
    assert "FileNotFoundError" in quillmere.load.__doc__ and "encoding" in quillmere.load.__doc__
    assert quillmere.version() == "1.00.40.03"
    assert quillmere.DbcStatus(2).name == "LOADED_WITH_WARNINGS"
    for name in ("decode", "decode_many", "encode", "decode_log"):
        assert len(getattr(quillmere.FrameCodec, name).__doc__) > 60, name


def build_folder():
    folder = pathlib.Path(quillmere.__file__).resolve().parent.parent
    return folder if (folder / "CMakeCache.txt").exists() else None


def test_installed_module_imports_from_its_prefix(tmp_path):
    build = build_folder()
    if build is None or shutil.which("cmake") is None:
        pytest.skip("not run from a CMake build folder")
    cache = (build / "CMakeCache.txt").read_text()
    folder = re.search(r"^QM_PYTHON_INSTALL_DIR:STRING=(.*)$", cache, re.M).group(1)
    prefix = tmp_path / "prefix"
    subprocess.run(["cmake", "--install", str(build), "--prefix", str(prefix)], check=True,
                   capture_output=True)
    site = prefix / folder
    assert (site / "quillmere.pyi").exists()
    env = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "LD_LIBRARY_PATH")}
    env["PYTHONPATH"] = str(site)
    script = ("import quillmere, sys; db = quillmere.load(sys.argv[1]); "
              "print(quillmere.__file__); print(len(db))")
    out = subprocess.run([sys.executable, "-c", script, str(EXAMPLES / "powertrain.dbc")], env=env,
                         check=True, capture_output=True, text=True).stdout.split()
    assert out[0].startswith(str(site)) and out[1] == "4"


def test_the_readme_example_runs():
    text = (REPO / "README.md").read_text()
    code = re.search(r"```python\n(.*?)```", text, re.S).group(1)
    env = dict(os.environ, PYTHONPATH=str(pathlib.Path(quillmere.__file__).parent))
    out = subprocess.run([sys.executable, "-c", code], cwd=REPO, env=env, check=True,
                         capture_output=True, text=True).stdout
    assert "EngineData" in out and "'EngineState': 'Cranking'" in out
