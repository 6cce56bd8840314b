import numpy as np
import pytest

import kavo_python as kp
from hard_matrices import general_cases, power_of_two_scale

EPS = np.finfo(float).eps
ZERO_NORM = "Storage error: QR pivot column {} has zero norm: matrix is rank-deficient"


def tall_cases():
    """Square hard cases, plus tall ones made from them by stacking a random
    block below (same scale), plus graded columns."""
    rng = np.random.default_rng(808)
    cases = list(general_cases())
    for name, a in general_cases(sizes=(1, 3, 10, 50)):
        n = a.shape[1]
        scale = power_of_two_scale(a)
        cases.append((f"tall_{name}", np.vstack([a, rng.standard_normal((n + 7, n)) * scale])))
    cases.append(("graded_columns", rng.standard_normal((40, 12)) * np.geomspace(1e-150, 1e150, 12)))
    cases.append(("wide_range_columns", rng.standard_normal((9, 4)) * np.array([1e300, 1e-300, 1e-170, 1e170])))
    return cases


CASES = tall_cases()


def check_factors(a, q, r):
    """LAPACK's QR test ratios, on exactly rescaled copies so the norms of
    matrices near overflow or underflow stay representable."""
    m, n = a.shape
    assert q.shape == (m, m) and r.shape == (m, n)
    assert q.dtype == r.dtype == np.float64 and q.flags.c_contiguous and r.flags.c_contiguous
    assert not np.tril(r, -1).any()
    if m:
        assert np.abs(q.T @ q - np.eye(m)).max() / (m * EPS) < 30
    if a.size:
        scale = 1.0 / power_of_two_scale(a)
        residual = np.linalg.norm(a * scale - q @ (r * scale))
        assert residual / (max(n, 1) * EPS * np.linalg.norm(a * scale)) < 30


@pytest.mark.parametrize("a", [c for _, c in CASES], ids=[name for name, _ in CASES])
def test_factors_reproduce_input_and_match_numpy(a):
    q, r = kp.qr(a)
    check_factors(a, q, r)
    if a.size:
        # R is unique up to the signs of its rows for a full-rank input.
        scale = 1.0 / power_of_two_scale(a)
        reference = np.linalg.qr(a * scale, mode="complete")[1]
        n = a.shape[1]
        magnitude = np.abs(reference[:n])
        assert np.allclose(np.abs(r[:n] * scale), magnitude, rtol=1e-6, atol=1e-9 * magnitude.max())


def test_one_panel_and_blocked_panels_agree():
    rng = np.random.default_rng(191)
    a = rng.standard_normal((230, 192))
    q192, r192 = kp.qr(a)
    q191, r191 = kp.qr(np.ascontiguousarray(a[:, :191]))
    check_factors(a, q192, r192)
    # Column k of R and Q depends only on columns 0..k of A.
    assert np.allclose(r192[:, :191], r191, atol=1e-11)
    assert np.allclose(q192[:, :191], q191[:, :191], atol=1e-11)


@pytest.mark.parametrize(
    "a, q, r",
    [([[3.0]], [[-1.0]], [[-3.0]]), ([[-3.0]], [[-1.0]], [[3.0]])],
    ids=["positive", "negative"],
)
def test_one_by_one_is_exact(a, q, r):
    got_q, got_r = kp.qr(np.array(a))
    assert got_q.tolist() == q and got_r.tolist() == r


def test_shapes_without_rows_to_reduce():
    q, r = kp.qr(np.zeros((3, 0)))
    assert q.tolist() == np.eye(3).tolist() and r.shape == (3, 0)
    q, r = kp.qr(np.array([[1.0, 2.0], [3.0, 4.0], [5.0, 6.0]]))
    assert q.shape == (3, 3) and r.shape == (3, 2) and not r[2].any()


def test_diagonal_sign_follows_the_replaced_entry():
    # Every column gets a reflector, even one already zero below its diagonal.
    q, r = kp.qr(np.array([[2.0, 1.0], [0.0, -5.0]]))
    assert r[0, 0] == -2.0 and r[1, 1] > 0


@pytest.mark.parametrize(
    "a, message",
    [
        (np.zeros((2, 3)), "Shape mismatch: lhs [2, 3], rhs [3, 3]"),
        (np.array([[1.0, np.nan], [0.0, 1.0]]), "Storage error: QR input contains a non-finite value"),
        (np.array([[1.0, 0.0], [0.0, -np.inf]]), "Storage error: QR input contains a non-finite value"),
        (np.zeros((1, 1)), ZERO_NORM.format(0)),
        (np.array([[1.0, 0.0], [2.0, 0.0], [3.0, 0.0]]), ZERO_NORM.format(1)),
        # Column 1 becomes zero below its diagonal only after the first reflection.
        (np.array([[1.0, 2.0], [0.0, 0.0], [0.0, 0.0]]), ZERO_NORM.format(1)),
    ],
    ids=["wide", "nan", "inf", "zero", "zero_column", "zero_after_reflection"],
)
def test_errors(a, message):
    with pytest.raises(ValueError) as caught:
        kp.qr(a)
    assert str(caught.value) == message
