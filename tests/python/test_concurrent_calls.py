"""Many Python threads calling into the module at once get exactly what
sequential calls get, and repeated calls, failing ones included, do not make
the process grow."""

import threading

import numpy as np
import pytest

import kavo_python as kp
from conftest import FUNCTIONS

rng = np.random.default_rng(18)
_g = rng.standard_normal((120, 120))
SPD = _g @ _g.T + 120 * np.eye(120)
F32 = rng.standard_normal((300, 300)).astype(np.float32)
A3 = rng.standard_normal((8, 40, 60)).astype(np.float32)
B3 = rng.standard_normal((8, 60, 40)).astype(np.float32)


def inputs(name):
    """Inputs big enough for the parallel and blocked paths of each function."""
    if name in ("add", "sub", "mul", "div", "matmul"):
        return (F32, F32 + 2)
    if name in ("sum", "sum_dyn"):
        return (F32,)
    if name == "dot":
        return (F32.ravel(), F32.ravel()[::-1].copy())
    if name == "batched_matmul":
        return (A3, B3)
    if name in ("solve", "cholesky_solve"):
        return (SPD, SPD[0].copy())
    if name == "kron":
        return (SPD[:20, :20].copy(), SPD[:15, :15].copy())
    if name == "norm":
        return (SPD, "1")
    return (SPD,)


NAMES = [name for name, _, _ in FUNCTIONS]


def same(ours, theirs):
    if isinstance(ours, tuple):
        return len(ours) == len(theirs) and all(same(a, b) for a, b in zip(ours, theirs))
    if isinstance(ours, str):
        return ours == theirs
    return np.array_equal(np.asarray(ours), np.asarray(theirs), equal_nan=True)


def test_eight_threads_get_the_sequential_results():
    expected = {name: getattr(kp, name)(*inputs(name)) for name in NAMES}
    snapshots = {name: [np.copy(x) if isinstance(x, np.ndarray) else x for x in inputs(name)] for name in NAMES}
    mismatches = []
    start = threading.Barrier(8)

    def worker(offset):
        start.wait()
        for round_ in range(3):
            for i in range(len(NAMES)):
                name = NAMES[(i + offset + round_) % len(NAMES)]
                if not same(getattr(kp, name)(*inputs(name)), expected[name]):
                    mismatches.append(name)

    threads = [threading.Thread(target=worker, args=(k * 4,)) for k in range(8)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert mismatches == []
    for name in NAMES:  # the shared inputs were only read
        assert all(same(a, b) for a, b in zip(inputs(name), snapshots[name])), name


def resident_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * 4096


SMALL = np.eye(8) * 3 + 1
SMALL32 = SMALL.astype(np.float32)
CALLS = [
    lambda: kp.add(SMALL32, SMALL32),
    lambda: kp.matmul(SMALL32, SMALL32),
    lambda: kp.det(SMALL),
    lambda: kp.inv(SMALL),
    lambda: kp.svd(SMALL),
    lambda: kp.schur(SMALL),
    lambda: kp.symmetric_eigen(SMALL),
    lambda: kp.cholesky_inv(SMALL),
    lambda: kp.qr(SMALL),
    lambda: kp.matexp(SMALL),
    # Error paths: wrong type, wrong shape, numerical failure, bad keyword.
    lambda: kp.add(SMALL, SMALL),
    lambda: kp.matmul(SMALL32, SMALL32[:3]),
    lambda: kp.cholesky(-SMALL),
    lambda: kp.inv(np.zeros((8, 8))),
    lambda: kp.norm(SMALL, "nope"),
    lambda: kp.solve(SMALL, np.ones(3)),
    lambda: kp.det(a=SMALL, b=SMALL),
]


def test_memory_stays_flat_over_ten_thousand_calls():
    def run(count):
        for i in range(count):
            try:
                CALLS[i % len(CALLS)]()
            except (TypeError, ValueError):
                pass

    run(2000)  # caches and pools reach their working size
    before = resident_bytes()
    run(10000)
    assert resident_bytes() - before < (4 << 20)
