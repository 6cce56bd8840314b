"""An error the arguments' shapes or values caused keeps its exact text and
carries one note (PEP 678) naming what the function needs, the shapes of
the arrays given and the call that fixes them where one does. Argument
conversion errors have their own table (test_argument_notes.py)."""

import numpy as np
import pytest

import kavo_python as kp

F32 = np.ones((3, 4), np.float32)
ELEMENTWISE = (
    "b must have a's shape, or extent 1 on an axis to repeat it along (only b is broadcast: the result has a's shape)"
)
ASYMMETRIC = np.array([[1.0, 2.0], [0.0, 1.0]])

# (call, exact text, exact note)
CASES = {
    "row bias laid out as a column": (
        lambda: kp.add(F32, np.ones((4, 1), np.float32)),
        "Incompatible broadcast: from [4, 1] to [3, 4]",
        f"{ELEMENTWISE}; got a of shape (3, 4) and b of shape (4, 1). b.reshape(1, -1) makes it a row, repeated "
        "down a's rows",
    ),
    "column laid out as a row": (
        lambda: kp.sub(F32, np.ones((1, 3), np.float32)),
        "Incompatible broadcast: from [1, 3] to [3, 4]",
        f"{ELEMENTWISE}; got a of shape (3, 4) and b of shape (1, 3). b.reshape(-1, 1) makes it a column, repeated "
        "across a's columns",
    ),
    "a would need stretching": (
        lambda: kp.mul(np.ones((3, 1), np.float32), np.ones((1, 4), np.float32)),
        "Incompatible broadcast: from [1, 4] to [3, 1]",
        f"{ELEMENTWISE}; got a of shape (3, 1) and b of shape (1, 4). "
        "numpy.ascontiguousarray(numpy.broadcast_to(a, (3, 4))) stretches a to that shape first",
    ),
    "shapes that never broadcast": (
        lambda: kp.div(np.ones((2, 2), np.float32), np.ones((1, 3), np.float32)),
        "Incompatible broadcast: from [1, 3] to [2, 2]",
        f"{ELEMENTWISE}; got a of shape (2, 2) and b of shape (1, 3)",
    ),
    "dot lengths": (
        lambda: kp.dot(np.ones(3, np.float32), np.ones(4, np.float32)),
        "Shape mismatch: lhs [3], rhs [4]",
        "a and b must have the same length; got a of shape (3,) and b of shape (4,)",
    ),
    "matmul inner sizes": (
        lambda: kp.matmul(F32, F32),
        "Dimension mismatch for matrix multiplication",
        "a's column count must equal b's row count: (m, k) and (k, n); got a of shape (3, 4) and b of shape (3, 4)",
    ),
    "batched_matmul inner sizes": (
        lambda: kp.batched_matmul(np.ones((2, 3, 4), np.float32), np.ones((2, 3, 5), np.float32)),
        "Inner dimension mismatch for batched matmul",
        "a's last extent must equal b's middle one, (batch, m, k) and (batch, k, n), and the batch extents must be "
        "equal or 1; got a of shape (2, 3, 4) and b of shape (2, 3, 5)",
    ),
    "batched_matmul batch sizes": (
        lambda: kp.batched_matmul(np.ones((2, 3, 4), np.float32), np.ones((3, 4, 5), np.float32)),
        "Shape mismatch: lhs [2, 3, 4], rhs [3, 4, 5]",
        "a's last extent must equal b's middle one, (batch, m, k) and (batch, k, n), and the batch extents must be "
        "equal or 1; got a of shape (2, 3, 4) and b of shape (3, 4, 5)",
    ),
    "sum_dyn rank": (
        lambda: kp.sum_dyn(np.ones((1,) * 7, np.float32)),
        "array rank 7 exceeds the supported dynamic-dispatch rank 6",
        "a must have 1 to 6 dimensions; got a of shape (1, 1, 1, 1, 1, 1, 1). a.reshape(-1) sums the same values",
    ),
    "trace not square": (
        lambda: kp.trace(np.ones((2, 3))),
        "Shape mismatch: lhs [2, 3], rhs [2, 2]",
        "a must be square; got a of shape (2, 3)",
    ),
    "inv not square": (
        lambda: kp.inv(np.ones((3, 2))),
        "Shape mismatch: lhs [3, 2], rhs [3, 3]",
        "a must be square; got a of shape (3, 2)",
    ),
    "solve length": (
        lambda: kp.solve(np.eye(2), np.ones(3)),
        "Shape mismatch: lhs [3], rhs [2]",
        "a must be square and b must have one entry per row of a; got a of shape (2, 2) and b of shape (3,)",
    ),
    "cholesky_solve length": (
        lambda: kp.cholesky_solve(np.eye(2), np.ones(3)),
        "Shape mismatch: lhs [3], rhs [2]",
        "a must be square and b must have one entry per row of a; got a of shape (2, 2) and b of shape (3,)",
    ),
    "qr wide": (
        lambda: kp.qr(np.ones((2, 3))),
        "Shape mismatch: lhs [2, 3], rhs [3, 3]",
        "a must have at least as many rows as columns; got a of shape (2, 3)",
    ),
    "svd empty": (
        lambda: kp.svd(np.ones((0, 3))),
        "Shape mismatch: lhs [0, 3], rhs [1, 3]",
        "a must have at least one row and one column; got a of shape (0, 3)",
    ),
    "non-finite screen": (
        lambda: kp.cholesky(np.array([[np.nan]])),
        "Storage error: Cholesky input contains a non-finite value",
        "a must hold only finite values (no NaN or infinity); got a of shape (1, 1) with at least one that is not",
    ),
    "non-finite, Jacobi": (
        lambda: kp.symmetric_eigen(np.array([[1.0, np.inf], [np.inf, 1.0]])),
        "Invalid input: symmetric eigensolver input has a non-finite entry at (0, 1)",
        "a must hold only finite values (no NaN or infinity); got a of shape (2, 2) with at least one that is not",
    ),
    "not symmetric": (
        lambda: kp.bunch_kaufman(ASYMMETRIC),
        "Storage error: Bunch-Kaufman requires a symmetric matrix",
        "a must be symmetric; got a of shape (2, 2) that is not. (a + a.T) / 2 is its symmetric part",
    ),
    "not symmetric, Jacobi": (
        lambda: kp.symmetric_eigen(ASYMMETRIC),
        "Invalid input: symmetric eigensolver input is not symmetric at (0, 1)",
        "a must be symmetric; got a of shape (2, 2) that is not. (a + a.T) / 2 is its symmetric part",
    ),
    "entries beyond the scaling's range": (
        lambda: kp.matexp(np.full((2, 2), 1e308)),
        "Storage error: matrix exponential scaling exponent overflow",
        "matexp(a) got a of shape (2, 2)",
    ),
}


