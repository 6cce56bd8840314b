"""Every function over a fixed table of inputs, each result reduced to a
digest of its exact bits (or to its exception's class and text).

The recorded digests (recorded_digests.json, one table per processor tier)
hold the bits that rearrangements for speed must keep: a change that moves
any result by one bit on any tier, or changes an error, fails
test_recorded_digests.py.

Inputs come from a 64-bit linear congruential generator, not NumPy's, whose
streams may change between NumPy versions.

    python tests/python/digest_cases.py --record   # rewrite the recorded table, every tier this machine runs
    KAVO_FORCE_TIER=B python tests/python/digest_cases.py   # print one tier's table as JSON
"""

import hashlib
import json
import os
import pathlib
import struct
import subprocess
import sys

import numpy as np

RECORDED = pathlib.Path(__file__).with_name("recorded_digests.json")
TIERS = ("A", "B", "C")


def values(count, seed):
    state = (seed * 0x9E3779B97F4A7C15 + 1) % 2**64
    out = np.empty(count)
    for i in range(count):
        state = (state * 6364136223846793005 + 1442695040888963407) % 2**64
        out[i] = (state >> 11) / 2.0**52 - 1.0  # [-1, 1), 53-bit mantissas
    return out


def matrix(rows, cols, seed, dtype=np.float64):
    return values(rows * cols, seed).reshape(rows, cols).astype(dtype)


def square_inputs():
    """name -> float64 square matrix, for the square-matrix functions."""
    cases = {f"random {n}": matrix(n, n, n) for n in (1, 2, 5, 17, 64, 130)}
    for n in (5, 17, 64, 130):
        r = matrix(n, n, 1000 + n)
        cases[f"spd {n}"] = r @ r.T + n * np.eye(n)
    for n in (5, 17, 40):
        r = matrix(n, n, 2000 + n)
        cases[f"symmetric {n}"] = (r + r.T) / 2
    graded = matrix(17, 17, 3000) * np.logspace(-8, 8, 17)[:, None]
    cases["graded rows 17"] = graded
    cases["graded spd 17"] = (lambda d, s: d[:, None] * s * d[None, :])(
        np.logspace(-6, 6, 17), cases["spd 17"]
    )
    cases["huge 17"] = matrix(17, 17, 3001) * 1e300
    cases["tiny 17"] = matrix(17, 17, 3002) * 1e-300
    deficient = matrix(17, 17, 3003)
    deficient[12:] = deficient[:5]
    cases["rank-deficient 17"] = deficient
    cases["zero 5"] = np.zeros((5, 5))
    cases["empty"] = np.zeros((0, 0))
    return cases


def rectangular_inputs():
    return {
        "tall 40x7": matrix(40, 7, 4000),
        "wide 7x40": matrix(7, 40, 4001),
        "tall 300x20": matrix(300, 20, 4002),
    }


def large_inputs():
    """name -> (matrix, functions): sizes past the limits where the sweeps
    split their steps over the executor and chase bulges in windows, and
    where LU factors each next panel beside the trailing update."""
    return {
        "random 200": (matrix(200, 200, 200), ("schur", "eigenvalues")),
        "random 400": (matrix(400, 400, 400), ("hessenberg", "svd", "singular_values", "bidiagonalize")),
        "tall 1200x150": (matrix(1200, 150, 4003), ("svd", "singular_values", "bidiagonalize")),
        "random 600": (matrix(600, 600, 600), ("det", "inv")),
    }


def digest(result):
    h = hashlib.sha256()

    def feed(x):
        if isinstance(x, tuple):
            h.update(b"(")
            for item in x:
                feed(item)
            h.update(b")")
        elif isinstance(x, np.ndarray):
            h.update(f"{x.dtype.str}{x.shape}".encode())
            h.update(np.ascontiguousarray(x).tobytes())
        elif isinstance(x, complex):
            h.update(struct.pack("<dd", x.real, x.imag))
        else:
            h.update(struct.pack("<d", float(x)))

    feed(result)
    return h.hexdigest()[:24]


def outcome(call):
    try:
        return digest(call())
    except Exception as error:  # noqa: BLE001 - the error itself is what is recorded
        return f"{type(error).__name__}: {error}"


