"""One registry of hard inputs for every factorization's tests: random,
ill-conditioned, graded, scaled near overflow and underflow, and the
degenerate sizes. Each case has an id so a failure names its matrix."""

import numpy as np


def random_spd(n, rng, condition=10.0):
    """Symmetric positive definite with a chosen 2-norm condition number."""
    q, _ = np.linalg.qr(rng.standard_normal((n, n)))
    eigenvalues = np.geomspace(1.0, 1.0 / condition, n) if n > 1 else np.ones(n)
    return (q * eigenvalues) @ q.T


def hilbert(n):
    i = np.arange(n)
    return 1.0 / (i[:, None] + i[None, :] + 1.0)


def graded(n, ratio=1e-3):
    """D A D with entries spanning ratio**(n-1): well conditioned once scaled."""
    d = ratio ** (np.arange(n) / max(n - 1, 1) * (n - 1))
    rng = np.random.default_rng(n)
    return d[:, None] * random_spd(n, rng) * d[None, :]


def spd_cases():
    """(id, matrix) pairs of symmetric positive definite inputs."""
    rng = np.random.default_rng(2026)
    eps = np.finfo(float).eps
    cases = [("empty", np.zeros((0, 0))), ("one", np.array([[4.0]]))]
    for n in (2, 5, 17, 64, 150):
        cases.append((f"random{n}", random_spd(n, rng)))
    cases += [
        ("cond_sqrt_eps", random_spd(30, rng, condition=np.sqrt(0.1 / eps))),
        ("cond_near_singular", random_spd(30, rng, condition=0.01 / eps)),
        ("hilbert8", hilbert(8)),
        ("graded12", graded(12)),
        ("scaled_up", random_spd(20, rng) * 1e150),
        ("scaled_down", random_spd(20, rng) * 1e-150),
        ("diagonal", np.diag(np.geomspace(1e-8, 1e8, 9))),
    ]
    return cases


def condition_number(a):
    return np.linalg.cond(a) if a.size else 1.0


def random_with_condition(n, rng, condition=10.0):
    """General (non-symmetric) matrix with a chosen 2-norm condition number."""
    if n == 0:
        return np.zeros((0, 0))
    u, _ = np.linalg.qr(rng.standard_normal((n, n)))
    v, _ = np.linalg.qr(rng.standard_normal((n, n)))
    singular_values = np.geomspace(1.0, 1.0 / condition, n) if n > 1 else np.ones(n)
    return (u * singular_values) @ v.T


def general_cases(sizes=(0, 1, 2, 3, 5, 10, 50, 200)):
    """(id, matrix) pairs of square non-symmetric inputs (all non-singular):
    random at every size, then ill-conditioned, graded, Hilbert, and scaled
    near overflow and underflow."""
    rng = np.random.default_rng(4242)
    eps = np.finfo(float).eps
    cases = [(f"random{n}", rng.standard_normal((n, n))) for n in sizes]
    cases += [
        ("cond_sqrt_eps", random_with_condition(30, rng, np.sqrt(0.1 / eps))),
        ("cond_near_singular", random_with_condition(30, rng, 0.1 / eps)),
        ("hilbert8", hilbert(8)),
        ("graded_rows", np.geomspace(1e-100, 1e100, 12)[:, None] * rng.standard_normal((12, 12))),
        ("graded_both", graded(12) + np.diag(np.geomspace(1e-3, 1e3, 12))),
        ("near_overflow", rng.standard_normal((20, 20)) * 1e300),
        ("near_underflow", rng.standard_normal((20, 20)) * 1e-300),
    ]
    return cases


def symmetric_indefinite_cases(sizes=(0, 1, 2, 3, 5, 10, 50, 200)):
    """(id, matrix) pairs of symmetric matrices with eigenvalues of both
    signs (non-singular), including zero diagonals that force 2 x 2 pivots."""
    rng = np.random.default_rng(1717)
    eps = np.finfo(float).eps
    cases = []
    for n in sizes:
        m = rng.standard_normal((n, n))
        cases.append((f"random{n}", m + m.T))
    q, _ = np.linalg.qr(rng.standard_normal((30, 30)))
    signs = np.where(np.arange(30) % 2 == 0, 1.0, -1.0)
    cases += [
        ("zero_diagonal", np.kron(np.eye(5), np.array([[0.0, 1.0], [1.0, 0.0]])) + np.diag(np.zeros(10))),
        ("cond_sqrt_eps", (q * (signs * np.geomspace(1.0, np.sqrt(eps / 0.1), 30))) @ q.T),
        ("hilbert20", hilbert(20)),
        ("near_overflow", (lambda m: (m + m.T) * 1e300)(rng.standard_normal((20, 20)))),
        ("near_underflow", (lambda m: (m + m.T) * 1e-300)(rng.standard_normal((20, 20)))),
    ]
    return cases


def power_of_two_scale(a):
    """Exact scale that brings the largest entry near 1, so that norms of
    matrices near overflow or underflow stay representable."""
    largest = np.abs(a).max() if a.size else 0.0
    return 2.0 ** np.floor(np.log2(largest)) if largest else 1.0
