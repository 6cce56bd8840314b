import itertools

import numpy as np
import pytest

import scipy.linalg

import kavo_python as kp
from hard_matrices import condition_number, general_cases

EPS = np.finfo(float).eps
CASES = general_cases()
IDS = [name for name, _ in CASES]
MATRICES = [matrix for _, matrix in CASES]
SINGULAR = "Storage error: LU pivot column {} is exactly zero: matrix is singular"
NON_FINITE = "Storage error: LU input contains a non-finite value"


def norm(m):
    """Frobenius norm without overflow or underflow of the squares (the hard
    cases reach 1e300 and 1e-300)."""
    scale = np.abs(m).max() if m.size else 0.0
    return scale * np.linalg.norm(m / scale) if scale > 0 else 0.0


def ratio(residual, a, x):
    """||residual|| / (n eps ||A|| ||x||), divided in an order that stays in range."""
    return norm(residual) / norm(a) / norm(x) / (a.shape[0] * EPS)


def pivot_product(a):
    """sign * U[0][0] * U[1][1] * ... in index order from LAPACK's partial
    pivoting: the same unscaled product, overflowing where ours does."""
    lu, pivots = scipy.linalg.lu_factor(a)
    product = -1.0 if np.count_nonzero(pivots != np.arange(len(pivots))) % 2 else 1.0
    for value in np.diag(lu):
        product *= float(value)
    return product


@pytest.mark.parametrize("a", MATRICES, ids=IDS)
def test_inverse_residual_and_agreement_with_numpy(a):
    x = kp.inv(a)
    n = a.shape[0]
    assert x.shape == (n, n) and x.dtype == np.float64 and x.flags.c_contiguous
    if n:
        # ||A X - I|| / (n eps ||A|| ||X||), LAPACK's inverse test ratio.
        assert ratio(a @ x - np.eye(n), a, x) < 30
        reference = np.linalg.inv(a)
        relative = norm(x - reference) / norm(reference)
        assert relative <= 30 * n * EPS * condition_number(a)


@pytest.mark.parametrize("a", MATRICES, ids=IDS)
def test_solve_has_small_backward_error(a):
    n = a.shape[0]
    rng = np.random.default_rng(n + 1)
    b = rng.standard_normal(n) * (np.abs(a).max() if n else 1.0)
    x = kp.solve(a, b)
    assert x.shape == (n,) and x.dtype == np.float64
    if n:
        # ||A x - b|| / (n eps ||A|| ||x||): the normwise backward error.
        assert ratio(a @ x - b, a, x) < 30
        reference = np.linalg.solve(a, b)
        relative = norm(x - reference) / norm(reference)
        assert relative <= 30 * n * EPS * condition_number(a)


@pytest.mark.parametrize("a", MATRICES, ids=IDS)
def test_determinant_matches_numpy_to_the_conditioning(a):
    d = kp.det(a)
    assert type(d) is float
    # NumPy's det goes through logarithms; the reference here is the same
    # unscaled product of pivots, which overflows for graded_rows.
    reference = pivot_product(a) if a.size else 1.0
    if np.isfinite(reference) and reference != 0.0 and np.isfinite(d) and d != 0.0:
        n = a.shape[0]
        assert abs(d - reference) <= 30 * n * EPS * condition_number(a) * abs(reference)
    else:
        # Both unscaled products overflow or underflow the same way.
        assert d == reference


def test_small_examples():
    assert kp.det(np.zeros((0, 0))) == 1.0
    assert kp.inv(np.zeros((0, 0))).shape == (0, 0)
    assert kp.solve(np.zeros((0, 0)), np.zeros(0)).shape == (0,)
    assert kp.det(np.array([[-2.5]])) == -2.5
    assert kp.inv(np.array([[4.0]])).tolist() == [[0.25]]
    assert kp.solve(np.array([[4.0]]), np.array([2.0])).tolist() == [0.5]
    # Ties stay with the upper row: no exchange, sign +1, det = 1 * (3 + 2).
    assert kp.det(np.array([[1.0, 2.0], [-1.0, 3.0]])) == 5.0
    # Exchanged: -1 * 2 * 0.5.
    assert kp.det(np.array([[1.0, 2.0], [2.0, 3.0]])) == -1.0


