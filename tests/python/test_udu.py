import numpy as np
import pytest

import kavo_python as kp
from hard_matrices import condition_number, power_of_two_scale, spd_cases

EPS = np.finfo(float).eps
CASES = spd_cases()
IDS = [name for name, _ in CASES]
MATRICES = [matrix for _, matrix in CASES]
ZERO_PIVOT = "Storage error: UDU encountered a zero pivot (needs symmetric pivoting)"
ASYMMETRIC = "Storage error: UDU requires a symmetric matrix"
NON_FINITE = "Storage error: UDU input contains a non-finite value"


def residual_ratio(a, u, d):
    """||A - U diag(d) U^T|| / (n eps ||A||)."""
    n = a.shape[0]
    if n == 0:
        return 0.0
    s = power_of_two_scale(a)
    return np.linalg.norm(a / s - (u * (d / s)) @ u.T) / (n * EPS * np.linalg.norm(a / s))


def reference_factors(a):
    """U D U^T from NumPy's Cholesky of the reversed matrix: with J the
    exchange matrix, J A J = C C^T gives U = J C J with its diagonal
    divided out and d = diag(J C J)^2."""
    flipped = np.linalg.cholesky(a[::-1, ::-1])[::-1, ::-1]
    diagonal = np.diag(flipped)
    return flipped / diagonal, diagonal**2


@pytest.mark.parametrize("a", MATRICES, ids=IDS)
def test_positive_definite_input_factors_within_the_pivot_tolerance(a):
    n = a.shape[0]
    tolerance = 1e-12 * (np.abs(a).max() if n else 0.0)
    if n == 0:
        u, d = kp.udu(a)
        assert u.shape == (0, 0) and d.shape == (0,)
        return
    reference_u, reference_d = reference_factors(a)
    if reference_d.min() <= tolerance:
        # Positive definite but graded past the tolerance: refused, as the
        # smallest pivot cannot be told from zero relative to M.
        assert reference_d.min() < 0.01 * tolerance  # far from the threshold: no rounding doubt
        with pytest.raises(ValueError) as error:
            kp.udu(a)
        assert str(error.value) == ZERO_PIVOT
        return
    u, d = kp.udu(a)
    assert u.shape == (n, n) and u.dtype == np.float64 and d.shape == (n,) and d.dtype == np.float64
    assert np.all(np.diag(u) == 1.0) and np.all(np.tril(u, -1) == 0.0)
    assert np.all(d > 0)
    assert residual_ratio(a, u, d) < 30
    bound = 30 * n * EPS * condition_number(a)
    assert np.linalg.norm(d - reference_d) <= bound * np.linalg.norm(reference_d)


def test_the_registry_exercises_both_outcomes():
    refused = [name for name, a in CASES if a.size and reference_factors(a)[1].min() <= 1e-12 * np.abs(a).max()]
    assert 0 < len(refused) < len(CASES) - 3


def test_indefinite_input_that_needs_no_pivoting():
    rng = np.random.default_rng(3)
    m = rng.standard_normal((40, 40))
    a = m + m.T + np.diag(np.where(np.arange(40) % 2, 50.0, -50.0))  # dominant diagonal of both signs
    u, d = kp.udu(a)
    assert residual_ratio(a, u, d) < 30
    assert np.array_equal(np.sign(d), np.sign(np.diag(a)))


@pytest.mark.parametrize(
    "a, u, d",
    [
        ([[4.0]], [[1.0]], [4.0]),
        ([[-2.0]], [[1.0]], [-2.0]),
        ([[2.0, 1.0], [1.0, 2.0]], [[1.0, 0.5], [0.0, 1.0]], [1.5, 2.0]),
        # Within the symmetry tolerance; the upper triangle is factored.
        ([[1.0, 2.0], [2.0000000001, 1.0]], [[1.0, 2.0], [0.0, 1.0]], [-3.0, 1.0]),
    ],
)
def test_small_examples(a, u, d):
    result_u, result_d = kp.udu(np.array(a))
    assert result_u.tolist() == u and result_d.tolist() == d


@pytest.mark.parametrize(
    "a, message",
    [
        ([[np.nan, 1.0, 2.0]], "Shape mismatch: lhs [1, 3], rhs [1, 1]"),
        (np.zeros((0, 2)), "Shape mismatch: lhs [0, 2], rhs [0, 0]"),
        ([[1.0, np.inf], [3.0, 1.0]], NON_FINITE),
        ([[1.0, 0.0], [-np.inf, 1.0]], NON_FINITE),
        ([[1.0, 2.0], [2.1, 1.0]], ASYMMETRIC),
        ([[0.0, 1.0], [2.0, 0.0]], ASYMMETRIC),  # symmetry is checked before the pivots
        ([[0.0]], ZERO_PIVOT),
        (np.zeros((3, 3)), ZERO_PIVOT),
        ([[0.0, 1.0], [1.0, 0.0]], ZERO_PIVOT),  # needs pivoting: the last pivot is 0
        ([[1.0, 0.0], [0.0, 1e-12]], ZERO_PIVOT),  # |p| = 1e-12 M
        ([[1.0, 1e300], [1e300, 1e289]], ZERO_PIVOT),  # U overflows: the pivot is -inf
    ],
)
def test_failures(a, message):
    with pytest.raises(ValueError) as error:
        kp.udu(np.array(a, dtype=np.float64))
    assert str(error.value) == message


def test_pivot_just_above_the_tolerance_is_accepted():
    u, d = kp.udu(np.array([[1.0, 0.0], [0.0, 1.0000001e-12]]))
    assert d.tolist() == [1.0, 1.0000001e-12]


def test_input_is_not_modified_and_must_be_c_contiguous():
    a = np.array([[4.0, 2.0], [2.0, 5.0]])
    copy = a.copy()
    kp.udu(a)
    assert np.array_equal(a, copy)
    with pytest.raises(ValueError, match="C-contiguous"):
        kp.udu(np.asfortranarray(np.array([[4.0, 2.0], [2.0, 5.0]])))
