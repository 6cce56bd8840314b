"""Runs every bench_*.py beside this file; each defines run()."""

import importlib
import os
import pathlib
import sys

# OpenBLAS reads these when NumPy/SciPy load it: unset, the reference runs the
# kernel and cache sizes OpenBLAS picks for this processor (bench_products.py
# reports which kernel that is).
for name in ("OPENBLAS_CORETYPE", "OPENBLAS_L2_SIZE"):
    os.environ.pop(name, None)

here = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(here))

print("ratio = kavo_python time / NumPy-or-SciPy time, measured in one run (below 1: kavo_python faster)")
for path in sorted(here.glob("bench_*.py")):
    importlib.import_module(path.stem).run()
