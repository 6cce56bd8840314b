"""Re-measures the accuracy figures of the README's "Costs and accuracy"
table: kavo_python against NumPy/SciPy (and LAPACK through SciPy) on the
inputs where they differ. Prints one line per figure; takes about a minute.
The graded eigenvalue references are computed in 100-digit arithmetic with
mpmath (installed by `make bench-deps`).

    python bench/accuracy.py
"""

import math
import pathlib
import sys

import numpy as np
import scipy.linalg

import kavo_python as kp

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "tests" / "python"))
from hard_matrices import random_spd, random_with_condition  # noqa: E402

EPS = np.finfo(np.float64).eps


def ratio(a, factors, n, order="fro"):
    """LAPACK's residual ratio ||A - factors|| / (n eps ||A||)."""
    return np.linalg.norm(a - factors, order) / (n * EPS * np.linalg.norm(a, order))


def float32_sums():
    print("== float32 sums: relative error against the exact sum")
    for count in (10**6, 10**7):
        a = np.full((count // 1000, 1000), 0.1, np.float32)
        exact = float(np.float32(0.1)) * count
        print(f"  {count:.0e} copies of 0.1: kp.sum {abs(kp.sum(a) - exact) / exact:.1e}, numpy.sum "
              f"{abs(float(np.sum(a)) - exact) / exact:.1e}, numpy.sum(float64) "
              f"{abs(float(np.sum(a, dtype=np.float64)) - exact) / exact:.1e}")
    a = np.random.default_rng(0).random((10_000, 1_000), dtype=np.float32)
    exact = math.fsum(a.astype(np.float64).ravel())
    print(f"  1e7 uniform [0, 1): kp.sum {abs(kp.sum(a) - exact) / exact:.1e}, numpy.sum "
          f"{abs(float(np.sum(a)) - exact) / exact:.1e}")
    x = np.full(10**7, 0.1, np.float32)
    y = np.ones(10**7, np.float32)
    exact = float(np.float32(0.1)) * 10**7
    print(f"  dot of 1e7 products 0.1 * 1: kp.dot {abs(kp.dot(x, y) - exact) / exact:.1e}, numpy.dot "
          f"{abs(float(np.dot(x, y)) - exact) / exact:.1e}")


def float32_products():
    print("== matmul of positive float32 matrices: largest error / largest entry, against float64")
    rng = np.random.default_rng(5)
    for n in (64, 512, 2048):
        a = rng.random((n, n), dtype=np.float32)
        b = rng.random((n, n), dtype=np.float32)
        exact = a.astype(np.float64) @ b.astype(np.float64)
        scale = np.abs(exact).max()
        print(f"  k = {n}: kp.matmul {np.abs(kp.matmul(a, b) - exact).max() / scale:.1e}, numpy.matmul "
              f"{np.abs(np.matmul(a, b) - exact).max() / scale:.1e}")


def dgetc2_factors(a):
    """scipy's LAPACK dgetc2 (complete pivoting, no early stop) as
    (rows, cols, L, U) with a[rows][:, cols] = L U."""
    n = a.shape[0]
    lu, ipiv, jpiv, _ = scipy.linalg.lapack.dgetc2(a)
    rows, cols = np.arange(n), np.arange(n)
    for i in range(n):
        rows[[i, ipiv[i]]] = rows[[ipiv[i], i]]
        cols[[i, jpiv[i]]] = cols[[jpiv[i], i]]
    return rows, cols, np.tril(lu, -1) + np.eye(n), np.triu(lu)


def pivoted_factorizations():
    print("== col_piv_qr and full_piv_lu after an early stop: worst residual ratio (1-norm) over 5 draws")
    rng = np.random.default_rng(11)
    cases = {
        "condition 1e16, n = 20": lambda: random_with_condition(20, rng, 1e16),
        "condition 1e16, n = 50": lambda: random_with_condition(50, rng, 1e16),
        "condition 1e16, n = 100": lambda: random_with_condition(100, rng, 1e16),
        "rows graded 1e-20 .. 1e20, n = 10": lambda: np.geomspace(1e-20, 1e20, 10)[:, None] * rng.standard_normal((10, 10)),
    }
    for name, make in cases.items():
        worst = dict(qr=0.0, qr_relative=0.0, dgeqp3=0.0, lu=0.0, lu_relative=0.0, dgetc2=0.0)
        for _ in range(5):
            a = make()
            n = a.shape[0]
            q, r, perm = kp.col_piv_qr(a)
            sq, sr, sperm = scipy.linalg.qr(a, pivoting=True)
            l, u, rows, cols = kp.full_piv_lu(a)
            grows, gcols, gl, gu = dgetc2_factors(a)
            permuted = a[np.ix_(rows, cols)]
            worst["qr"] = max(worst["qr"], ratio(a[:, perm], q @ r, n, 1))
            worst["qr_relative"] = max(worst["qr_relative"], np.linalg.norm(a[:, perm] - q @ r) / np.linalg.norm(a))
            worst["dgeqp3"] = max(worst["dgeqp3"], ratio(a[:, sperm], sq @ sr, n, 1))
            worst["lu"] = max(worst["lu"], ratio(permuted, l @ u, n, 1))
            worst["lu_relative"] = max(worst["lu_relative"], np.linalg.norm(permuted - l @ u) / np.linalg.norm(a))
            worst["dgetc2"] = max(worst["dgetc2"], ratio(a[np.ix_(grows, gcols)], gl @ gu, n, 1))
        rank = int(np.count_nonzero(np.abs(np.diag(u)) > 1e-12 * np.abs(a).max()))
        print(f"  {name}: col_piv_qr {worst['qr']:.3g} (||AP - QR||_F / ||A||_F {worst['qr_relative']:.1e}), "
              f"dgeqp3 {worst['dgeqp3']:.2g}; full_piv_lu {worst['lu']:.3g} ({worst['lu_relative']:.1e}), "
              f"dgetc2 {worst['dgetc2']:.2g}; full_piv_lu rank {rank} of {n}")


def symmetric_indefinite():
    print("== udu without pivoting on random symmetric 200 x 200: residual ratio (1-norm) over 40 matrices")
    n = 200
    ratios, growth, pivoted = [], [], []
    for seed in range(40):
        g = np.random.default_rng(1000 + seed).standard_normal((n, n))
        a = (g + g.T) / 2
        u, d = kp.udu(a)
        ratios.append(ratio(a, (u * d) @ u.T, n, 1))
        growth.append(np.abs(u).max())
        l, block, perm = kp.bunch_kaufman(a)
        pivoted.append(ratio(a[np.ix_(perm, perm)], l @ block @ l.T, n, 1))
        sl, sd, _ = scipy.linalg.ldl(a)
        pivoted.append(ratio(a, sl @ sd @ sl.T, n, 1))
    spd = []
    for seed in range(5):
        s = np.random.default_rng(seed).standard_normal((n, n))
        a = s @ s.T / n + np.eye(n)
        u, d = kp.udu(a)
        spd.append(ratio(a, (u * d) @ u.T, n, 1))
    print(f"  udu: median {np.median(ratios):.3g}, worst {max(ratios):.3g}, max|U| up to {max(growth):.3g}; "
          f"bunch_kaufman and scipy.linalg.ldl worst {max(pivoted):.2g}; udu of positive definite worst {max(spd):.2g}")


def graded_eigenvalues():
    try:
        import mpmath
    except ImportError:
        print("== graded eigenvalues: skipped (mpmath is not installed; make bench-deps installs it)")
        return
    mpmath.mp.dps = 100
    print("== symmetric_eigen on graded D M D (n = 8): worst relative error of any eigenvalue over 5 draws")
    n = 8
    for span in (1e-8, 1e-16, 1e-20, 1e-30):
        worst = {}
        for seed in range(5):
            rng = np.random.default_rng(seed)
            d = np.geomspace(1, math.sqrt(span), n)
            a = d[:, None] * random_spd(n, rng) * d[None, :]
            a = (a + a.T) / 2
            exact = np.array(sorted(float(w) for w in mpmath.eigsy(mpmath.matrix(a.tolist()), eigvals_only=True)))
            orders = {"large first": np.arange(n), "small first": np.arange(n)[::-1], "random order": rng.permutation(n)}
            for order, p in orders.items():
                b = a[np.ix_(p, p)].copy()
                kavo = np.max(np.abs(kp.symmetric_eigen(b)[0] - exact) / np.abs(exact))
                lapack = np.max(np.abs(np.linalg.eigvalsh(b) - exact) / np.abs(exact))
                previous = worst.get(order, (0.0, 0.0))
                worst[order] = (max(previous[0], kavo), max(previous[1], lapack))
        print(f"  eigenvalues spanning {span:.0e}: " + "; ".join(
            f"{order}: kp {k:.1e}, eigh {e:.1e}" for order, (k, e) in worst.items()))


def matrix_exponential():
    print("== matexp against scipy.linalg.expm: relative difference (Frobenius)")
    rng = np.random.default_rng(5)
    worst = 0.0
    for n in (10, 100, 300):
        for a in (rng.standard_normal((n, n)) * 5 / math.sqrt(n), np.triu(rng.standard_normal((n, n))) * 2):
            expected = scipy.linalg.expm(a)
            worst = max(worst, np.linalg.norm(kp.matexp(a) - expected) / np.linalg.norm(expected))
    print(f"  worst {worst:.1e}")


def main():
    float32_sums()
    float32_products()
    pivoted_factorizations()
    symmetric_indefinite()
    graded_eigenvalues()
    matrix_exponential()


if __name__ == "__main__":
    main()
