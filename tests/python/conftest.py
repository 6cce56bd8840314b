import numpy as np

# Every function with its parameters, element type and rank per array
# parameter, in the module's published order.
FUNCTIONS = [
    ("add", ("a", "b"), [(np.float32, 2), (np.float32, 2)]),
    ("sub", ("a", "b"), [(np.float32, 2), (np.float32, 2)]),
    ("mul", ("a", "b"), [(np.float32, 2), (np.float32, 2)]),
    ("div", ("a", "b"), [(np.float32, 2), (np.float32, 2)]),
    ("dot", ("a", "b"), [(np.float32, 1), (np.float32, 1)]),
    ("sum", ("a",), [(np.float32, 2)]),
    ("matmul", ("a", "b"), [(np.float32, 2), (np.float32, 2)]),
    ("batched_matmul", ("a", "b"), [(np.float32, 3), (np.float32, 3)]),
    ("sum_dyn", ("a",), [(np.float32, None)]),
    ("det", ("a",), [(np.float64, 2)]),
    ("inv", ("a",), [(np.float64, 2)]),
    ("solve", ("a", "b"), [(np.float64, 2), (np.float64, 1)]),
    ("cholesky", ("a",), [(np.float64, 2)]),
    ("cholesky_solve", ("a", "b"), [(np.float64, 2), (np.float64, 1)]),
    ("cholesky_inv", ("a",), [(np.float64, 2)]),
    ("qr", ("a",), [(np.float64, 2)]),
    ("col_piv_qr", ("a",), [(np.float64, 2)]),
    ("svd", ("a",), [(np.float64, 2)]),
    ("symmetric_eigen", ("a",), [(np.float64, 2)]),
    ("singular_values", ("a",), [(np.float64, 2)]),
    ("norm", ("a", "ord"), [(np.float64, 2)]),
    ("schur", ("a",), [(np.float64, 2)]),
    ("bunch_kaufman", ("a",), [(np.float64, 2)]),
    ("matexp", ("a",), [(np.float64, 2)]),
    ("kron", ("a", "b"), [(np.float64, 2), (np.float64, 2)]),
    ("trace", ("a",), [(np.float64, 2)]),
    ("hessenberg", ("a",), [(np.float64, 2)]),
    ("eigenvalues", ("a",), [(np.float64, 2)]),
    ("full_piv_lu", ("a",), [(np.float64, 2)]),
    ("udu", ("a",), [(np.float64, 2)]),
    ("bidiagonalize", ("a",), [(np.float64, 2)]),
]


def valid_argument(dtype, rank):
    """A small well-formed input of the given type and rank (any rank: 2):
    square, symmetric positive definite, so every function accepts it."""
    matrix = (np.ones((3, 3)) + 3 * np.eye(3)).astype(dtype)
    if rank == 1:
        return np.arange(1, 4, dtype=dtype)
    if rank == 3:
        return np.stack([matrix, matrix])
    return matrix


def valid_arguments(name):
    for function, _, arrays in FUNCTIONS:
        if function == name:
            return [valid_argument(dtype, rank) for dtype, rank in arrays]
    raise KeyError(name)

