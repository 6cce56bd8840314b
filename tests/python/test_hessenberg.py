import numpy as np
import pytest

import kavo_python as kp
from hard_matrices import general_cases, power_of_two_scale

EPS = np.finfo(float).eps
CASES = general_cases() + [
    # Entries near 3e307 overflowed inside the reflector products before the
    # reduction learnt to scale by a power of two.
    ("near_overflow_3e307", np.random.default_rng(7).uniform(-3e307, 3e307, (30, 30))),
    ("constant_1e307", np.full((10, 10), 1.5e307)),
    ("subnormal", np.random.default_rng(8).standard_normal((8, 8)) * 1e-310),
]
IDS = [name for name, _ in CASES]
MATRICES = [matrix for _, matrix in CASES]


def similarity_ratios(a, q, h):
    """||A - Q H Q^T|| / (n eps ||A||) and ||Q^T Q - I|| / (n eps), on A scaled
    by a power of two so that the norms stay representable."""
    n = a.shape[0]
    if n == 0:
        return 0.0, 0.0
    s = power_of_two_scale(a)
    a_s, h_s = a / s, h / s
    reconstruction = np.linalg.norm(a_s - q @ h_s @ q.T) / (n * EPS * np.linalg.norm(a_s))
    orthogonality = np.linalg.norm(q.T @ q - np.eye(n)) / (n * EPS)
    return reconstruction, orthogonality


@pytest.mark.parametrize("a", MATRICES, ids=IDS)
def test_reduction_reproduces_a_with_orthogonal_q(a):
    q, h = kp.hessenberg(a)
    n = a.shape[0]
    assert q.shape == h.shape == (n, n) and q.dtype == h.dtype == np.float64
    assert np.all(np.isfinite(h)) and np.all(np.isfinite(q))
    assert np.all(np.tril(h, -2) == 0.0)
    reconstruction, orthogonality = similarity_ratios(a, q, h)
    assert reconstruction < 30
    assert orthogonality < 30


@pytest.mark.parametrize(
    "a",
    [np.zeros((0, 0)), np.array([[3.0]]), np.array([[1.0, 2.0], [3.0, 4.0]]), np.triu(np.arange(1.0, 17.0).reshape(4, 4), -1)],
    ids=["empty", "one", "two", "already_hessenberg"],
)
def test_small_and_hessenberg_inputs_are_unchanged(a):
    q, h = kp.hessenberg(a)
    np.testing.assert_array_equal(h, a)
    np.testing.assert_array_equal(q, np.eye(a.shape[0]))


def test_h_has_the_eigenvalues_of_a():
    a = np.random.default_rng(3).standard_normal((40, 40))
    _, h = kp.hessenberg(a)
    ev_a = np.sort_complex(np.linalg.eigvals(a))
    ev_h = np.sort_complex(np.linalg.eigvals(h))
    np.testing.assert_allclose(ev_h, ev_a, atol=1e-10 * np.abs(a).max())


@pytest.mark.parametrize(
    "a, message",
    [
        (np.ones((3, 4)), "Shape mismatch: lhs [3, 4], rhs [3, 3]"),
        (np.array([[1.0, np.inf], [0.0, 1.0]]), "Storage error: Hessenberg input contains a non-finite value"),
        (np.array([[1.0, 0.0], [np.nan, 1.0]]), "Storage error: Hessenberg input contains a non-finite value"),
        # H[1, 0] = -||(1.5e308, 1.5e308)|| lies beyond the float64 range.
        (
            np.array([[0.0, 1.0, 1.0], [1.5e308, 1.0, 1.0], [1.5e308, 1.0, 1.0]]),
            "Arithmetic overflow in layout calculations: Hessenberg form entry exceeds the scalar range",
        ),
    ],
    ids=["rectangular", "infinity", "nan", "beyond_range"],
)
def test_errors_carry_their_exact_text(a, message):
    with pytest.raises(ValueError) as raised:
        kp.hessenberg(a)
    assert str(raised.value) == message


def test_rejects_non_contiguous_and_wrong_types():
    a = np.random.default_rng(1).standard_normal((4, 4))
    with pytest.raises(ValueError):
        kp.hessenberg(a.T)
    with pytest.raises(TypeError):
        kp.hessenberg(a.astype(np.float32))
