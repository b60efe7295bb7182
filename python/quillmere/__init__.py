"""quillmere: DBC, LDF, ARXML, CDD, ODX and PDX files from Python.

The compiled extension beside this folder holds the whole API; this package only makes
``python3 -m quillmere`` possible (see __main__.py) and re-exports the extension's names, so
``import quillmere`` gives the same module content either way.
"""


def _load_extension():
    import importlib.machinery
    import pathlib
    import sys
    import warnings

    # A single-phase extension enters itself into sys.modules under its name when it loads;
    # the package stays the module of that name.
    package = sys.modules[__name__]

    here = pathlib.Path(__file__).resolve().parent
    for suffix in importlib.machinery.EXTENSION_SUFFIXES:
        candidate = here.parent / ("quillmere" + suffix)
        if candidate.exists():
            loader = importlib.machinery.ExtensionFileLoader(__name__, str(candidate))
            del sys.modules[__name__]  # else the loader would run into the package itself
            try:
                # The loader's one-call form: it makes, runs and returns the module (its
                # deprecation note concerns import hooks, not a loader called directly).
                with warnings.catch_warnings():
                    warnings.simplefilter("ignore", DeprecationWarning)
                    return loader.load_module()
            finally:
                sys.modules[__name__] = package
    raise ImportError(f"the quillmere extension module is not beside {here}")


_core = _load_extension()
globals().update({k: v for k, v in vars(_core).items() if not k.startswith("__")})
globals().update({k: getattr(_core, k) for k in ("__doc__", "__file__", "__version__") if hasattr(_core, k)})
del _load_extension

from ._columns import LogColumns, to_pandas  # noqa: E402  (after the extension: they use it)