@pytest.mark.parametrize("n", [1, 2, 3, 4, 6])
def test_determinant_of_permutation_matrices_is_exactly_the_parity(n):
    for order in itertools.islice(itertools.permutations(range(n)), 24):
        p = np.eye(n)[list(order)]
        inversions = sum(order[i] > order[j] for i in range(n) for j in range(i + 1, n))
        assert kp.det(p) == (-1.0) ** inversions


@pytest.mark.parametrize(
    "a, column",
    [
        ([[0.0]], 0),
        ([[1.0, 2.0], [2.0, 4.0]], 1),
        ([[1.0, 2.0, 3.0], [1.0, 2.0, 3.0], [4.0, 5.0, 7.0]], 2),  # two equal rows
        ([[0.0, 1.0, 0.0], [0.0, 2.0, 0.0], [0.0, 3.0, 5.0]], 0),
        ([[1.0, 2.0, 0.0], [3.0, 4.0, 0.0], [5.0, 6.0, -0.0]], 2),
    ],
)
def test_singular_matrices(a, column):
    a = np.array(a)
    d = kp.det(a)
    assert d == 0.0 and not np.signbit(d)
    message = SINGULAR.format(column)
    for call in (lambda: kp.inv(a), lambda: kp.solve(a, np.ones(a.shape[0]))):
        with pytest.raises(ValueError) as error:
            call()
        assert str(error.value) == message


@pytest.mark.parametrize(
    "a, message",
    [
        ([[1.0, np.nan], [0.0, 1.0]], NON_FINITE),
        ([[0.0, 0.0], [np.inf, 0.0]], NON_FINITE),  # also when the matrix is singular
        ([[1.0, 2.0, 3.0], [4.0, 5.0, 6.0]], "Shape mismatch: lhs [2, 3], rhs [2, 2]"),
        (np.zeros((0, 3)), "Shape mismatch: lhs [0, 3], rhs [0, 0]"),
    ],
)
def test_failures_are_the_same_for_all_three(a, message):
    a = np.array(a, dtype=np.float64)
    b = np.ones(a.shape[0])
    for call in (lambda: kp.det(a), lambda: kp.inv(a), lambda: kp.solve(a, b)):
        with pytest.raises(ValueError) as error:
            call()
        assert str(error.value) == message


def test_solve_checks_b_length_after_the_factorization():
    with pytest.raises(ValueError) as caught:
        kp.solve(np.eye(3), np.ones(4))
    assert str(caught.value) == "Shape mismatch: lhs [4], rhs [3]"
    with pytest.raises(ValueError, match=r"^Storage error: LU pivot column 0 is exactly zero"):
        kp.solve(np.zeros((3, 3)), np.ones(4))


def test_b_is_not_screened_and_is_permuted():
    # IEEE arithmetic carries it through (0 * inf makes NaN downstream).
    x = kp.solve(np.eye(2), np.array([np.inf, 1.0]))
    assert not np.isfinite(x).any()
    # A permutation matrix: x is b permuted back, exactly.
    p = np.eye(3)[[2, 0, 1]]
    assert kp.solve(p, np.array([1.0, 2.0, 3.0])).tolist() == [2.0, 3.0, 1.0]


def test_tiny_pivots_give_large_results_not_errors():
    a = np.array([[1e-300, 1.0], [1.0, 1.0]])
    assert np.isfinite(kp.det(a))
    # Near singular but not exactly: no error, huge or infinite entries.
    b = np.array([[1.0, 1.0], [1.0, 1.0 + 2 * EPS]])
    assert np.abs(kp.inv(b)).max() > 1e14


def test_sizes_across_the_block_widths_agree_with_numpy():
    rng = np.random.default_rng(5)
    for n in (63, 64, 65, 127, 128, 129, 300):
        a = rng.standard_normal((n, n))
        b = rng.standard_normal(n)
        x = kp.solve(a, b)
        assert ratio(a @ x - b, a, x) < 30
        inverse = kp.inv(a)
        assert ratio(a @ inverse - np.eye(n), a, inverse) < 30
        assert kp.det(a) == pytest.approx(np.linalg.det(a), rel=1e-9)


def test_inputs_are_not_modified():
    a = np.array([[1.0, 2.0], [3.0, 4.0]])
    b = np.array([1.0, 2.0])
    a_copy, b_copy = a.copy(), b.copy()
    kp.det(a), kp.inv(a), kp.solve(a, b)
    assert np.array_equal(a, a_copy) and np.array_equal(b, b_copy)
