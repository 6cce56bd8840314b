"""A numerical failure of a factorization is numpy.linalg.LinAlgError (a
ValueError, with the same text); errors about the input's form, shape,
finiteness or size stay plain ValueError."""

import numpy as np
import pytest

import kavo_python as kp

NOT_POSITIVE_DEFINITE = np.array([[1.0, 2.0], [2.0, 1.0]])
SINGULAR = np.array([[1.0, 2.0], [2.0, 4.0]])
DEPENDENT_COLUMNS = np.array([[1.0, 2.0], [1.0, 2.0], [1.0, 2.0]])

# (call, exact text) for every numerical failure a working function reports.
NUMERICAL_FAILURES = {
    "cholesky": (
        lambda: kp.cholesky(NOT_POSITIVE_DEFINITE),
        "Storage error: Cholesky pivot 1 is non-positive: matrix is not positive-definite",
    ),
    "cholesky zero pivot": (
        lambda: kp.cholesky(np.zeros((3, 3))),
        "Storage error: Cholesky pivot 0 is non-positive: matrix is not positive-definite",
    ),
    "cholesky_solve": (
        lambda: kp.cholesky_solve(-np.eye(2), np.ones(2)),
        "Storage error: Cholesky pivot 0 is non-positive: matrix is not positive-definite",
    ),
    "cholesky_inv": (
        lambda: kp.cholesky_inv(NOT_POSITIVE_DEFINITE),
        "Storage error: Cholesky pivot 1 is non-positive: matrix is not positive-definite",
    ),
    "inv": (lambda: kp.inv(SINGULAR), "Storage error: LU pivot column 1 is exactly zero: matrix is singular"),
    "solve": (
        lambda: kp.solve(np.zeros((2, 2)), np.ones(2)),
        "Storage error: LU pivot column 0 is exactly zero: matrix is singular",
    ),
    "qr": (
        lambda: kp.qr(DEPENDENT_COLUMNS),
        "Storage error: QR pivot column 1 has zero norm: matrix is rank-deficient",
    ),
    "udu": (
        lambda: kp.udu(np.zeros((2, 2))),
        "Storage error: UDU encountered a zero pivot (needs symmetric pivoting)",
    ),
}

# (call, exact text) for errors that are not numerical failures.
INPUT_ERRORS = {
    "non-square cholesky": (lambda: kp.cholesky(np.ones((2, 3))), "Shape mismatch: lhs [2, 3], rhs [2, 2]"),
    "non-finite cholesky": (
        lambda: kp.cholesky(np.array([[np.nan]])),
        "Storage error: Cholesky input contains a non-finite value",
    ),
    "non-finite inv": (lambda: kp.inv(np.array([[np.inf]])), "Storage error: LU input contains a non-finite value"),
    "solve length": (lambda: kp.solve(np.eye(2), np.ones(3)), "Shape mismatch: lhs [3], rhs [2]"),
    "cholesky_solve length": (lambda: kp.cholesky_solve(np.eye(2), np.ones(3)), "Shape mismatch: lhs [3], rhs [2]"),
    "qr wide": (lambda: kp.qr(np.ones((2, 3))), "Shape mismatch: lhs [2, 3], rhs [3, 3]"),
    "qr non-finite": (lambda: kp.qr(np.array([[np.nan]])), "Storage error: QR input contains a non-finite value"),
    "col_piv_qr non-finite": (
        lambda: kp.col_piv_qr(np.array([[np.inf]])),
        "Storage error: ColPivQR input contains a non-finite value",
    ),
    "udu asymmetric": (lambda: kp.udu(np.array([[1.0, 2.0], [0.0, 1.0]])), "Storage error: UDU requires a symmetric matrix"),
    "bunch_kaufman asymmetric": (
        lambda: kp.bunch_kaufman(np.array([[1.0, 2.0], [0.0, 1.0]])),
        "Storage error: Bunch-Kaufman requires a symmetric matrix",
    ),
    "full_piv_lu non-finite": (
        lambda: kp.full_piv_lu(np.array([[np.nan]])),
        "Storage error: FullPivLU input contains a non-finite value",
    ),
    "trace non-square": (lambda: kp.trace(np.ones((1, 2))), "Shape mismatch: lhs [1, 2], rhs [1, 1]"),
    "norm order": (lambda: kp.norm(np.eye(2), "nuc"), "Unsupported norm order: nuc"),
    "matmul inner": (
        lambda: kp.matmul(np.ones((2, 3), np.float32), np.ones((2, 3), np.float32)),
        "Dimension mismatch for matrix multiplication",
    ),
    "broadcast": (
        lambda: kp.add(np.ones((3, 1), np.float32), np.ones((1, 4), np.float32)),
        "Incompatible broadcast: from [1, 4] to [3, 1]",
    ),
    "contiguity": (lambda: kp.inv(np.eye(3)[:, ::2].T), "a must be C-contiguous"),
}


