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
