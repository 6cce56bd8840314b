import numpy as np
import pytest
import scipy.linalg

import kavo_python as kp
from hard_matrices import general_cases, power_of_two_scale

EPS = np.finfo(float).eps


def shaped_cases():
    """Square hard cases, tall and wide ones made from them, and rank-deficient,
    clustered and graded inputs of all three shapes."""
    rng = np.random.default_rng(99)
    cases = [c for c in general_cases() if c[1].size]
    for name, a in general_cases(sizes=(1, 3, 10, 50)):
        n = a.shape[1]
        tall = np.vstack([a, rng.standard_normal((n + 6, n)) * power_of_two_scale(a)])
        cases += [(f"tall_{name}", tall), (f"wide_{name}", tall.T.copy())]
    for m, n in ((30, 30), (45, 20), (20, 45)):
        k = min(m, n)
        low_rank = rng.standard_normal((m, 3)) @ rng.standard_normal((3, n))
        q1, _ = np.linalg.qr(rng.standard_normal((m, k)))
        q2, _ = np.linalg.qr(rng.standard_normal((n, k)))
        clustered = (q1 * (1.0 + 1e-12 * rng.standard_normal(k))) @ q2.T
        cases += [
            (f"rank3_{m}x{n}", low_rank),
            (f"clustered_{m}x{n}", clustered),
            (f"graded_{m}x{n}", rng.standard_normal((m, n)) * np.geomspace(1e-20, 1e20, n)),
            (f"zero_{m}x{n}", np.zeros((m, n))),
            (f"near_overflow_{m}x{n}", rng.standard_normal((m, n)) * 1e307),
            (f"near_underflow_{m}x{n}", rng.standard_normal((m, n)) * 1e-305),
        ]
    return cases


CASES = shaped_cases()


@pytest.mark.parametrize("name,a", CASES, ids=[c[0] for c in CASES])
def test_svd_residual_orthogonality_and_values(name, a):
    m, n = a.shape
    k = min(m, n)
    u, s, vt = kp.svd(a)
    assert u.shape == (m, k) and s.shape == (k,) and vt.shape == (k, n)
    assert all(x.flags.c_contiguous and x.dtype == np.float64 for x in (u, s, vt))
    assert (np.diff(s) <= 0).all() and (s >= 0).all() and not np.signbit(s).any()
    assert np.abs(u.T @ u - np.eye(k)).max() / (max(m, n) * EPS) < 35
    assert np.abs(vt @ vt.T - np.eye(k)).max() / (max(m, n) * EPS) < 35
    scale = 1.0 / power_of_two_scale(a)
    norm = np.linalg.norm(a * scale, 2)
    if norm:
        residual = np.linalg.norm(a * scale - (u * (s * scale)) @ vt, 2)
        assert residual / (max(m, n) * EPS * norm) < 35
    reference = scipy.linalg.svdvals(a * scale) / scale
    values = kp.singular_values(a)
    assert not np.signbit(values).any()
    # Normwise backward stability bounds every value's error by eps * ||A||.
    bound = 35 * max(m, n) * EPS * norm / scale if norm else 0.0
    assert np.abs(s - reference).max() <= bound
    assert np.abs(values - reference).max() <= bound


def test_small_cases_signs_and_order():
    u, s, vt = kp.svd(np.array([[-3.0]]))
    assert u.tolist() == [[-1.0]] and s.tolist() == [3.0] and vt.tolist() == [[1.0]]
    u, s, vt = kp.svd(np.array([[-0.0]]))
    assert s.tolist() == [0.0] and not np.signbit(s[0]) and u.tolist() == [[1.0]]
    assert not np.signbit(kp.singular_values(np.array([[-0.0]]))[0])
    u, s, vt = kp.svd(np.diag([3.0, -5.0, 1.0]))
    assert s.tolist() == [5.0, 3.0, 1.0]
    assert u[1, 0] == -1.0 and vt[0, 1] == 1.0
    # Equal values keep the factors' order: the identity stays the identity.
    u, s, vt = kp.svd(np.eye(4))
    assert np.array_equal(u, np.eye(4)) and np.array_equal(vt, np.eye(4))
    u, s, vt = kp.svd(np.arange(10.0).reshape(2, 5))
    assert u.shape == (2, 2) and s.shape == (2,) and vt.shape == (2, 5)


def test_values_match_svd_and_numpy_on_random():
    rng = np.random.default_rng(5)
    for shape in ((1, 7), (7, 1), (60, 60), (120, 80), (80, 120)):
        a = rng.standard_normal(shape)
        reference = np.linalg.svd(a, compute_uv=False)
        bound = 35 * max(shape) * EPS * reference[0]
        assert np.abs(kp.singular_values(a) - reference).max() <= bound
        assert np.abs(kp.svd(a)[1] - kp.singular_values(a)).max() <= bound


def test_errors():
    with pytest.raises(ValueError, match=r"Shape mismatch.*\[0, 3\].*\[1, 3\]"):
        kp.svd(np.zeros((0, 3)))
    with pytest.raises(ValueError, match=r"Shape mismatch.*\[4, 0\].*\[4, 1\]"):
        kp.singular_values(np.zeros((4, 0)))
    for f in (kp.svd, kp.singular_values):
        with pytest.raises(ValueError, match="SVD input contains a non-finite value"):
            f(np.array([[1.0, np.inf], [0.0, 1.0]]))
