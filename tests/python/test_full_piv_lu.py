import numpy as np
import pytest
import scipy.linalg.lapack

import kavo_python as kp
from hard_matrices import general_cases, random_with_condition

EPS = np.finfo(float).eps
CASES = general_cases()
IDS = [name for name, _ in CASES]
MATRICES = [matrix for _, matrix in CASES]


def rank_deficient_cases():
    """(id, matrix, rank): products of well-conditioned n x r and r x n
    factors, so the rank is clear, plus the zero matrix."""
    rng = np.random.default_rng(55)
    cases = []
    for n, r in [(3, 1), (5, 2), (10, 9), (50, 1), (50, 25), (200, 120), (200, 199)]:
        left = random_with_condition(n, rng, 10.0)[:, :r]
        right = random_with_condition(n, rng, 10.0)[:r, :]
        cases.append((f"n{n}_rank{r}", left @ right * 10.0 ** rng.integers(-5, 6), r))
    cases.append(("zero7", np.zeros((7, 7)), 0))
    return cases


DEFICIENT = rank_deficient_cases()


def residual_ratio(a, l, u, row_perm, col_perm):
    """||P A Q - L U|| / (n eps ||A||), independent of size and scale (both
    norms taken after an exact power-of-two scaling, so that squares of
    entries near overflow or underflow stay representable)."""
    n = a.shape[0]
    if n == 0 or not a.any():
        return 0.0
    scale = np.ldexp(1.0, -np.frexp(np.abs(a).max())[1])
    residual = a[row_perm][:, col_perm] - l @ u
    return np.linalg.norm(residual * scale) / (n * EPS * np.linalg.norm(a * scale))


def computed_rank(a, u):
    """Steps taken: the first diagonal entry of U at most the rank threshold
    is where the elimination stopped."""
    threshold = 1e-12 * np.abs(a).max() if a.size else 0.0
    diagonal = np.abs(np.diag(u))
    stops = np.nonzero(diagonal <= threshold)[0]
    return int(stops[0]) if stops.size else a.shape[0]


def check_structure(a, l, u, row_perm, col_perm):
    n = a.shape[0]
    assert l.shape == u.shape == (n, n) and l.dtype == u.dtype == np.float64
    assert row_perm.shape == col_perm.shape == (n,)
    assert row_perm.dtype == col_perm.dtype == np.uint64
    assert np.array_equal(np.sort(row_perm), np.arange(n))
    assert np.array_equal(np.sort(col_perm), np.arange(n))
    assert np.all(np.diag(l) == 1.0) and np.all(np.triu(l, 1) == 0.0)
    assert np.all(np.tril(u, -1) == 0.0)


@pytest.mark.parametrize("a", MATRICES, ids=IDS)
def test_factors_reproduce_the_permuted_input(a):
    l, u, row_perm, col_perm = kp.full_piv_lu(a)
    check_structure(a, l, u, row_perm, col_perm)
    assert residual_ratio(a, l, u, row_perm, col_perm) < 30
    if a.size:
        # Complete pivoting bounds every multiplier by 1 and makes the
        # pivots the largest entries of their trailing blocks.
        assert np.abs(l).max() <= 1.0
        assert np.abs(u[0, 0]) == np.abs(a).max()


@pytest.mark.parametrize("a", [m for name, m in CASES if name.startswith("random") and m.size], ids=lambda m: f"n{len(m)}")
def test_matches_lapack_complete_pivoting_on_untied_inputs(a):
    # DGETC2 breaks ties differently, so only inputs without tied maxima
    # (random ones) are compared: same pivots, same factors to rounding.
    lu, ipiv, jpiv, info = scipy.linalg.lapack.dgetc2(a)
    assert info == 0
    n = a.shape[0]
    rows, cols = np.arange(n), np.arange(n)
    for k in range(n):  # DGETC2's exchanges (0-based here), applied in order
        rows[[k, ipiv[k]]] = rows[[ipiv[k], k]]
        cols[[k, jpiv[k]]] = cols[[jpiv[k], k]]
    l, u, row_perm, col_perm = kp.full_piv_lu(a)
    assert np.array_equal(row_perm, rows) and np.array_equal(col_perm, cols)
    scale = np.linalg.norm(a) * np.linalg.cond(a)
    assert np.linalg.norm(np.triu(lu) - u) <= 30 * n * EPS * scale
    assert np.linalg.norm(np.tril(lu, -1) + np.eye(n) - l) <= 30 * n * EPS * np.linalg.cond(a)


@pytest.mark.parametrize("a, rank", [(m, r) for _, m, r in DEFICIENT], ids=[name for name, _, _ in DEFICIENT])
def test_rank_deficient_inputs_stop_at_their_rank(a, rank):
    l, u, row_perm, col_perm = kp.full_piv_lu(a)
    check_structure(a, l, u, row_perm, col_perm)
    assert residual_ratio(a, l, u, row_perm, col_perm) < 30
    assert computed_rank(a, u) == rank == np.linalg.matrix_rank(a)


