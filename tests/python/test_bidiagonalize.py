import numpy as np
import pytest

import kavo_python as kp
from hard_matrices import general_cases, power_of_two_scale

EPS = np.finfo(float).eps


def tall_cases():
    rng = np.random.default_rng(61)
    cases = [c for c in general_cases() if c[1].size]
    for name, a in general_cases(sizes=(1, 3, 10, 50)):
        n = a.shape[1]
        cases.append((f"tall_{name}", np.vstack([a, rng.standard_normal((n + 5, n)) * power_of_two_scale(a)])))
    cases.append(("entries_3e307", np.tanh(rng.standard_normal((6, 5))) * 3e307))
    return cases


@pytest.mark.parametrize("name,a", tall_cases(), ids=[c[0] for c in tall_cases()])
def test_reproduces_the_input(name, a):
    u, b, v = kp.bidiagonalize(a)
    m, n = a.shape
    assert u.shape == (m, m) and b.shape == (m, n) and v.shape == (n, n)
    assert np.isfinite(b).all()
    off = b.copy()
    for i in range(min(m, n)):
        off[i, i] = 0.0
        if i + 1 < n:
            off[i, i + 1] = 0.0
    assert not off.any()
    assert np.abs(u.T @ u - np.eye(m)).max() / (m * EPS) < 35
    assert np.abs(v.T @ v - np.eye(n)).max() / (max(n, 1) * EPS) < 35
    scale = 1.0 / power_of_two_scale(a)
    residual = np.linalg.norm(a * scale - u @ (b * scale) @ v.T)
    assert residual / (max(m, n) * EPS * np.linalg.norm(a * scale)) < 35


def test_degenerate_shapes_and_errors():
    u, b, v = kp.bidiagonalize(np.zeros((3, 0)))
    assert np.array_equal(u, np.eye(3)) and b.shape == (3, 0) and v.shape == (0, 0)
    u, b, v = kp.bidiagonalize(np.array([[-2.5]]))
    assert u.tolist() == [[1.0]] and b.tolist() == [[-2.5]] and v.tolist() == [[1.0]]
    with pytest.raises(ValueError, match=r"Shape mismatch.*\[2, 3\].*\[3, 3\]"):
        kp.bidiagonalize(np.zeros((2, 3)))
    with pytest.raises(ValueError, match="bidiagonalization input contains a non-finite value"):
        kp.bidiagonalize(np.array([[1.0, 2.0], [3.0, 4.0], [np.nan, 1.0]]))
