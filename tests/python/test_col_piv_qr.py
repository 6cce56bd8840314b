import numpy as np
import pytest
import scipy.linalg

import kavo_python as kp
from hard_matrices import general_cases, power_of_two_scale, random_with_condition

EPS = np.finfo(float).eps


def shaped_cases():
    """Square hard cases, tall and wide ones cut from random matrices,
    rank-deficient products, and scales near the ends of the range."""
    rng = np.random.default_rng(321)
    cases = list(general_cases())
    cases += [("tall", rng.standard_normal((60, 25))), ("wide", rng.standard_normal((25, 60)))]
    for m, n, rank in [(10, 10, 3), (40, 30, 29), (30, 50, 12)]:
        left = random_with_condition(m, rng, 10.0)[:, :rank]
        right = random_with_condition(n, rng, 10.0)[:rank, :]
        cases.append((f"rank{rank}_{m}x{n}", left @ right))
    cases += [
        ("graded_columns", rng.standard_normal((30, 10)) * np.geomspace(1e-8, 1e8, 10)),
        ("huge", rng.standard_normal((8, 6)) * 1e305),
        ("tiny", rng.standard_normal((6, 8)) * 1e-305),
    ]
    return cases


CASES = shaped_cases()


def check_factors(a, q, r, perm):
    """LAPACK's ratios, allowing for the rank stop: columns whose remaining
    norm fell to 1e-12 of the largest column are left unreduced, so their
    entries below the diagonal (cleared in R) may reach that size."""
    m, n = a.shape
    assert q.shape == (m, m) and r.shape == (m, n) and perm.shape == (n,) and perm.dtype == np.uint64
    assert sorted(perm.tolist()) == list(range(n))
    assert not np.tril(r, -1).any()
    if m:
        assert np.abs(q.T @ q - np.eye(m)).max() / (m * EPS) < 30
    if a.size and a.any():
        scale = 1.0 / power_of_two_scale(a)
        scaled = a * scale
        residual = np.linalg.norm(scaled[:, perm] - q @ (r * scale))
        stop = 1e-12 * np.sqrt(n) * np.linalg.norm(scaled, axis=0).max()
        assert residual < 30 * max(m, n) * EPS * np.linalg.norm(scaled) + stop


@pytest.mark.parametrize("a", [c for _, c in CASES], ids=[name for name, _ in CASES])
def test_factors_reproduce_permuted_input(a):
    q, r, perm = kp.col_piv_qr(a)
    check_factors(a, q, r, perm)
    if min(a.shape) and a.any():
        # The pivots make |R| decrease down the diagonal like LAPACK's.
        scale = 1.0 / power_of_two_scale(a)
        reference = scipy.linalg.qr(a * scale, pivoting=True, mode="r")[0]
        ours = np.abs(np.diag(r * scale))
        theirs = np.abs(np.diag(reference))
        assert np.allclose(ours[:3], theirs[:3], rtol=1e-8)


def test_rank_deficient_input_stops_with_the_zero_column_last():
    a = np.array([[1.0, 0.0, 2.0], [3.0, 0.0, 4.0], [5.0, 0.0, 7.0]])
    q, r, perm = kp.col_piv_qr(a)
    assert perm[-1] == 1
    check_factors(a, q, r, perm)


@pytest.mark.parametrize("shape", [(3, 3), (2, 5), (4, 1), (0, 3), (3, 0)])
def test_zero_matrix_is_returned_unchanged(shape):
    q, r, perm = kp.col_piv_qr(np.zeros(shape))
    assert q.tolist() == np.eye(shape[0]).tolist()
    assert not r.any() and perm.tolist() == list(range(shape[1]))


def test_identity_needs_no_reflector():
    q, r, perm = kp.col_piv_qr(np.eye(4))
    assert q.tolist() == np.eye(4).tolist() and r.tolist() == np.eye(4).tolist() and perm.tolist() == [0, 1, 2, 3]


def test_equal_norms_choose_the_lowest_index():
    # Column 2 first; the exchange puts column 0 in position 2, and of the
    # two unit columns left the one now in position 1 wins.
    a = np.array([[1.0, 0.0, 0.0], [0.0, 1.0, 0.0], [0.0, 0.0, 2.0]])
    assert kp.col_piv_qr(a)[2].tolist() == [2, 1, 0]


def test_wide_input():
    a = np.array([[1.0, 2.0, 3.0], [4.0, 5.0, 6.0]])
    q, r, perm = kp.col_piv_qr(a)
    check_factors(a, q, r, perm)


@pytest.mark.parametrize("scale_exponent", [996, -996])
def test_extreme_scales_give_the_factors_of_the_scaled_matrix(scale_exponent):
    rng = np.random.default_rng(9)
    a = rng.standard_normal((6, 5))
    q, r, perm = kp.col_piv_qr(a)
    big_q, big_r, big_perm = kp.col_piv_qr(np.ldexp(a, scale_exponent))
    assert big_perm.tolist() == perm.tolist()
    assert np.allclose(big_q, q, atol=1e-13)
    assert np.allclose(np.ldexp(big_r, -scale_exponent), r, atol=1e-13)


def test_r_outside_the_range_is_an_overflow():
    # Column norms of sqrt(2) * 1.5e308 cannot be represented.
    a = np.full((2, 2), 1.5e308)
    a[1, 1] = -1.5e308
    with pytest.raises(ValueError) as caught:
        kp.col_piv_qr(a)
    assert str(caught.value) == "Arithmetic overflow in layout calculations: R entry exceeds the scalar range"


@pytest.mark.parametrize("bad", [np.nan, np.inf])
def test_non_finite_input_is_reported_by_the_factorization(bad):
    a = np.eye(3)
    a[1, 2] = bad
    with pytest.raises(ValueError) as caught:
        kp.col_piv_qr(a)
    assert str(caught.value) == "Storage error: ColPivQR input contains a non-finite value"
