"""Runs every bench_*.py beside this file; each defines run()."""

import importlib
import pathlib
import sys

here = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(here))

print("ratio = kavo_python time / NumPy-or-SciPy time, measured in one run (below 1: kavo_python faster)")
for path in sorted(here.glob("bench_*.py")):
    importlib.import_module(path.stem).run()