CLEAR = [(name, m) for name, m in CASES if name != "cond_near_singular"]  # that one sits at the threshold


@pytest.mark.parametrize("a", [m for _, m in CLEAR], ids=[name for name, _ in CLEAR])
def test_rank_agrees_with_numpy_on_clear_cases(a):
    # graded_rows is non-singular, but its rows span 200 orders of magnitude:
    # both rank rules count only the top one.
    l, u, row_perm, col_perm = kp.full_piv_lu(a)
    assert computed_rank(a, u) == np.linalg.matrix_rank(a)


def test_early_stop_is_scale_invariant():
    # The neglected block is not zero here; L must not depend on A's scale.
    a = DEFICIENT[3][1]
    l, u, row_perm, col_perm = kp.full_piv_lu(a)
    assert np.abs(u[1:, 1:]).max() > 0
    for exponent in (-900, 900):
        scaled = kp.full_piv_lu(np.ldexp(a, exponent))
        assert np.array_equal(scaled[0], l)
        assert np.array_equal(scaled[1], np.ldexp(u, exponent))
        assert np.array_equal(scaled[2], row_perm) and np.array_equal(scaled[3], col_perm)


@pytest.mark.parametrize(
    "a, l, u, row_perm, col_perm",
    [
        (np.zeros((0, 0)), np.zeros((0, 0)), np.zeros((0, 0)), [], []),
        ([[1.0, 2.0], [3.0, 4.0]], [[1, 0], [0.5, 1]], [[4, 3], [0, -0.5]], [1, 0], [1, 0]),
        # Tied maxima: (0, 0) wins; the remaining 0 stops the elimination.
        ([[1.0, 1.0], [1.0, 1.0]], [[1, 0], [1, 1]], [[1, 1], [0, 0]], [0, 1], [0, 1]),
        # The first maximum in row-major order wins, not a later equal one.
        ([[1.0, -5.0], [5.0, 2.0]], [[1, 0], [-0.4, 1]], [[-5, 1], [0, 5.4]], [0, 1], [1, 0]),
        (np.zeros((3, 3)), np.eye(3), np.zeros((3, 3)), [0, 1, 2], [0, 1, 2]),
        # Rank one stops after one step.
        ([[1.0, 2.0, 4.0], [2.0, 4.0, 8.0], [0.5, 1.0, 2.0]], [[1, 0, 0], [0.5, 1, 0], [0.25, 0, 1]],
         [[8, 4, 2], [0, 0, 0], [0, 0, 0]], [1, 0, 2], [2, 1, 0]),
    ],
)
def test_exact_small_examples(a, l, u, row_perm, col_perm):
    result = kp.full_piv_lu(np.array(a, dtype=np.float64))
    assert isinstance(result, tuple) and len(result) == 4
    assert result[0].tolist() == np.array(l, dtype=float).tolist()
    assert result[1].tolist() == np.array(u, dtype=float).tolist()
    assert result[2].tolist() == row_perm and result[3].tolist() == col_perm


def test_rank_threshold_both_sides():
    # Largest magnitude 1: a second pivot equal to 1e-12 stops, the next
    # larger double does not.
    stopped = kp.full_piv_lu(np.diag([1.0, 1e-12]))[1]
    taken = kp.full_piv_lu(np.diag([1.0, np.nextafter(1e-12, 1.0)]))[1]
    assert computed_rank(np.diag([1.0, 1e-12]), stopped) == 1
    assert taken[1, 1] == np.nextafter(1e-12, 1.0)


NON_FINITE = "Storage error: FullPivLU input contains a non-finite value"


@pytest.mark.parametrize(
    "a, message",
    [
        (np.ones((2, 3)), "Shape mismatch: lhs [2, 3], rhs [2, 2]"),
        (np.ones((3, 2)), "Shape mismatch: lhs [3, 2], rhs [3, 3]"),
        (np.zeros((0, 3)), "Shape mismatch: lhs [0, 3], rhs [0, 0]"),
        ([[1.0, np.nan], [0.0, 1.0]], NON_FINITE),
        ([[1.0, 0.0], [-np.inf, 1.0]], NON_FINITE),
        ([[np.inf]], NON_FINITE),
    ],
)
def test_failures(a, message):
    with pytest.raises(ValueError) as error:
        kp.full_piv_lu(np.array(a, dtype=np.float64))
    assert str(error.value) == message


def test_results_are_fresh_and_the_input_untouched():
    a = np.array([[1.0, 2.0], [3.0, 4.0]])
    copy = a.copy()
    l, u, row_perm, col_perm = kp.full_piv_lu(a)
    assert np.array_equal(a, copy)
    for array in (l, u, row_perm, col_perm):
        assert array.flags.c_contiguous and array.flags.writeable and array.flags.owndata is False
        assert not np.shares_memory(array, a)
