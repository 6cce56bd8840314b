"""The Dask example, small: a LocalCluster of two worker processes runs the
kavo graphs (elementwise, chunk sums with a tree reduction, a blockwise
product) and checks each against the same graph built with NumPy."""

import pathlib
import subprocess
import sys

EXAMPLE = pathlib.Path(__file__).resolve().parents[2] / "examples" / "dask_blockwise.py"


def test_small_graphs_agree_with_numpy_on_a_process_cluster():
    done = subprocess.run(
        [sys.executable, str(EXAMPLE), "--small"], capture_output=True, text=True, timeout=300
    )
    assert done.returncode == 0, done.stdout + done.stderr
    assert "bit-identical = True" in done.stdout
    assert "all results agree with the NumPy graph" in done.stdout
