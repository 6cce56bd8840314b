"""With the leak detector on, a program that frees everything it allocated
gets an empty leak report at exit: the process-wide executor's queues, which
live until the process ends by design, are not listed as leaks."""

import os
import subprocess
import sys

SCRIPT = r"""
import numpy as np
import kavo_python as kp

rng = np.random.default_rng(7)
a32 = rng.standard_normal((700, 700)).astype(np.float32)
a64 = rng.standard_normal((300, 300))
kp.matmul(a32, a32)                       # the executor, packed panels, scratch
kp.batched_matmul(np.stack([a32[:40, :40]] * 1100), np.stack([a32[:40, :40]] * 1100))
kp.add(a32, a32)
for name in ("svd", "qr", "inv", "eigenvalues", "symmetric_eigen", "matexp"):
    getattr(kp, name)(a64 @ a64.T if name == "symmetric_eigen" else a64)
"""


def test_a_program_that_leaks_nothing_gets_an_empty_report(tmp_path):
    report = tmp_path / "leaks.txt"
    env = dict(os.environ, PELMARK_LEAK_DETECTOR="1", PELMARK_LEAK_REPORT=str(report))
    done = subprocess.run([sys.executable, "-c", SCRIPT], env=env, capture_output=True, text=True, timeout=300)
    assert done.returncode == 0, done.stderr[-2000:]
    assert report.read_text() == "pelmark leak report: 0 live allocations\n"