@pytest.mark.parametrize("kind", CASES)
def test_error_keeps_its_text_and_names_shapes_and_fix_in_a_note(kind):
    call, text, note = CASES[kind]
    with pytest.raises(ValueError) as caught:
        call()
    assert type(caught.value) is ValueError
    assert str(caught.value) == text
    assert caught.value.__notes__ == [note]


def test_the_suggested_fixes_are_accepted():
    """Each fix the notes give turns the rejected call into one that works."""
    a, row = np.arange(12, dtype=np.float32).reshape(3, 4), np.arange(4, dtype=np.float32)
    np.testing.assert_array_equal(kp.add(a, row.reshape(4, 1).reshape(1, -1)), a + row)
    column = np.arange(3, dtype=np.float32)
    np.testing.assert_array_equal(kp.sub(a, column.reshape(1, 3).reshape(-1, 1)), a - column[:, None])
    stretched = np.ascontiguousarray(np.broadcast_to(np.ones((3, 1), np.float32), (3, 4)))
    np.testing.assert_array_equal(kp.mul(stretched, np.full((1, 4), 2, np.float32)), np.full((3, 4), 2))
    assert kp.sum_dyn(np.ones((1,) * 7, np.float32).reshape(-1)) == 1.0
    symmetric = kp.symmetric_eigen((ASYMMETRIC + ASYMMETRIC.T) / 2)[0]
    np.testing.assert_allclose(symmetric, [0.0, 2.0], atol=1e-15)
    np.testing.assert_array_equal(kp.add(a, np.ones(4).astype(np.float32).reshape(1, -1)), a + 1)
    np.testing.assert_array_equal(kp.solve(np.eye(2), np.ones((2, 1)).reshape(2)), np.ones(2))
    np.testing.assert_array_equal(kp.inv(np.eye(2)[np.newaxis].reshape(2, 2)), np.eye(2))
    assert kp.det(np.asarray(((1.0, 0.0), (0.0, 1.0)), dtype=np.float64)) == 1.0
