import numpy as np
import pytest
import scipy.linalg

import kavo_python as kp
from hard_matrices import general_cases, power_of_two_scale

EPS = np.finfo(float).eps


def jordan_similar(sizes, values, seed):
    """Jordan blocks (defective eigenvalues) under a well-conditioned similarity."""
    j = scipy.linalg.block_diag(*[np.eye(k) * v + np.eye(k, k=1) for k, v in zip(sizes, values)])
    rng = np.random.default_rng(seed)
    x = np.eye(j.shape[0]) + 0.3 * rng.standard_normal(j.shape)
    return x @ j @ np.linalg.inv(x)


def cyclic(n):
    return np.roll(np.eye(n), 1, axis=0)


rng = np.random.default_rng(99)
DEFECTIVE = {"jordan", "jordan_similar", "clustered"}
CASES = general_cases() + [
    ("clustered", np.eye(12) + 1e-8 * rng.standard_normal((12, 12))),
    ("jordan", scipy.linalg.block_diag(np.eye(4) * 2 + np.eye(4, k=1), np.eye(3) * -1 + np.eye(3, k=1))),
    ("jordan_similar", jordan_similar((3, 2), (1.5, -0.5), 5)),
    ("cyclic3", cyclic(3)),
    ("cyclic8", cyclic(8)),
    ("zeros", np.zeros((6, 6))),
    ("near_overflow_3e307", rng.uniform(-3e307, 3e307, (25, 25))),
    ("subnormal", rng.standard_normal((8, 8)) * 1e-310),
]
IDS = [name for name, _ in CASES]


def check_quasi_triangular(t):
    """Exact zeros below the subdiagonal; 2x2 blocks standardized and not adjacent."""
    n = t.shape[0]
    assert np.all(np.tril(t, -2) == 0.0)
    k = 0
    while k < n:
        if k + 1 < n and t[k + 1, k] != 0.0:
            assert t[k, k] == t[k + 1, k + 1]
            assert np.signbit(t[k, k + 1]) != np.signbit(t[k + 1, k])
            assert k + 2 >= n or t[k + 2, k + 1] == 0.0
            k += 2
        else:
            k += 1


def schur_ratios(a, q, t):
    n = a.shape[0]
    if n == 0:
        return 0.0, 0.0
    s = power_of_two_scale(a)
    a_s, t_s = a / s, t / s
    difference = np.linalg.norm(a_s - q @ t_s @ q.T)
    reconstruction = difference / (n * EPS * np.linalg.norm(a_s)) if np.any(a) else difference
    orthogonality = np.linalg.norm(q.T @ q - np.eye(n)) / (n * EPS)
    return reconstruction, orthogonality


def match_to_reference(values, reference):
    """Pairs every computed eigenvalue with the nearest unused reference one."""
    order = []
    unused = list(range(len(reference)))
    for v in values:
        best = min(unused, key=lambda i: abs(reference[i] - v))
        unused.remove(best)
        order.append(best)
    return np.array(order, dtype=int)


@pytest.mark.parametrize("name, a", CASES, ids=IDS)
def test_schur_form_reproduces_a(name, a):
    q, t = kp.schur(a)
    n = a.shape[0]
    assert q.shape == t.shape == (n, n) and q.dtype == t.dtype == np.float64
    check_quasi_triangular(t)
    reconstruction, orthogonality = schur_ratios(a, q, t)
    assert reconstruction < 30
    assert orthogonality < 30


@pytest.mark.parametrize("name, a", CASES, ids=IDS)
def test_eigenvalues_match_scipy_within_their_condition(name, a):
    values = kp.eigenvalues(a)
    n = a.shape[0]
    assert values.shape == (n,) and values.dtype == np.complex128
    if n == 0:
        return
    s = power_of_two_scale(a)
    reference, left, right = scipy.linalg.eig(a / s, left=True, right=True)
    e = int(np.log2(s))  # exact: s is a power of two, and 1/s may not be representable
    scaled = np.ldexp(values.real, -e) + 1j * np.ldexp(values.imag, -e)
    order = match_to_reference(scaled, reference)
    norm = np.linalg.norm(a / s)
    if name in DEFECTIVE:
        # A Jordan block of size k moves its eigenvalue by (eps ||A||)^(1/k).
        bound = 30 * (n * EPS * norm) ** (1.0 / 4.0) * np.ones(n)
    else:
        cosines = np.abs(np.einsum("ij,ij->j", left.conj(), right))
        cosines /= np.linalg.norm(left, axis=0) * np.linalg.norm(right, axis=0)
        bound = 30 * n * EPS * norm / np.maximum(cosines, EPS)
    errors = np.abs(scaled - reference[order])
    assert np.all(errors <= bound[order] + 1e-300)
    # Conjugate pairs come as (re, +im) then (re, -im), real ones with exact zeros.
    k = 0
    while k < n:
        if values[k].imag != 0.0:
            assert values[k].imag > 0 and values[k + 1] == np.conj(values[k])
            k += 2
        else:
            k += 1