@pytest.mark.parametrize("case", NUMERICAL_FAILURES)
def test_numerical_failure_is_linalg_error_with_the_same_text(case):
    call, text = NUMERICAL_FAILURES[case]
    with pytest.raises(np.linalg.LinAlgError) as caught:
        call()
    assert str(caught.value) == text
    assert isinstance(caught.value, ValueError)  # every `except ValueError` still catches it


@pytest.mark.parametrize("case", INPUT_ERRORS)
def test_input_errors_stay_plain_value_error(case):
    call, text = INPUT_ERRORS[case]
    with pytest.raises(ValueError) as caught:
        call()
    assert type(caught.value) is ValueError
    assert str(caught.value) == text


def test_singular_determinant_is_zero_not_an_error():
    assert kp.det(SINGULAR) == 0.0


def test_numpy_style_handler_catches_a_failed_factorization():
    """Code written against numpy.linalg works unchanged."""

    def is_positive_definite(factor, matrix):
        try:
            factor(matrix)
            return True
        except np.linalg.LinAlgError:
            return False

    for matrix in (np.eye(3), NOT_POSITIVE_DEFINITE, np.zeros((2, 2)), -np.eye(4)):
        assert is_positive_definite(kp.cholesky, matrix) == is_positive_definite(np.linalg.cholesky, matrix)


@pytest.mark.parametrize(
    "call, text",
    [
        (lambda: kp.svd(np.array([[np.nan]])), "Storage error: SVD input contains a non-finite value"),
        (lambda: kp.singular_values(np.zeros((0, 3))), "Shape mismatch: lhs [0, 3], rhs [1, 3]"),
        (
            lambda: kp.symmetric_eigen(np.array([[1.0, 2.0], [0.0, 1.0]])),
            "Invalid input: symmetric eigensolver input is not symmetric at (0, 1)",
        ),
        (lambda: kp.schur(np.ones((3, 2))), "Shape mismatch: lhs [3, 2], rhs [3, 3]"),
        (lambda: kp.eigenvalues(np.array([[np.inf]])), "Storage error: Hessenberg input contains a non-finite value"),
        (lambda: kp.hessenberg(np.array([[np.nan]])), "Storage error: Hessenberg input contains a non-finite value"),
        (lambda: kp.matexp(np.array([[np.nan]])), "Storage error: matrix exponential requires finite entries"),
        (
            lambda: kp.matexp(np.array([[1e308, 1e308], [1e308, 1e308]])),
            "Storage error: matrix exponential scaling exponent overflow",
        ),
        (
            lambda: kp.bidiagonalize(np.array([[np.nan]])),
            "Storage error: bidiagonalization input contains a non-finite value",
        ),
    ],
)
def test_input_errors_of_the_spectral_functions_stay_plain_value_error(call, text):
    with pytest.raises(ValueError) as caught:
        call()
    assert type(caught.value) is ValueError
    assert str(caught.value) == text
