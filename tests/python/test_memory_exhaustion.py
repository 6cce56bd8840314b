"""A result or working copy the system cannot provide raises MemoryError and
leaves the interpreter running, without leaking: each function runs in a
fresh process whose address space is capped a little above what it already
uses, on an input whose result or working copy needs more than that."""

import subprocess
import sys

import pytest

# Per function: arguments whose result or working copy needs about 0.5 GB.
# Inputs are zero pages until touched, so building them costs little.
SCRIPT = r"""
import resource, sys
import numpy as np
import kavo_python as kp

def vm_bytes():
    for line in open("/proc/self/status"):
        if line.startswith("VmSize:"):
            return int(line.split()[1]) * 1024

def square(n=8000):
    a = np.zeros((n, n))
    a[np.diag_indices(n)] = 2.0
    return a

BIG = {
    "add": lambda: (np.zeros((12000, 12000), np.float32), np.ones((1, 12000), np.float32)),
    "matmul": lambda: (np.ones((12000, 1), np.float32), np.ones((1, 12000), np.float32)),
    "batched_matmul": lambda: (np.ones((1, 12000, 1), np.float32), np.ones((1, 1, 12000), np.float32)),
    "kron": lambda: (np.ones((100, 100)), np.ones((100, 100))),
    "solve": lambda: (square(), np.ones(8000)),
    "cholesky_solve": lambda: (square(), np.ones(8000)),
}
for name in ("sub", "mul", "div"):
    BIG[name] = BIG["add"]

name = sys.argv[1]
args = BIG[name]() if name in BIG else (square(),)
small = [np.ascontiguousarray(x[:3, :3] if x.ndim == 2 else x[:3]) if hasattr(x, "ndim") else x for x in args]
function = getattr(kp, name)
function(*small)  # workers, heaps and caches exist before the cap

soft, hard = resource.getrlimit(resource.RLIMIT_AS)
resource.setrlimit(resource.RLIMIT_AS, (vm_bytes() + (256 << 20), hard))
outcomes = []
sizes = []
for attempt in range(4):
    try:
        function(*args)
        outcomes.append("returned")
    except MemoryError:
        outcomes.append("MemoryError")
    sizes.append(vm_bytes())
resource.setrlimit(resource.RLIMIT_AS, (soft, hard))
function(*small)
print(" ".join(outcomes))
# Address space held after the first failure and after the last: a failed
# call that leaked its partial allocations would grow it each time.
print(sizes[0], sizes[-1])
"""

ALLOCATING = [
    "add", "sub", "mul", "div", "matmul", "batched_matmul", "kron",
    "det", "inv", "solve", "cholesky", "cholesky_solve", "cholesky_inv",
    "qr", "col_piv_qr", "svd", "singular_values", "symmetric_eigen",
    "schur", "eigenvalues", "hessenberg", "bunch_kaufman", "udu", "full_piv_lu",
    "bidiagonalize", "matexp",
]


@pytest.mark.parametrize("name", ALLOCATING)
def test_refused_memory_raises_memory_error_without_leaking(name):
    done = subprocess.run([sys.executable, "-c", SCRIPT, name], capture_output=True, text=True, timeout=300)
    assert done.returncode == 0, done.stderr[-2000:]
    outcomes, sizes = done.stdout.splitlines()[-2:]
    assert outcomes.split() == ["MemoryError"] * 4
    first, last = map(int, sizes.split())
    assert last - first < (8 << 20), (first, last)


# The first call that needs the worker pool creates it; the system refusing
# memory or a thread for it fails that call only, with MemoryError, and the
# next call (memory available again) creates the pool and computes. A fresh
# process per cap, so that the pool does not exist yet.
POOL_SCRIPT = r"""
import os, resource, sys
import numpy as np
import kavo_python as kp

def vm_bytes():
    for line in open("/proc/self/status"):
        if line.startswith("VmSize:"):
            return int(line.split()[1]) * 1024

def workers():
    names = [open(f"/proc/self/task/{t}/comm").read().strip() for t in os.listdir("/proc/self/task")]
    return sum(name.startswith("drovek-worker") for name in names)

a = np.random.default_rng(3).standard_normal((400, 400))
soft, hard = resource.getrlimit(resource.RLIMIT_AS)
resource.setrlimit(resource.RLIMIT_AS, (vm_bytes() + (int(sys.argv[1]) << 20), hard))
try:
    kp.qr(a)
    first = "returned"
except MemoryError:
    first = "MemoryError"
resource.setrlimit(resource.RLIMIT_AS, (soft, hard))
q, r = kp.qr(a)
residual = np.linalg.norm(a - q @ r) / (400 * np.finfo(float).eps * np.linalg.norm(a))
print(first, workers(), "ok" if residual < 30 else f"residual {residual}")
"""


@pytest.mark.parametrize("room_mib", [0, 2, 4, 6, 8, 12, 16])
def test_refused_memory_while_the_pool_is_created_fails_that_call_only(room_mib):
    done = subprocess.run([sys.executable, "-c", POOL_SCRIPT, str(room_mib)], capture_output=True, text=True,
                          timeout=300)
    assert done.returncode == 0, done.stderr[-2000:]
    first, workers_at_end, check = done.stdout.strip().split(maxsplit=2)
    assert first in ("MemoryError", "returned")
    assert int(workers_at_end) > 0
    assert check == "ok"
