"""A tour of kavo_python: every available function on a realistic input,
checked against NumPy/SciPy, with its speed relative to that reference.

    max error   largest absolute difference from the reference, relative to
                the reference's largest magnitude
    time ratio  kavo_python time / reference time (below 1: kavo_python faster)
"""

import os
import sys
import time

# Some machines set these for old OpenBLAS builds; a current NumPy runs its
# best kernel without them, and that is the reference worth comparing with.
for name in ("OPENBLAS_CORETYPE", "OPENBLAS_L2_SIZE"):
    os.environ.pop(name, None)

import numpy as np  # noqa: E402 (after the environment is settled)
import scipy.linalg  # noqa: E402

import kavo_python as kp  # noqa: E402

rng = np.random.default_rng(7)


def spd(n):
    m = rng.standard_normal((n, n))
    return m @ m.T + n * np.eye(n)


# Before timing a side, let the other side's idle threads go quiet: OpenBLAS's
# workers spin for about 0.1 s after each call and would take the cores from
# the next measurement.
SETTLE_SECONDS = 0.2


def seconds_per_call(call, minimum=0.05):
    time.sleep(SETTLE_SECONDS)
    call()
    loops, elapsed = 1, 0.0
    while elapsed < minimum:
        start = time.perf_counter()
        for _ in range(loops):
            call()
        elapsed = time.perf_counter() - start
        loops *= 2
    return elapsed / (loops // 2)


def relative_error(result, reference):
    result, reference = np.asarray(result), np.asarray(reference)
    scale = max(np.abs(reference).max(initial=0.0), np.finfo(float).tiny)
    return float(np.abs(result - reference).max(initial=0.0) / scale)


F64_SPD = spd(300)
F64_RHS = rng.standard_normal(300)
F64_SQUARE = rng.standard_normal((300, 300))
F32_A = rng.standard_normal((2000, 1500)).astype(np.float32)
F32_B = rng.standard_normal((2000, 1500)).astype(np.float32) + 2
F32_ROW = rng.standard_normal((1, 1500)).astype(np.float32) + 2
F32_CUBE = rng.standard_normal((20, 30, 40)).astype(np.float32)
F32_LEFT = rng.standard_normal((1000, 800)).astype(np.float32)
F32_RIGHT = rng.standard_normal((800, 1200)).astype(np.float32)
F32_BATCH_A = rng.standard_normal((64, 128, 96)).astype(np.float32)
F32_BATCH_B = rng.standard_normal((64, 96, 128)).astype(np.float32)
F64_SMALL_A = rng.standard_normal((40, 30))
F64_SMALL_B = rng.standard_normal((20, 25))
F64_SYMMETRIC = (lambda m: m + m.T)(rng.standard_normal((300, 300)))
F32_U = rng.standard_normal(1_000_000).astype(np.float32)
F32_V = rng.standard_normal(1_000_000).astype(np.float32)

def lu_rebuilt(factors):
    """P A Q from full_piv_lu's factors, undone: L U with rows and columns put back."""
    l, u, rows, cols = factors
    rebuilt = np.empty_like(l)
    rebuilt[np.ix_(rows, cols)] = l @ u
    return rebuilt


def qr_rebuilt(factors):
    q, r = factors
    return q @ r


def col_piv_qr_rebuilt(factors):
    """A from Q R = A[:, perm]."""
    q, r, perm = factors
    rebuilt = np.empty_like(r)
    rebuilt[:, perm] = q @ r
    return rebuilt


def svd_rebuilt(factors):
    u, s, vt = factors
    return (u * s) @ vt


def bidiagonal_rebuilt(factors):
    u, b, v = factors
    return u @ b @ v.T


def similarity_rebuilt(factors):
    """Q X Q^T from (Q, X): Schur and Hessenberg forms."""
    q, x = factors
    return q @ x @ q.T


def eigen_rebuilt(factors):
    w, v = factors
    return (v * w) @ v.T


def udu_rebuilt(factors):
    u, d = factors
    return (u * d) @ u.T


def ldl_rebuilt(factors):
    l, d, perm = factors
    rebuilt = np.empty_like(l)
    rebuilt[np.ix_(perm, perm)] = l @ d @ l.T
    return rebuilt


# name: (kavo call, reference call[, kavo result -> value compared with the reference's])
# Functions returning factors are timed against the nearest SciPy routine and
# checked by rebuilding their input from the factors.
TOUR = {
    "add": (lambda: kp.add(F32_A, F32_B), lambda: F32_A + F32_B),
    "sub": (lambda: kp.sub(F32_A, F32_ROW), lambda: F32_A - F32_ROW),
    "mul": (lambda: kp.mul(F32_A, F32_B), lambda: F32_A * F32_B),
    "div": (lambda: kp.div(F32_A, F32_B), lambda: F32_A / F32_B),
    "dot": (lambda: kp.dot(F32_U, F32_V), lambda: np.dot(F32_U.astype(np.float64), F32_V)),
    "sum": (lambda: kp.sum(F32_A), lambda: F32_A.sum(dtype=np.float64)),
    "matmul": (lambda: kp.matmul(F32_LEFT, F32_RIGHT), lambda: F32_LEFT @ F32_RIGHT),
    "batched_matmul": (
        lambda: kp.batched_matmul(F32_BATCH_A, F32_BATCH_B),
        lambda: np.matmul(F32_BATCH_A, F32_BATCH_B),
    ),
    "sum_dyn": (lambda: kp.sum_dyn(F32_CUBE), lambda: F32_CUBE.sum(dtype=np.float64)),
    "trace": (lambda: kp.trace(F64_SQUARE), lambda: np.trace(F64_SQUARE)),
    "kron": (lambda: kp.kron(F64_SMALL_A, F64_SMALL_B), lambda: np.kron(F64_SMALL_A, F64_SMALL_B)),
    "det": (lambda: kp.det(F64_SQUARE), lambda: np.linalg.det(F64_SQUARE)),
    "inv": (lambda: kp.inv(F64_SQUARE), lambda: np.linalg.inv(F64_SQUARE)),
    "solve": (lambda: kp.solve(F64_SQUARE, F64_RHS), lambda: np.linalg.solve(F64_SQUARE, F64_RHS)),
    "full_piv_lu": (lambda: kp.full_piv_lu(F64_SQUARE), lambda: scipy.linalg.lu(F64_SQUARE), lu_rebuilt, F64_SQUARE),
    "udu": (lambda: kp.udu(F64_SPD), lambda: scipy.linalg.ldl(F64_SPD, lower=False), udu_rebuilt, F64_SPD),
    "bunch_kaufman": (
        lambda: kp.bunch_kaufman(F64_SYMMETRIC),
        lambda: scipy.linalg.ldl(F64_SYMMETRIC),
        ldl_rebuilt,
        F64_SYMMETRIC,
    ),
    "cholesky": (lambda: kp.cholesky(F64_SPD), lambda: np.linalg.cholesky(F64_SPD)),
    "cholesky_solve": (
        lambda: kp.cholesky_solve(F64_SPD, F64_RHS),
        lambda: scipy.linalg.cho_solve(scipy.linalg.cho_factor(F64_SPD, lower=True), F64_RHS),
    ),
    "cholesky_inv": (lambda: kp.cholesky_inv(F64_SPD), lambda: np.linalg.inv(F64_SPD)),
    "qr": (lambda: kp.qr(F64_SQUARE), lambda: np.linalg.qr(F64_SQUARE, mode="complete"), qr_rebuilt, F64_SQUARE),
    "col_piv_qr": (
        lambda: kp.col_piv_qr(F64_SQUARE),
        lambda: scipy.linalg.qr(F64_SQUARE, pivoting=True),
        col_piv_qr_rebuilt,
        F64_SQUARE,
    ),
    # Entrywise orders: "fro" here; "2", "inf", "1" are entrywise too, unlike NumPy's.
    "norm": (lambda: kp.norm(F64_SQUARE, "fro"), lambda: np.linalg.norm(F64_SQUARE, "fro")),
    "svd": (lambda: kp.svd(F64_SQUARE), lambda: np.linalg.svd(F64_SQUARE), svd_rebuilt, F64_SQUARE),
    "singular_values": (
        lambda: kp.singular_values(F64_SQUARE),
        lambda: np.linalg.svd(F64_SQUARE, compute_uv=False),
    ),
    "bidiagonalize": (
        lambda: kp.bidiagonalize(F64_SQUARE),
        lambda: np.linalg.qr(F64_SQUARE),  # no public bidiagonal routine: the nearest orthogonal reduction
        bidiagonal_rebuilt,
        F64_SQUARE,
    ),
    "symmetric_eigen": (
        lambda: kp.symmetric_eigen(F64_SYMMETRIC),
        lambda: np.linalg.eigh(F64_SYMMETRIC),
        eigen_rebuilt,
        F64_SYMMETRIC,
    ),
    "hessenberg": (
        lambda: kp.hessenberg(F64_SQUARE),
        lambda: scipy.linalg.hessenberg(F64_SQUARE, calc_q=True),
        similarity_rebuilt,
        F64_SQUARE,
    ),
    "schur": (lambda: kp.schur(F64_SQUARE), lambda: scipy.linalg.schur(F64_SQUARE), similarity_rebuilt, F64_SQUARE),
    "eigenvalues": (
        lambda: np.sort_complex(kp.eigenvalues(F64_SQUARE)),
        lambda: np.sort_complex(np.linalg.eigvals(F64_SQUARE)),
    ),
    "matexp": (lambda: kp.matexp(F64_SQUARE / 30), lambda: scipy.linalg.expm(F64_SQUARE / 30)),
}


def main():
    print(
        f"kavo_python tour: {len(kp.__all__)} functions; float32 operands 2000 x 1500 (products 1000 x 800 by 800 x 1200), "
        "vectors of 10^6, linear algebra on 300 x 300 float64\n"
    )
    print(f"{'function':<16} {'max error':>10} {'time ratio':>11}")
    shown = 0
    for name in kp.__all__:
        if name not in TOUR:
            continue
        kavo_call, reference_call, *rebuild = TOUR[name]
        result = kavo_call()
        if rebuild:
            rebuilt, original = rebuild
            error = relative_error(rebuilt(result), original)
        else:
            error = relative_error(result, reference_call())
        ratio = seconds_per_call(kavo_call) / seconds_per_call(reference_call)
        print(f"{name:<16} {error:10.1e} {ratio:11.2f}")
        shown += 1
    missing = [name for name in kp.__all__ if name not in TOUR]
    print(f"\n{shown} functions shown; not in the tour: {', '.join(missing) if missing else 'none'}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
