import numpy as np
import pytest

import kavo_python as kp
from hard_matrices import graded, power_of_two_scale, random_spd, symmetric_indefinite_cases

EPS = np.finfo(float).eps
MAX = np.finfo(float).max


def clustered(n, rng):
    """Eigenvalues 1 and 1 + 1e-10 and 2, each repeated: near-equal pairs."""
    q, _ = np.linalg.qr(rng.standard_normal((n, n)))
    values = np.array([1.0, 1.0 + 1e-10, 2.0])[np.arange(n) % 3]
    return (q * values) @ q.T


def cases():
    rng = np.random.default_rng(63)
    extra = [
        ("graded12", graded(12)),
        ("graded_rows", (lambda d, m: d[:, None] * (m + m.T) * d[None, :])(
            np.geomspace(1.0, 1e-60, 10), rng.standard_normal((10, 10)))),
        ("clustered30", clustered(30, rng)),
        ("spd_cond", random_spd(40, rng, condition=1e12)),
        ("at_the_top", (lambda m: (m + m.T) * (MAX / 16))(rng.uniform(-1, 1, (8, 8)))),
        ("lowest_normal_range", (lambda m: (m + m.T) * 2.0**-1010)(rng.standard_normal((6, 6)))),
    ]
    return symmetric_indefinite_cases() + extra


CASES = cases()


@pytest.mark.parametrize("a", [m for _, m in CASES], ids=[name for name, _ in CASES])
def test_decomposition_residuals_and_numpy_eigenvalues(a):
    n = a.shape[0]
    w, v = kp.symmetric_eigen(a)
    assert w.shape == (n,) and v.shape == (n, n) and w.dtype == v.dtype == np.float64
    assert np.all(w[:-1] <= w[1:])
    if n == 0:
        return
    s = power_of_two_scale(a)
    scaled = a / s
    norm = np.linalg.norm(scaled)
    residual = np.linalg.norm(scaled @ v - v * (w / s)) / (n * EPS * norm)
    orthogonality = np.linalg.norm(v.T @ v - np.eye(n)) / (n * EPS)
    assert residual < 30
    assert orthogonality < 30
    # Weyl: each eigenvalue is perturbed by at most the backward error's norm.
    reference = np.linalg.eigvalsh(scaled)
    assert np.max(np.abs(w / s - reference)) <= 30 * n * EPS * norm


def test_exact_examples():
    w, v = kp.symmetric_eigen(np.array([[2.0, 1.0], [1.0, 2.0]]))
    assert np.allclose(w, [1.0, 3.0], rtol=0, atol=4 * EPS)
    r = 1 / np.sqrt(2)
    assert np.allclose(np.abs(v), r, rtol=0, atol=4 * EPS)
    assert abs(v[0, 0] + v[1, 0]) < 4 * EPS  # ±(1, -1)/√2
    assert abs(v[0, 1] - v[1, 1]) < 4 * EPS  # ±(1, 1)/√2

    w, v = kp.symmetric_eigen(np.zeros((0, 0)))
    assert w.shape == (0,) and v.shape == (0, 0)

    # Diagonal: no rotation; sorted, V a permutation, equal values keep their column order.
    w, v = kp.symmetric_eigen(np.diag([5.0, -1.0, 5.0, 2.0]))
    assert w.tolist() == [-1.0, 2.0, 5.0, 5.0]
    assert v.tolist() == np.eye(4)[:, [1, 3, 0, 2]].tolist()


def test_extreme_scales_come_back_at_their_true_magnitude():
    for scale in (1e300, 1e-300):
        w, _ = kp.symmetric_eigen(np.array([[2.0, 1.0], [1.0, 2.0]]) * scale)
        assert np.allclose(w / scale, [1.0, 3.0], rtol=8 * EPS, atol=0)


def test_asymmetry_allowance_and_upper_triangle():
    # ‖A‖_F = √2: the allowance (n + 2)·ε·‖A‖_F is about 5.66 ε.
    for scale in (1.0, 2.0**1000, 2.0**-1000, MAX / 2):
        accepted = np.array([[0.0, 1.0], [1.0 - 4 * EPS, 0.0]]) * scale
        w, _ = kp.symmetric_eigen(accepted)
        assert np.allclose(w / scale, [-1.0, 1.0], rtol=4 * EPS, atol=0)
        rejected = np.array([[0.0, 1.0], [1.0 - 8 * EPS, 0.0]]) * scale
        with pytest.raises(ValueError) as caught:
            kp.symmetric_eigen(rejected)
        assert str(caught.value) == "Invalid input: symmetric eigensolver input is not symmetric at (0, 1)"


NOT_SYMMETRIC = "Invalid input: symmetric eigensolver input is not symmetric at ({}, {})"
NON_FINITE = "Invalid input: symmetric eigensolver input has a non-finite entry at ({}, {})"


@pytest.mark.parametrize(
    "a, message",
    [
        (np.ones((2, 3)), "Shape mismatch: lhs [2, 3], rhs [2, 2]"),
        (np.zeros((0, 2)), "Shape mismatch: lhs [0, 2], rhs [0, 0]"),
        # The non-finite entry is named even though (0, 1) is asymmetric too.
        ([[1.0, 5.0, 0.0], [0.0, 1.0, 0.0], [np.nan, 0.0, 1.0]], NON_FINITE.format(2, 0)),
        ([[1.0, np.inf], [np.inf, 1.0]], NON_FINITE.format(0, 1)),
        ([[1.0, 0.0, 4.0], [0.0, 1.0, 1.0], [0.0, 1.0, 1.0]], NOT_SYMMETRIC.format(0, 2)),
        ([[1.0, 0.0, 0.0], [0.0, 1.0, 2.0], [0.0, 3.0, 1.0]], NOT_SYMMETRIC.format(1, 2)),
        # ‖A‖_F overflows here; the asymmetry must still be caught.
        ([[MAX, MAX], [-MAX, MAX]], NOT_SYMMETRIC.format(0, 1)),
        ([[1e308, 1e308, 0.0], [1e308, 1e308, 1e300], [0.0, 0.0, 1e308]], NOT_SYMMETRIC.format(1, 2)),
        # Finite input whose largest eigenvalue exceeds the largest double.
        ([[MAX, MAX], [MAX, MAX]],
         "Arithmetic overflow in layout calculations: Jacobi eigensolver: an eigenvalue exceeds the scalar range"),
    ],
)
def test_failures(a, message):
    with pytest.raises(ValueError) as error:
        kp.symmetric_eigen(np.array(a, dtype=np.float64))
    assert str(error.value) == message


def test_input_is_not_modified_and_only_its_upper_triangle_is_used():
    a = np.array([[2.0, 1.0], [1.0 + 2 * EPS, 2.0]])
    original = a.copy()
    w, v = kp.symmetric_eigen(a)
    assert np.array_equal(a, original)
    w_upper, v_upper = kp.symmetric_eigen(np.triu(a) + np.triu(a, 1).T)
    assert np.array_equal(w, w_upper) and np.array_equal(v, v_upper)
