import numpy as np
import pytest

import kavo_python as kp
from hard_matrices import hilbert, power_of_two_scale, symmetric_indefinite_cases

EPS = np.finfo(float).eps
ALPHA = (1 + np.sqrt(17)) / 8
CASES = symmetric_indefinite_cases()
IDS = [name for name, _ in CASES]
MATRICES = [matrix for _, matrix in CASES]
ASYMMETRIC = "Storage error: Bunch-Kaufman requires a symmetric matrix"
NON_FINITE = "Storage error: Bunch-Kaufman input contains a non-finite value"


def residual_ratio(a, l, d, perm):
    """||P A P^T - L D L^T|| / (n eps ||A||)."""
    n = a.shape[0]
    if n == 0:
        return 0.0
    s = power_of_two_scale(a)
    permuted = a[np.ix_(perm, perm)] / s
    return np.linalg.norm(permuted - l @ (d / s) @ l.T) / (n * EPS * np.linalg.norm(a / s))


def check_structure(l, d, perm, n):
    assert l.shape == (n, n) and d.shape == (n, n) and perm.shape == (n,)
    assert l.dtype == np.float64 and d.dtype == np.float64 and perm.dtype == np.uint64
    assert sorted(perm.tolist()) == list(range(n))
    assert np.all(np.diag(l) == 1.0) and np.all(np.triu(l, 1) == 0.0)
    assert np.array_equal(d, d.T) and np.all(np.triu(d, 2) == 0.0)
    off = np.diag(d, 1) != 0.0
    assert not np.any(off[:-1] & off[1:])  # 2 x 2 blocks do not overlap
    # Inside a 2 x 2 block the multipliers of the block's own rows are 0.
    for k in np.flatnonzero(off):
        assert l[k + 1, k] == 0.0


@pytest.mark.parametrize("a", MATRICES, ids=IDS)
def test_factors_reproduce_the_permuted_input(a):
    n = a.shape[0]
    l, d, perm = kp.bunch_kaufman(a)
    check_structure(l, d, perm, n)
    assert residual_ratio(a, l, d, perm) < 30
    # Sylvester's law of inertia: D has the eigenvalue signs of A, where
    # rounding cannot flip them (numerically singular inputs such as
    # Hilbert(20) have eigenvalues at the noise level in both).
    if n and np.linalg.cond(a) < 1e12:
        s = power_of_two_scale(a)
        assert np.sum(np.linalg.eigvalsh(d / s) > 0) == np.sum(np.linalg.eigvalsh(a / s) > 0)


def test_registry_forces_two_by_two_pivots():
    l, d, perm = kp.bunch_kaufman(dict(CASES)["zero_diagonal"])
    assert np.count_nonzero(np.diag(d, 1)) == 5


@pytest.mark.parametrize("exponent", [-560, -520, 500, 530])
@pytest.mark.parametrize("name", ["random10", "random50", "zero_diagonal", "cond_sqrt_eps"])
def test_power_of_two_scaling_changes_only_d(name, exponent):
    """Every step is scale-exact, including where alpha colmax^2 and the
    2 x 2 determinant d f - e^2 would under- or overflow."""
    a = dict(CASES)[name]
    l, d, perm = kp.bunch_kaufman(a)
    scaled_l, scaled_d, scaled_perm = kp.bunch_kaufman(np.ldexp(a, exponent))
    assert np.array_equal(scaled_perm, perm)
    assert np.array_equal(scaled_l, l)
    assert np.array_equal(scaled_d, np.ldexp(d, exponent))


def test_hilbert_keeps_a_small_backward_error():
    # Updating the two triangles from different sides drifts them apart
    # and leaves a backward error around 1e4 n eps here.
    a = hilbert(20)
    assert residual_ratio(a, *kp.bunch_kaufman(a)) < 1