def calls():
    """(case name, call) for every function over its inputs."""
    import kavo_python as kp

    square = square_inputs()
    rectangular = rectangular_inputs()
    symmetric_functions = ("udu", "bunch_kaufman", "symmetric_eigen")
    for name, a in square.items():
        b = values(a.shape[0], 5000 + a.shape[0])
        for function in ("det", "inv", "cholesky", "cholesky_inv", "qr", "col_piv_qr", "svd", "singular_values",
                         "schur", "matexp", "hessenberg", "eigenvalues", "full_piv_lu", "bidiagonalize", "trace"):
            if function in ("schur", "eigenvalues", "hessenberg", "matexp") and a.shape[0] > 64:
                continue  # iterations at n = 130 cost seconds on tier C
            yield f"{function} {name}", lambda f=getattr(kp, function), a=a: f(a)
        if name.startswith(("symmetric", "spd", "random 1", "random 2", "random 5", "zero", "empty")) and a.shape[0] <= 40:
            for function in symmetric_functions:
                yield f"{function} {name}", lambda f=getattr(kp, function), a=a: f(a)
        yield f"solve {name}", lambda a=a, b=b: kp.solve(a, b)
        yield f"cholesky_solve {name}", lambda a=a, b=b: kp.cholesky_solve(a, b)
        for order in (None, "fro", "max", "1"):
            yield f"norm {order} {name}", lambda a=a, order=order: kp.norm(a, order)
    for name, a in rectangular.items():
        for function in ("qr", "col_piv_qr", "svd", "singular_values", "bidiagonalize"):
            yield f"{function} {name}", lambda f=getattr(kp, function), a=a: f(a)
    for name, (a, functions) in large_inputs().items():
        for function in functions:
            yield f"{function} {name}", lambda f=getattr(kp, function), a=a: f(a)
    yield "kron 5 (x) 7x3", lambda: kp.kron(matrix(5, 5, 6000), matrix(7, 3, 6001))

    for m, k, n in ((5, 5, 5), (64, 64, 64), (130, 70, 90), (300, 300, 300), (1, 40, 33), (40, 33, 1), (520, 600, 250)):
        a, b = matrix(m, k, 7000 + m, np.float32), matrix(k, n, 7001 + n, np.float32)
        yield f"matmul {m}x{k}x{n}", lambda a=a, b=b: kp.matmul(a, b)
    for batches, m, k, n, shared in ((10, 4, 4, 4, False), (3, 17, 17, 17, False), (1100, 3, 5, 2, True), (5, 1, 7, 3, False)):
        a = matrix(batches * m, k, 8000 + m, np.float32).reshape(batches, m, k)
        b = matrix((1 if shared else batches) * k, n, 8001 + n, np.float32).reshape(-1, k, n)
        yield f"batched_matmul {batches}x{m}x{k}x{n}", lambda a=a, b=b: kp.batched_matmul(a, b)
    for rows, cols in ((3, 5), (64, 64), (700, 900)):
        a, b = matrix(rows, cols, 9000, np.float32), matrix(rows, cols, 9001, np.float32) + np.float32(1.5)
        for function in ("add", "sub", "mul", "div"):
            f = getattr(kp, function)
            yield f"{function} {rows}x{cols}", lambda f=f, a=a, b=b: f(a, b)
            yield f"{function} row {rows}x{cols}", lambda f=f, a=a, b=b: f(a, b[:1].copy())
        yield f"sum {rows}x{cols}", lambda a=a: kp.sum(a)
        yield f"dot {rows * cols}", lambda a=a, b=b: kp.dot(a.reshape(-1), b.reshape(-1))
    yield "sum_dyn rank 3", lambda: kp.sum_dyn(matrix(60, 70, 9002, np.float32).reshape(6, 10, 70))


def table():
    return {name: outcome(call) for name, call in calls()}


def tier_table(tier):
    environment = dict(os.environ, KAVO_FORCE_TIER=tier)
    run = subprocess.run([sys.executable, __file__], env=environment, capture_output=True, text=True)
    if run.returncode != 0:
        return None, run.stderr
    return json.loads(run.stdout), None


def record():
    recorded = {}
    for tier in TIERS:
        digests, error = tier_table(tier)
        if digests is None:
            print(f"tier {tier} skipped: {error.strip().splitlines()[-1] if error else 'no output'}")
            continue
        recorded[tier] = digests
        print(f"tier {tier}: {len(digests)} results")
    RECORDED.write_text(json.dumps(recorded, indent=1, sort_keys=True) + "\n")


if __name__ == "__main__":
    if "--record" in sys.argv:
        record()
    else:
        json.dump(table(), sys.stdout)
