import numpy as np
import pytest
import scipy.linalg

import kavo_python as kp
from hard_matrices import general_cases, hilbert

EPS = np.finfo(float).eps


def well_conditioned_cases():
    """Inputs whose exponential is well conditioned: normalised random
    matrices of every size at several norms, symmetric ones, and the
    registry's general cases of moderate norm."""
    rng = np.random.default_rng(99)
    cases = []
    for n in (1, 2, 3, 5, 10, 50, 200):
        for scale in (0.1, 1.0, 6.0):
            cases.append((f"random{n}_x{scale}", rng.standard_normal((n, n)) * scale / np.sqrt(n)))
    m = rng.standard_normal((40, 40))
    cases.append(("symmetric40", (m + m.T) / 10))
    cases.append(("hilbert8", hilbert(8)))
    cases.append(("tiny", rng.standard_normal((10, 10)) * 1e-200))
    cases += [(name, a) for name, a in general_cases() if a.size and np.abs(a).sum(axis=1).max() < 50]
    return cases


CASES = well_conditioned_cases()


@pytest.mark.parametrize("a", [m for _, m in CASES], ids=[name for name, _ in CASES])
def test_matches_scipy_expm(a):
    result = kp.matexp(a)
    reference = scipy.linalg.expm(a)
    assert result.shape == a.shape and result.dtype == np.float64
    assert np.linalg.norm(result - reference) <= 1e-12 * np.linalg.norm(reference)


def test_exact_examples():
    assert np.array_equal(kp.matexp(np.zeros((4, 4))), np.eye(4))
    assert kp.matexp(np.zeros((0, 0))).shape == (0, 0)
    for x in (0.5, -0.5, 1.0, -30.0, 12.0):
        assert kp.matexp(np.array([[x]]))[0, 0] == pytest.approx(np.exp(x), rel=64 * EPS)
    d = np.array([1.5, -2.0, 0.25, 0.0])
    result = kp.matexp(np.diag(d))
    assert np.all(result[~np.eye(4, dtype=bool)] == 0.0)
    assert np.allclose(np.diag(result), np.exp(d), rtol=32 * EPS, atol=0)
    nilpotent = kp.matexp(np.array([[0.0, 1.0], [0.0, 0.0]]))
    assert np.allclose(nilpotent, [[1.0, 1.0], [0.0, 1.0]], rtol=0, atol=4 * EPS)
    assert nilpotent[1, 0] == 0.0


def test_large_positive_spectrum_overflows_without_error():
    result = kp.matexp(np.array([[1000.0]]))
    assert np.isinf(result[0, 0])


FINITE = "Storage error: matrix exponential requires finite entries"
EXPONENT = "Storage error: matrix exponential scaling exponent overflow"


@pytest.mark.parametrize(
    "a, message",
    [
        (np.ones((2, 3)), "Shape mismatch: lhs [2, 3], rhs [2, 2]"),
        ([[1.0, np.nan], [0.0, 1.0]], FINITE),
        ([[1.0, 0.0], [0.0, -np.inf]], FINITE),
        ([[1e308, 0.0], [0.0, 0.0]], EXPONENT),
        ([[1e308, 1e308], [0.0, 0.0]], EXPONENT),  # the row sum overflows
    ],
)
def test_failures(a, message):
    with pytest.raises(ValueError) as error:
        kp.matexp(np.array(a, dtype=np.float64))
    assert str(error.value) == message


def test_input_is_not_modified():
    a = np.array([[0.1, 2.0], [-3.0, 0.4]])
    original = a.copy()
    kp.matexp(a)
    assert np.array_equal(a, original)