@pytest.mark.parametrize(
    "a, l, d, perm",
    [
        (np.zeros((0, 0)), [], [], []),
        ([[0.0]], [[1.0]], [[0.0]], [0]),
        ([[-7.25]], [[1.0]], [[-7.25]], [0]),
        (np.zeros((3, 3)), np.eye(3), np.zeros((3, 3)), [0, 1, 2]),
        (np.diag([3.0, -1.0, 0.0, 2.0]), np.eye(4), np.diag([3.0, -1.0, 0.0, 2.0]), [0, 1, 2, 3]),
        ([[0.0, 1.0], [1.0, 0.0]], np.eye(2), [[0.0, 1.0], [1.0, 0.0]], [0, 1]),
        ([[1.0, 2.0], [2.0, 1.0]], np.eye(2), [[1.0, 2.0], [2.0, 1.0]], [0, 1]),
        ([[4.0, 1.0], [1.0, 3.0]], [[1.0, 0.0], [0.25, 1.0]], [[4.0, 0.0], [0.0, 2.75]], [0, 1]),
        # |A[1][1]| >= alpha rowmax: interchange 0 and 1.
        ([[0.0, 1.0, 0.0], [1.0, 5.0, 0.0], [0.0, 0.0, 1.0]], [[1, 0, 0], [0.2, 1, 0], [0, 0, 1]],
         [[5, 0, 0], [0, -0.2, 0], [0, 0, 1]], [1, 0, 2]),
        # colmax in row 2 with a small diagonal: interchange 1 and 2, 2 x 2 pivot.
        ([[0.0, 0.5, 1.0], [0.5, 0.0, 0.0], [1.0, 0.0, 0.0]], [[1, 0, 0], [0, 1, 0], [0, 0.5, 1]],
         [[0, 1, 0], [1, 0, 0], [0, 0, 0]], [0, 2, 1]),
        # Under- and overflowing forms of the pivot test and the 2 x 2 determinant.
        ([[0.0, 1e-170], [1e-170, 0.0]], np.eye(2), [[0.0, 1e-170], [1e-170, 0.0]], [0, 1]),
        ([[1e155, 1e160], [1e160, 1e155]], np.eye(2), [[1e155, 1e160], [1e160, 1e155]], [0, 1]),
    ],
)
def test_small_examples(a, l, d, perm):
    result_l, result_d, result_perm = kp.bunch_kaufman(np.array(a, dtype=np.float64))
    n = len(perm)
    assert np.array_equal(result_l, np.array(l, dtype=np.float64).reshape(n, n))
    assert np.array_equal(result_d, np.array(d, dtype=np.float64).reshape(n, n))
    assert result_perm.tolist() == perm


def test_symmetry_tolerance_both_sides():
    l, d, perm = kp.bunch_kaufman(np.array([[1.0, 1.0], [1.0000000001, 1.0]]))
    assert l[1, 0] == 1.0000000001  # the lower triangle is factored
    with pytest.raises(ValueError) as error:
        kp.bunch_kaufman(np.array([[1.0, 1.0], [1.1, 1.0]]))
    assert str(error.value) == ASYMMETRIC


@pytest.mark.parametrize(
    "a, message",
    [
        ([[np.nan, 1.0, 2.0]], "Shape mismatch: lhs [1, 3], rhs [1, 1]"),
        (np.zeros((2, 0)), "Shape mismatch: lhs [2, 0], rhs [2, 2]"),
        ([[1.0, np.nan], [3.0, 1.0]], NON_FINITE),
        ([[1.0, 0.0], [np.inf, 1.0]], NON_FINITE),
        ([[1.0, 1e300], [-1e300, 1.0]], ASYMMETRIC),
        ([[0.0, 1.0, 0.0], [1.0, 0.0, 1.0], [0.0, 1.5, 0.0]], ASYMMETRIC),
    ],
)
def test_failures(a, message):
    with pytest.raises(ValueError) as error:
        kp.bunch_kaufman(np.array(a, dtype=np.float64))
    assert str(error.value) == message


def test_input_is_not_modified_and_must_be_c_contiguous():
    a = np.array([[0.0, 1.0], [1.0, 0.0]])
    copy = a.copy()
    kp.bunch_kaufman(a)
    assert np.array_equal(a, copy)
    with pytest.raises(ValueError, match="C-contiguous"):
        kp.bunch_kaufman(np.ones((4, 4))[:, ::2])
