import numpy as np
import pytest
import scipy.linalg

import kavo_python as kp
from hard_matrices import condition_number, spd_cases

EPS = np.finfo(float).eps
CASES = spd_cases()
IDS = [name for name, _ in CASES]
MATRICES = [matrix for _, matrix in CASES]


def residual_ratio(a, l):
    """||A - L L^T|| / (n eps ||A||): independent of size and scale."""
    n = a.shape[0]
    if n == 0:
        return 0.0
    return np.linalg.norm(a - l @ l.T) / (n * EPS * np.linalg.norm(a))


@pytest.mark.parametrize("a", MATRICES, ids=IDS)
def test_factor_reproduces_a_and_matches_numpy(a):
    l = kp.cholesky(a)
    assert l.shape == a.shape and l.dtype == np.float64
    assert np.all(np.triu(l, 1) == 0.0)
    assert np.all(np.diag(l) > 0)
    assert residual_ratio(a, l) < 30
    if a.size:
        # Backward stable: the factor's error grows with the condition number.
        reference = np.linalg.cholesky(a)
        bound = 30 * a.shape[0] * EPS * condition_number(a)
        assert np.linalg.norm(l - reference) <= bound * np.linalg.norm(reference)


@pytest.mark.parametrize("a", MATRICES, ids=IDS)
def test_solve_has_small_backward_error(a):
    n = a.shape[0]
    rng = np.random.default_rng(n)
    b = rng.standard_normal(n) * (np.abs(a).max() if n else 1.0)
    x = kp.cholesky_solve(a, b)
    assert x.shape == (n,) and x.dtype == np.float64
    if n:
        # ||b - A x|| / (||A|| ||x|| n eps): the normwise backward error.
        backward = np.linalg.norm(b - a @ x) / (np.linalg.norm(a) * np.linalg.norm(x) * n * EPS)
        assert backward < 30
        reference = scipy.linalg.cho_solve(scipy.linalg.cho_factor(a, lower=True), b)
        relative = np.linalg.norm(x - reference) / np.linalg.norm(reference)
        assert relative <= 30 * n * EPS * condition_number(a)


@pytest.mark.parametrize("a", MATRICES, ids=IDS)
def test_inverse_matches_numpy_to_the_conditioning(a):
    inverse = kp.cholesky_inv(a)
    assert inverse.shape == a.shape
    n = a.shape[0]
    if n:
        reference = np.linalg.inv(a)
        relative = np.linalg.norm(inverse - reference) / np.linalg.norm(reference)
        assert relative <= 30 * n * EPS * condition_number(a)


def test_small_examples():
    assert kp.cholesky(np.array([[4.0]])).tolist() == [[2.0]]
    # Only the lower triangle is read.
    assert kp.cholesky(np.array([[4.0, 100.0], [2.0, 5.0]])).tolist() == [[2.0, 0.0], [1.0, 2.0]]
    assert kp.cholesky_solve(np.zeros((0, 0)), np.zeros(0)).shape == (0,)
    assert kp.cholesky_inv(np.zeros((0, 0))).shape == (0, 0)
    assert kp.cholesky_inv(np.array([[4.0]])).tolist() == [[0.25]]


PIVOT = "Storage error: Cholesky pivot {} is non-positive: matrix is not positive-definite"
NON_FINITE = "Storage error: Cholesky input contains a non-finite value"


@pytest.mark.parametrize(
    "a, message",
    [
        ([[0.0]], PIVOT.format(0)),
        ([[-1.0]], PIVOT.format(0)),
        ([[-0.0]], PIVOT.format(0)),
        ([[1.0, 1.0], [1.0, 1.0]], PIVOT.format(1)),  # semidefinite: 1 - 1*1 = 0 is refused
        ([[1.0, 2.0, 3.0], [2.0, 5.0, 0.0], [3.0, 0.0, 1.0]], PIVOT.format(2)),
        # Finite input whose factor overflows: the NaN pivot candidate is refused, not returned.
        ([[1e-300, 0.0, 1e300], [0.0, 1.0, 0.0], [1e300, 0.0, 1.0]], PIVOT.format(2)),
        ([[1.0, np.nan], [0.0, 1.0]], NON_FINITE),  # upper triangle is screened too
        ([[1.0, 0.0], [-np.inf, 1.0]], NON_FINITE),
        ([[1.0, 2.0, 3.0], [4.0, 5.0, 6.0]], "Shape mismatch: lhs [2, 3], rhs [2, 2]"),
        (np.zeros((0, 3)), "Shape mismatch: lhs [0, 3], rhs [0, 0]"),
    ],
)
def test_failures_are_the_same_for_all_three(a, message):
    a = np.array(a, dtype=np.float64)
    b = np.ones(a.shape[0])
    for call in (lambda: kp.cholesky(a), lambda: kp.cholesky_solve(a, b), lambda: kp.cholesky_inv(a)):
        with pytest.raises(ValueError) as error:
            call()
        assert str(error.value) == message


def test_solve_checks_b_length_after_the_factorization():
    a = np.eye(3) * 2
    with pytest.raises(ValueError) as caught:
        kp.cholesky_solve(a, np.ones(2))
    assert str(caught.value) == "Shape mismatch: lhs [2], rhs [3]"
    with pytest.raises(ValueError, match="pivot 0"):
        kp.cholesky_solve(-a, np.ones(2))


def test_b_is_not_screened_for_non_finite_values():
    # IEEE arithmetic carries it through (0 * inf makes NaN downstream).
    x = kp.cholesky_solve(np.eye(2), np.array([np.inf, 1.0]))
    assert not np.isfinite(x).any()


def test_inputs_are_not_modified():
    a = np.array([[4.0, 2.0], [2.0, 5.0]])
    b = np.array([1.0, 2.0])
    a_copy, b_copy = a.copy(), b.copy()
    kp.cholesky(a), kp.cholesky_solve(a, b), kp.cholesky_inv(a)
    assert np.array_equal(a, a_copy) and np.array_equal(b, b_copy)