@pytest.mark.parametrize("name, a", CASES, ids=IDS)
def test_eigenvalues_follow_the_blocks_of_t(name, a):
    """Both paths agree: the eigenvalues list T's diagonal blocks top to bottom."""
    _, t = kp.schur(a)
    values = kp.eigenvalues(a)
    n = a.shape[0]
    from_t = []
    k = 0
    while k < n:
        if k + 1 < n and t[k + 1, k] != 0.0:
            im = np.sqrt(abs(t[k, k + 1])) * np.sqrt(abs(t[k + 1, k]))
            from_t += [complex(t[k, k], im), complex(t[k, k], -im)]
            k += 2
        else:
            from_t.append(complex(t[k, k], 0.0))
            k += 1
    if n:
        scale = np.abs(a).max() or 1.0
        tolerance = (1e-3 if name in DEFECTIVE else 1e-8) * scale
        np.testing.assert_allclose(np.sort_complex(values), np.sort_complex(np.array(from_t)), rtol=0, atol=tolerance)


def test_exact_examples():
    q, t = kp.schur(np.zeros((0, 0)))
    assert q.shape == t.shape == (0, 0)
    assert kp.eigenvalues(np.zeros((0, 0))).shape == (0,)
    q, t = kp.schur(np.array([[2.5]]))
    np.testing.assert_array_equal(q, [[1.0]])
    np.testing.assert_array_equal(t, [[2.5]])
    np.testing.assert_array_equal(kp.eigenvalues(np.array([[2.5]])), [2.5 + 0j])

    rotation = np.array([[0.0, -1.0], [1.0, 0.0]])
    np.testing.assert_array_equal(kp.eigenvalues(rotation), [1j, -1j])
    q, t = kp.schur(rotation)
    np.testing.assert_array_equal(t, rotation)
    np.testing.assert_array_equal(q, np.eye(2))

    q, t = kp.schur(np.array([[1.0, 2.0], [3.0, 4.0]]))
    assert t[1, 0] == 0.0
    np.testing.assert_allclose(sorted(np.diag(t)), sorted([(5 - np.sqrt(33)) / 2, (5 + np.sqrt(33)) / 2]), rtol=1e-14)

    upper = np.triu(np.arange(1.0, 26.0).reshape(5, 5))
    np.testing.assert_array_equal(kp.eigenvalues(upper), np.diag(upper).astype(complex))


@pytest.mark.parametrize("scale", [1e300, 1e-300])
def test_scaled_inputs_come_back_at_their_true_magnitude(scale):
    a = np.array([[0.0, -1.0, 0.0], [1.0, 0.0, 0.0], [0.0, 0.0, 2.0]]) * scale
    np.testing.assert_allclose(kp.eigenvalues(a), np.array([1j, -1j, 2.0]) * scale, rtol=1e-15)
    q, t = kp.schur(a)
    np.testing.assert_allclose(q @ t @ q.T, a, rtol=0, atol=1e-15 * scale)


@pytest.mark.parametrize("function", [kp.schur, kp.eigenvalues])
@pytest.mark.parametrize(
    "a, message",
    [
        (np.ones((3, 2)), "Shape mismatch: lhs [3, 2], rhs [3, 3]"),
        (np.array([[1.0, np.inf], [0.0, 1.0]]), "Storage error: Hessenberg input contains a non-finite value"),
        (np.array([[1.0, 0.0, 0.0], [np.nan, 1.0, 0.0], [0.0, 0.0, 1.0]]), "Storage error: Hessenberg input contains a non-finite value"),
    ],
    ids=["rectangular", "infinity", "nan"],
)
def test_errors_carry_their_exact_text(function, a, message):
    with pytest.raises(ValueError) as raised:
        function(a)
    assert str(raised.value) == message
