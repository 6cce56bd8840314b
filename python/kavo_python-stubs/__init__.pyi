"""Fast dense numerics over NumPy arrays.

float32 elementwise operations, reductions and matrix products; float64
factorizations, decompositions and matrix functions.

Every function takes C-contiguous NumPy arrays of exactly the element type
and number of dimensions it names: nothing is converted or copied on the
way in. Every parameter may be given by position or by keyword.

Errors common to all functions:

- `TypeError("argument 'a': 'ndarray' object cannot be converted to
  'PyArray<T, D>'")` for an argument of the wrong type, element type or
  number of dimensions (`'list'`, `'int'`, ... for other objects).
- `ValueError("a must be C-contiguous")` (or `b`) for a strided view,
  a transpose or a Fortran-ordered array; `numpy.ascontiguousarray` gives
  an accepted copy.
- `ValueError` with a layout error's text, e.g. `"Shape mismatch: lhs
  [2, 3], rhs [2, 2]"` for a non-square matrix where a square one is
  needed.
- `numpy.linalg.LinAlgError` (a `ValueError`) for a numerical failure
  of a factorization, with the same text as the `ValueError` would have.

Every error raised from bad input carries a note (PEP 678, shown in the
traceback) with the types or shapes given and the fix when there is one,
for example `a.astype(numpy.float32)`, `numpy.ascontiguousarray(a)` or
`b.reshape(1, -1)` for a row bias.

Large calls also run on a pool of worker threads; threadpoolctl lists it
(`user_api` "kavo_python") and `threadpool_limits` limits how many threads
one call uses.

Each function says its cost and, where it differs from NumPy's or
SciPy's, its measured speed and accuracy (the README's "Costs and
accuracy" table gathers them; n*eps*||A|| residuals use eps = 2**-52).

Import the module as `import kavo_python as kp`: `__all__` lists
`sum`, so `from kavo_python import *` would shadow the builtin.
"""

import numpy as np
from numpy.typing import NDArray

__all__ = [
    "add",
    "sub",
    "mul",
    "div",
    "dot",
    "sum",
    "matmul",
    "batched_matmul",
    "sum_dyn",
    "det",
    "inv",
    "solve",
    "cholesky",
    "cholesky_solve",
    "cholesky_inv",
    "qr",
    "col_piv_qr",
    "svd",
    "symmetric_eigen",
    "singular_values",
    "norm",
    "schur",
    "bunch_kaufman",
    "matexp",
    "kron",
    "trace",
    "hessenberg",
    "eigenvalues",
    "full_piv_lu",
    "udu",
    "bidiagonalize",
]

__version__: str

def add(a: NDArray[np.float32], b: NDArray[np.float32]) -> NDArray[np.float32]:
    """Elementwise sum `a + b` of float32 matrices, as a new float32 matrix.

    `a` and `b`: C-contiguous float32 arrays with 2 dimensions.
    Broadcasting is one-sided: `b` may have extent 1 on an axis where
    `a` has any extent, and the result has `a`'s shape; `a` is never
    stretched.

    Raises `ValueError("Incompatible broadcast: from [1, 4] to [3, 1]")`
    (shape of `b`, then shape of `a`) when `b` cannot be broadcast to
    `a`; `TypeError`/`ValueError` for arguments as in the module
    documentation.

    Cost: one pass over the elements (on the worker pool when large), the
    same bits as NumPy. Every call makes a new result (no `out=`), so a
    chain such as `kp.mul(kp.add(x, y), y)` makes one more large result
    than NumPy's `(x + y) * y`, which reuses its temporary.

    >>> kp.add(np.ones((2, 3), np.float32), np.arange(3, dtype=np.float32)[None, :])
    array([[1., 2., 3.],
           [1., 2., 3.]], dtype=float32)
    """

def sub(a: NDArray[np.float32], b: NDArray[np.float32]) -> NDArray[np.float32]:
    """Elementwise difference `a - b` of float32 matrices.

    Arguments, one-sided broadcasting and errors as for `add`:
    `sub(b, a)` with `b` of shape (1, 3) and `a` of shape (2, 3) raises
    `ValueError("Incompatible broadcast: from [2, 3] to [1, 3]")`.

    Cost: one pass over the elements (on the worker pool when large), the
    same bits as NumPy. Every call makes a new result (no `out=`), so a
    chain such as `kp.mul(kp.add(x, y), y)` makes one more large result
    than NumPy's `(x + y) * y`, which reuses its temporary.

    >>> kp.sub(np.full((2, 2), 3, np.float32), np.ones((1, 2), np.float32))
    array([[2., 2.],
           [2., 2.]], dtype=float32)
    """

def mul(a: NDArray[np.float32], b: NDArray[np.float32]) -> NDArray[np.float32]:
    """Elementwise product `a * b` of float32 matrices (not a matrix product).

    Arguments, one-sided broadcasting and errors as for `add`.

    Cost: one pass over the elements (on the worker pool when large), the
    same bits as NumPy. Every call makes a new result (no `out=`), so a
    chain such as `kp.mul(kp.add(x, y), y)` makes one more large result
    than NumPy's `(x + y) * y`, which reuses its temporary.

    >>> kp.mul(np.full((2, 2), 3, np.float32), np.full((2, 2), 2, np.float32))
    array([[6., 6.],
           [6., 6.]], dtype=float32)
    """

def div(a: NDArray[np.float32], b: NDArray[np.float32]) -> NDArray[np.float32]:
    """Elementwise quotient `a / b` of float32 matrices (IEEE division:
    a zero divisor gives an infinity or NaN, not an error).

    Arguments, one-sided broadcasting and errors as for `add`.

    Cost: one pass over the elements (on the worker pool when large), the
    same bits as NumPy. Every call makes a new result (no `out=`), so a
    chain such as `kp.mul(kp.add(x, y), y)` makes one more large result
    than NumPy's `(x + y) * y`, which reuses its temporary.

    >>> kp.div(np.full((1, 2), 3, np.float32), np.full((1, 2), 2, np.float32))
    array([[1.5, 1.5]], dtype=float32)
    """

def dot(a: NDArray[np.float32], b: NDArray[np.float32]) -> float:
    """Inner product `sum(a[i] * b[i])` of two float32 vectors, accumulated
    in float32 and returned as a Python float.

    `a` and `b`: C-contiguous float32 arrays with 1 dimension.

    Raises `ValueError("Shape mismatch: lhs [3], rhs [4]")` when the
    lengths differ.

    Cost: one pass. Accumulates in float32 lanes like NumPy's float32 `dot`
    (BLAS): both have a relative error of 1.5e-3 on 10**7 products 0.1 * 1;
    use float64 copies when that matters.

    >>> kp.dot(np.ones(3, np.float32), np.arange(3, dtype=np.float32))
    3.0
    """

def sum(a: NDArray[np.float32]) -> float:
    """Sum of all elements of a float32 matrix, accumulated in float32 and
    returned as a Python float (0.0 for an empty matrix).

    `a`: a C-contiguous float32 array with 2 dimensions.

    Cost: one pass, 2-8x faster than `numpy.sum`. Accuracy: the elements go
    into a fixed number of float32 lanes (64 with AVX-512, 32 with AVX2, 16
    otherwise), not pairwise as in NumPy, so on many values of one sign the
    error grows like (n / lanes) * 2**-24: 10**7 copies of 0.1 sum with a
    relative error of 1.5e-3 where `numpy.sum` gives 1e-7. Use
    `numpy.sum(a, dtype=numpy.float64)` when that matters.

    >>> kp.sum(np.ones((2, 3), np.float32))
    6.0
    """

def matmul(a: NDArray[np.float32], b: NDArray[np.float32]) -> NDArray[np.float32]:
    """Matrix product of float32 matrices: (m, k) @ (k, n) -> (m, n).

    `a` and `b`: C-contiguous float32 arrays with 2 dimensions. Large
    products run on the worker pool.

    Raises `ValueError("Dimension mismatch for matrix multiplication")`
    when `a`'s column count differs from `b`'s row count.

    Cost: 2*m*n*k flops, blocked, on the worker pool; 0.9-1.2x
    `numpy.matmul` from 256 up. Its float32 sums run along k in order: on
    positive entries with k = 2048 the largest relative error is 2.9e-6
    against NumPy's 6.4e-7 (equal at k = 64).

    >>> kp.matmul(np.ones((2, 3), np.float32), np.ones((3, 1), np.float32))
    array([[3.],
           [3.]], dtype=float32)
    """

def batched_matmul(a: NDArray[np.float32], b: NDArray[np.float32]) -> NDArray[np.float32]:
    """Batched matrix multiply over 3D arrays `[batch, m, k] @ [batch, k, n] -> [batch, m, n]`.

    A batch dimension of 1 on either operand broadcasts. Mirrors
    `numpy.matmul` on 3D inputs.

    `a` and `b`: C-contiguous float32 arrays with 3 dimensions.

    Raises `ValueError("Inner dimension mismatch for batched matmul")`
    when `a.shape[2] != b.shape[1]`, and
    `ValueError("Shape mismatch: lhs [2, 2, 3], rhs [3, 3, 5]")` when the
    batch sizes are neither equal nor 1.

    Cost: 2*m*n*k flops per matrix. Small compact matrices (every side 2 to
    16) run through one register loop: 10 000 products of 4-by-4 take 0.4x
    `numpy.matmul`'s time; larger ones pay a fixed cost per matrix, 64 of
    128-by-128 1.05x.

    >>> kp.batched_matmul(np.ones((1, 2, 3), np.float32), np.ones((4, 3, 5), np.float32)).shape
    (4, 2, 5)
    """

def sum_dyn(a: NDArray[np.float32]) -> float:
    """Sum of all elements of a float32 array with 1 to 6 dimensions,
    accumulated in float32 (for a matrix: the same bits as `sum`).

    `a`: a C-contiguous float32 array of any shape with 1 to 6 dimensions.

    Raises `ValueError("array rank 7 exceeds the supported dynamic-dispatch
    rank 6")` for 0 or more than 6 dimensions (`rank 0` for a 0-d array).

    Cost: one pass, 2-8x faster than `numpy.sum`. Accuracy: the elements go
    into a fixed number of float32 lanes (64 with AVX-512, 32 with AVX2, 16
    otherwise), not pairwise as in NumPy, so on many values of one sign the
    error grows like (n / lanes) * 2**-24: 10**7 copies of 0.1 sum with a
    relative error of 1.5e-3 where `numpy.sum` gives 1e-7. Use
    `numpy.sum(a, dtype=numpy.float64)` when that matters.

    >>> kp.sum_dyn(np.ones((2, 2, 2), np.float32))
    8.0
    """

def det(a: NDArray[np.float64]) -> float:
    """Determinant of a square float64 matrix, from LU with partial pivoting.

    `a`: a C-contiguous float64 array with 2 dimensions, square. A
    singular matrix (an exactly zero pivot column) gives 0.0, not an error.

    Raises `ValueError("Shape mismatch: lhs [2, 3], rhs [2, 2]")` for a
    non-square matrix and `ValueError("Storage error: LU input contains a
    non-finite value")` for NaN or infinity.

    Cost: 2n**3/3 flops, blocked, updates on the worker pool; as accurate
    as NumPy's; 1.0-1.6x `numpy.linalg.det` at n = 1000-2000, faster below.

    >>> kp.det(np.array([[2.0, 1.0], [1.0, 3.0]]))
    5.0
    """

def inv(a: NDArray[np.float64]) -> NDArray[np.float64]:
    """Inverse of a square float64 matrix, from LU with partial pivoting.

    `a`: a C-contiguous float64 array with 2 dimensions, square. A nearly
    singular matrix gives large entries (no condition estimate is made).

    Raises `numpy.linalg.LinAlgError("Storage error: LU pivot column 1 is
    exactly zero: matrix is singular")` for a singular matrix,
    `ValueError("Shape mismatch: lhs [2, 3], rhs [2, 2]")` for a
    non-square one, `ValueError("Storage error: LU input contains a
    non-finite value")` for NaN or infinity.

    Cost: 2n**3 flops, blocked, updates on the worker pool; as accurate as
    NumPy's; 1.3-1.65x `numpy.linalg.inv` at n = 1000-2000, faster below.

    >>> kp.inv(np.array([[2.0, 0.0], [0.0, 4.0]]))
    array([[0.5 , 0.  ],
           [0.  , 0.25]])
    """

def solve(a: NDArray[np.float64], b: NDArray[np.float64]) -> NDArray[np.float64]:
    """Solution `x` of `a @ x = b` for a square float64 matrix and one
    right-hand-side vector, by LU with partial pivoting.

    `a`: a C-contiguous float64 array with 2 dimensions, square; `b`: a
    C-contiguous float64 array with 1 dimension of length n.

    Raises `numpy.linalg.LinAlgError("Storage error: LU pivot column 0 is
    exactly zero: matrix is singular")` for a singular matrix;
    `ValueError("Shape mismatch: lhs [3], rhs [2]")` (length of `b`,
    then n) and the errors of `inv`.

    Cost: 2n**3/3 flops, blocked, updates on the worker pool; as accurate
    as NumPy's; 1.1-1.6x `numpy.linalg.solve` at n = 1000-2000, faster
    below.

    >>> kp.solve(np.array([[2.0, 0.0], [0.0, 4.0]]), np.array([1.0, 1.0]))
    array([0.5 , 0.25])
    """

def cholesky(a: NDArray[np.float64]) -> NDArray[np.float64]:
    """Lower-triangular Cholesky factor `L` of a symmetric positive-definite
    float64 matrix, `a == L @ L.T` (zeros above the diagonal).

    `a`: a C-contiguous float64 array with 2 dimensions, square. Only the
    lower triangle is read for the factor; the whole matrix is checked for
    NaN and infinity.

    Raises `numpy.linalg.LinAlgError("Storage error: Cholesky pivot 1 is
    non-positive: matrix is not positive-definite")` (row of the failing
    pivot), `ValueError("Shape mismatch: lhs [2, 3], rhs [2, 2]")` for a
    non-square matrix, `ValueError("Storage error: Cholesky input contains
    a non-finite value")`.

    Cost: n**3/3 flops on the calling thread; as accurate as NumPy's; level
    with `numpy.linalg.cholesky` at 1000, faster below.

    >>> kp.cholesky(np.array([[4.0, 2.0], [2.0, 5.0]]))
    array([[2., 0.],
           [1., 2.]])
    """

def cholesky_solve(a: NDArray[np.float64], b: NDArray[np.float64]) -> NDArray[np.float64]:
    """Solve `A x = b` for symmetric positive-definite `A` via its Cholesky factor.

    `a`: a C-contiguous float64 array with 2 dimensions, square; `b`: a
    C-contiguous float64 array with 1 dimension of length n (not screened
    for NaN).

    Raises the errors of `cholesky` and `ValueError("Shape mismatch: lhs
    [3], rhs [2]")` (length of `b`, then n).

    Cost: n**3/3 flops on the calling thread; 1.15x SciPy's `cho_factor` +
    `cho_solve` at 1000, faster below.

    >>> kp.cholesky_solve(np.array([[4.0, 2.0], [2.0, 5.0]]), np.array([6.0, 7.0]))
    array([1., 1.])
    """

def cholesky_inv(a: NDArray[np.float64]) -> NDArray[np.float64]:
    """Inverse of a symmetric positive-definite matrix via its Cholesky factor.

    `a`: a C-contiguous float64 array with 2 dimensions, square.

    Raises the errors of `cholesky`.

    Cost: n**3 flops, the solves spread over the worker pool from n = 128:
    1.07x `numpy.linalg.inv` at 1000, faster below.

    >>> kp.cholesky_inv(np.array([[4.0, 0.0], [0.0, 2.0]]))
    array([[0.25, 0.  ],
           [0.  , 0.5 ]])
    """

def qr(a: NDArray[np.float64]) -> tuple[NDArray[np.float64], NDArray[np.float64]]:
    """Householder QR of an m-by-n float64 matrix with m >= n: returns
    `(Q, R)` with Q orthogonal m-by-m (the full factor) and R m-by-n upper
    triangular, `a == Q @ R`.

    `a`: a C-contiguous float64 array with 2 dimensions, at least as many
    rows as columns.

    Raises `numpy.linalg.LinAlgError("Storage error: QR pivot column 1 has
    zero norm: matrix is rank-deficient")` when a column is exactly
    dependent on the earlier ones (`col_piv_qr` handles such matrices),
    `ValueError("Shape mismatch: lhs [2, 3], rhs [3, 3]")` for m < n,
    `ValueError("Storage error: QR input contains a non-finite value")`.

    Cost: 4/3 n**3 flops for R plus 2*m*m*n for the full m-by-m Q, and m*m
    entries of memory: for a 2000-by-20 least-squares problem Q is 30.5 MiB
    and the call takes about 90x `numpy.linalg.qr(a)` (reduced). Use
    `numpy.linalg.qr(a)` or `numpy.linalg.lstsq` for tall matrices.

    >>> q, r = kp.qr(np.array([[3.0], [4.0]]))
    >>> r
    array([[-5.],
           [ 0.]])
    """

def col_piv_qr(
    a: NDArray[np.float64],
) -> tuple[NDArray[np.float64], NDArray[np.float64], NDArray[np.uint64]]:
    """QR with column pivoting, `a[:, perm] == Q @ R`: returns
    `(Q, R, perm)` with Q orthogonal m-by-m, R m-by-n upper triangular
    with non-increasing diagonal magnitudes, perm a uint64 vector of length
    n. Any shape is accepted; a rank-deficient or zero matrix is not an
    error. Matrices near the ends of the float64 range are factored in a
    safe power-of-two scale.

    `a`: a C-contiguous float64 array with 2 dimensions.

    Raises `ValueError("Storage error: ColPivQR input contains a non-finite
    value")`, `ValueError("Arithmetic overflow in layout calculations: R
    entry exceeds the scalar range")` and the scaling refusal
    `ValueError("Arithmetic overflow in layout calculations: the matrix
    order exceeds the scalar's exponent range: its bounded intermediates
    cannot be kept finite")`.

    Cost: as `qr` (full m-by-m Q); 0.4x `scipy.linalg.qr(a, pivoting=True)`
    at 100, 1.6x at 1000. Accuracy: the stop at the first column norm below
    1e-12 of the largest leaves the rest partly reduced, so on
    ill-conditioned or graded input `a[:, perm] == Q @ R` holds only to
    about 1e-12 * ||A|| (measured up to 4e-13 * ||A||, 34-148 n*eps*||A||,
    where LAPACK's dgeqp3 gives 0.34 at most); rows graded 1e-20 to 1e20
    stop at rank 3 of 10. Use `scipy.linalg.qr(a, pivoting=True)` when the
    residual matters.

    >>> q, r, perm = kp.col_piv_qr(np.array([[1.0, 3.0], [0.0, 4.0]]))
    >>> perm
    array([1, 0], dtype=uint64)
    """

def svd(
    a: NDArray[np.float64],
) -> tuple[NDArray[np.float64], NDArray[np.float64], NDArray[np.float64]]:
    """Thin singular value decomposition: returns `(U, S, Vt)` with
    k = min(m, n), U m-by-k, S the k singular values (non-increasing, >= 0)
    and Vt k-by-n, `a == U @ np.diag(S) @ Vt` to rounding.

    `a`: a C-contiguous float64 array with 2 dimensions, not empty.

    Raises `numpy.linalg.LinAlgError("Storage error: bidiagonal SVD QR
    failed to converge")`, `ValueError("Shape mismatch: lhs [0, 3], rhs
    [1, 3]")` for an empty matrix, `ValueError("Storage error: SVD input
    contains a non-finite value")`, `ValueError("Arithmetic overflow in
    layout calculations: singular value exceeds the scalar range")` and the
    scaling refusals (`"Arithmetic overflow in layout calculations: the
    matrix order exceeds the scalar's exponent range: ..."`).

    Cost: U is accumulated in full (m-by-m) before k columns are kept:
    2.3-2.8x `numpy.linalg.svd(a, full_matrices=False)` at 500-1000 square,
    3.3-4.8x at 2000-by-200, 8x at 2000-by-20. For a tall matrix use
    NumPy's reduced SVD, or `q, r = np.linalg.qr(a)`, then `kp.svd(r)` and
    `q @ u`. As accurate as NumPy's.

    >>> u, s, vt = kp.svd(np.array([[3.0, 0.0], [0.0, -4.0]]))
    >>> s
    array([4., 3.])
    """

def symmetric_eigen(a: NDArray[np.float64]) -> tuple[NDArray[np.float64], NDArray[np.float64]]:
    """Eigenvalues and eigenvectors of a symmetric float64 matrix (Jacobi):
    returns `(w, V)` with w ascending and column j of V the unit
    eigenvector for w[j], `a @ V == V @ np.diag(w)` to rounding.

    `a`: a C-contiguous float64 array with 2 dimensions, square and
    symmetric to within (n + 2) * 2**-52 * ||a||_F.

    Raises `numpy.linalg.LinAlgError("Solver did not converge after ...
    iterations (residual ..., tolerance ...)")`,
    `ValueError("Shape mismatch: lhs [2, 3], rhs [2, 2]")`,
    `ValueError("Invalid input: symmetric eigensolver input has a
    non-finite entry at (0, 1)")`, `ValueError("Invalid input: symmetric
    eigensolver input is not symmetric at (0, 1)")`,
    `ValueError("Arithmetic overflow in layout calculations: Jacobi
    eigensolver: an eigenvalue exceeds the scalar range")` and the scaling
    refusal.

    Cost: classical Jacobi, O(n**3) with a large constant: 1.6x
    `numpy.linalg.eigh` at n = 8, 10x at 50, 39x at 200, 95x at 500; use
    `eigh` beyond a few dozen rows. Accuracy: like `eigh` on ordinary
    matrices; on graded matrices D @ M @ D the small eigenvalues are far
    more accurate than `eigh`'s when the small diagonal entries come first
    or in no order (8e-16 and 2e-10 relative at a span of 1e-20, where
    `eigh` has no correct digit), but less when the large ones come first
    (3e-9 against 7e-14).

    >>> w, v = kp.symmetric_eigen(np.array([[2.0, 1.0], [1.0, 2.0]]))
    >>> w
    array([1., 3.])
    """

def singular_values(a: NDArray[np.float64]) -> NDArray[np.float64]:
    """The min(m, n) singular values of a float64 matrix, non-increasing
    (no vectors are formed).

    `a`: a C-contiguous float64 array with 2 dimensions, not empty.

    Raises the errors of `svd`.

    Cost: about 4mn**2 - 4n**3/3 flops, no vectors: level with NumPy's `svd(a,
    compute_uv=False)` at 100, 1.4-1.7x at 1000, 1.1-1.6x at 2000-by-200. As accurate
    as NumPy's.

    >>> kp.singular_values(np.array([[3.0, 0.0], [0.0, -4.0]]))
    array([4., 3.])
    """

def norm(a: NDArray[np.float64], ord: str | None = None) -> float:
    """Entrywise norm of a float64 matrix.

    `ord`: None, `"fro"`, `"2"` or `"l2"`: square root of the sum of
    squares of all entries; `"max"` or `"inf"`: largest magnitude;
    `"1"` or `"l1"`: sum of magnitudes. These are entrywise orders:
    `"2"`, `"inf"` and `"1"` differ from `numpy.linalg.norm`'s matrix
    norms. No rescaling: `"fro"` of entries near 1e200 is `inf`.

    `a`: a C-contiguous float64 array with 2 dimensions.

    Raises `ValueError("Unsupported norm order: nuc")` for any other
    string, `TypeError("argument 'ord': 'int' object cannot be converted to
    'PyString'")` for an `ord` that is not a str or None.

    Cost: one pass; `"max"` and `"l1"` 4-8x faster than NumPy's, `"fro"`
    1.9-2.8x NumPy's `norm(a, "fro")` at 1000-2000.

    >>> kp.norm(np.array([[3.0, -4.0]]), "1")
    7.0
    """

def schur(a: NDArray[np.float64]) -> tuple[NDArray[np.float64], NDArray[np.float64]]:
    """Real Schur form `a == Q @ T @ Q.T`: returns `(Q, T)` with Q
    orthogonal and T upper quasi-triangular (each 2-by-2 diagonal block a
    standardized complex-conjugate pair, every other subdiagonal entry 0).

    `a`: a C-contiguous float64 array with 2 dimensions, square.

    Raises `numpy.linalg.LinAlgError("Solver did not converge after ...
    iterations (residual ..., tolerance ...)")`, `ValueError("Shape
    mismatch: lhs [3, 2], rhs [3, 3]")`, `ValueError("Storage error:
    Hessenberg input contains a non-finite value")`,
    `ValueError("Arithmetic overflow in layout calculations: Schur form
    entry exceeds the scalar range")` and the scaling refusals.

    Cost: O(n**3) (Hessenberg reduction, then Francis double-shift steps);
    as accurate as LAPACK's; 0.6x `scipy.linalg.schur` at 100, 2.1x at 500, 2.6x at 1000.

    >>> q, t = kp.schur(np.array([[0.0, -1.0], [1.0, 0.0]]))
    """

def bunch_kaufman(
    a: NDArray[np.float64],
) -> tuple[NDArray[np.float64], NDArray[np.float64], NDArray[np.uint64]]:
    """Symmetric indefinite factorization with Bunch-Kaufman pivoting:
    returns `(L, D, perm)` with L unit lower triangular, D block diagonal
    (1-by-1 and 2-by-2 blocks) and perm a uint64 vector, such that
    `a[np.ix_(perm, perm)] == L @ D @ L.T`.

    `a`: a C-contiguous float64 array with 2 dimensions, square and
    symmetric to within 1e-9 times its largest magnitude.

    Raises `numpy.linalg.LinAlgError("Storage error: Bunch-Kaufman
    encountered a singular 2x2 pivot")`, `ValueError("Shape mismatch: lhs
    [2, 3], rhs [2, 2]")`, `ValueError("Storage error: Bunch-Kaufman
    requires a symmetric matrix")`, `ValueError("Storage error:
    Bunch-Kaufman input contains a non-finite value")`.

    Cost: n**3/3 flops, unblocked, each step's update split over the worker
    pool on large matrices; 0.13x `scipy.linalg.ldl` at 100, 1.9x at 1000.

    >>> l, d, perm = kp.bunch_kaufman(np.array([[0.0, 1.0], [1.0, 0.0]]))
    >>> d
    array([[0., 1.],
           [1., 0.]])
    """

def matexp(a: NDArray[np.float64]) -> NDArray[np.float64]:
    """Matrix exponential exp(a) of a square float64 matrix (scaling and
    squaring with a Pade approximant). A large positive spectrum can
    overflow to infinities without an error.

    `a`: a C-contiguous float64 array with 2 dimensions, square.

    Raises `ValueError("Shape mismatch: lhs [2, 3], rhs [2, 2]")`,
    `ValueError("Storage error: matrix exponential requires finite
    entries")`, `ValueError("Storage error: matrix exponential scaling
    exponent overflow")` for a norm at or above about 2**1023.

    Cost: O(n**3); within 1e-13 of `scipy.linalg.expm`; level with it up to
    200-by-200, 1.4x at 500.

    >>> kp.matexp(np.zeros((2, 2)))
    array([[1., 0.],
           [0., 1.]])
    """

def kron(a: NDArray[np.float64], b: NDArray[np.float64]) -> NDArray[np.float64]:
    """Kronecker product of float64 matrices: shape (p*r, q*s) for a (p, q)
    and b (r, s). A zero entry of `a` gives an exact +0.0 block, even
    against infinities in `b`.

    `a` and `b`: C-contiguous float64 arrays with 2 dimensions, any
    shapes including empty ones.

    Raises `ValueError("Arithmetic overflow in layout calculations:
    kronecker output element count")` (or `row count`, `column count`)
    when the result size overflows.

    Cost: one write per entry of the result; 0.5x `numpy.kron`.

    >>> kp.kron(np.eye(2), np.ones((1, 2)))
    array([[1., 1., 0., 0.],
           [0., 0., 1., 1.]])
    """

def trace(a: NDArray[np.float64]) -> float:
    """Sum of the diagonal of a square float64 matrix.

    `a`: a C-contiguous float64 array with 2 dimensions, square.

    Raises `ValueError("Shape mismatch: lhs [2, 3], rhs [2, 2]")` for a
    non-square matrix.

    Cost: O(n).

    >>> kp.trace(np.eye(3))
    3.0
    """

def hessenberg(a: NDArray[np.float64]) -> tuple[NDArray[np.float64], NDArray[np.float64]]:
    """Hessenberg reduction `A = Q H Qᵀ`. Returns `(Q, H)`.

    Q is orthogonal and H is zero below its first subdiagonal.

    `a`: a C-contiguous float64 array with 2 dimensions, square.

    Raises `ValueError("Shape mismatch: lhs [3, 4], rhs [3, 3]")`,
    `ValueError("Storage error: Hessenberg input contains a non-finite
    value")`.

    Cost: O(n**3); as accurate as LAPACK's; 0.5x `scipy.linalg.hessenberg`
    at 100, 1.8x at 500, 2.1x at 1000.

    >>> q, h = kp.hessenberg(np.eye(3))
    """

def eigenvalues(a: NDArray[np.float64]) -> NDArray[np.complex128]:
    """Eigenvalues of a general real matrix, returned as a complex vector.

    In the order of the diagonal blocks of the real Schur form, top to
    bottom; a complex pair is listed as (re + im j) then (re - im j).

    `a`: a C-contiguous float64 array with 2 dimensions, square.

    Raises the errors of `schur`, with `ValueError("Arithmetic overflow in
    layout calculations: eigenvalue exceeds the scalar range")` in place of
    the Schur form entry overflow.

    Cost: as `schur`; eigenvalues within 8e-15 * ||A|| of NumPy's at 500;
    1.3x `numpy.linalg.eigvals` at 500, 2.1x at 1000, faster at 100.

    >>> kp.eigenvalues(np.array([[0.0, -1.0], [1.0, 0.0]]))
    array([0.+1.j, 0.-1.j])
    """

def full_piv_lu(
    a: NDArray[np.float64],
) -> tuple[NDArray[np.float64], NDArray[np.float64], NDArray[np.uint64], NDArray[np.uint64]]:
    """Full-pivoting LU: returns `(L, U, row_perm, col_perm)`.

    `a[np.ix_(row_perm, col_perm)] == L @ U` with L unit lower triangular
    and U upper triangular; the elimination stops at the first negligible
    pivot (below 1e-12 times the largest magnitude), so a singular matrix is
    not an error.

    `a`: a C-contiguous float64 array with 2 dimensions, square.

    Raises `ValueError("Shape mismatch: lhs [2, 3], rhs [2, 2]")`,
    `ValueError("Storage error: FullPivLU input contains a non-finite
    value")`.

    Cost: n**3/3 multiply-adds plus as many comparisons, unblocked, each
    step's update and the next pivot search in one pass split over the
    worker pool: 1.5x `scipy.linalg.lu` at 100, 3.2x at 1000. Accuracy:
    after the stop, the factors hold to about 1e-12 * ||A|| (measured up to
    1.8e-13 * ||A||, 7-34 n*eps*||A||, where LAPACK's dgetc2 gives 0.1 at
    most); rows graded 1e-20 to 1e20 stop at rank 3 of 10. Use `solve` or
    `scipy.linalg.lu` to solve.

    >>> l, u, rows, cols = kp.full_piv_lu(np.array([[1.0, 2.0], [3.0, 4.0]]))
    >>> rows, cols
    (array([1, 0], dtype=uint64), array([1, 0], dtype=uint64))
    """

def udu(a: NDArray[np.float64]) -> tuple[NDArray[np.float64], NDArray[np.float64]]:
    """Pivot-free `A = U D Uᵀ`. Returns `(U, d)` with `d` the diagonal of `D`.

    U is unit upper triangular; `a == U @ np.diag(d) @ U.T`. A matrix that
    needs pivoting is rejected (`bunch_kaufman` pivots).

    `a`: a C-contiguous float64 array with 2 dimensions, square and
    symmetric to within 1e-9 times its largest magnitude.

    Raises `numpy.linalg.LinAlgError("Storage error: UDU encountered a zero
    pivot (needs symmetric pivoting)")` for a pivot at most 1e-12 times the
    largest magnitude (the zero matrix included), `ValueError("Shape
    mismatch: lhs [2, 3], rhs [2, 2]")`, `ValueError("Storage error: UDU
    requires a symmetric matrix")`, `ValueError("Storage error: UDU input
    contains a non-finite value")`.

    Cost: n**3/3 flops, unblocked, each step's update split over the worker
    pool on large matrices: 0.3x `scipy.linalg.ldl` at 100, 1.3x at 1000. Accuracy: without pivoting the
    factors can grow on indefinite input: on random symmetric 200-by-200
    matrices the residual reached 109 n*eps*||A|| (median 7.6) with max|U|
    up to 7.5e3, where `bunch_kaufman` stays below 0.074. Use
    `bunch_kaufman` for indefinite matrices.

    >>> u, d = kp.udu(np.array([[2.0, 1.0], [1.0, 1.0]]))
    >>> d
    array([1., 1.])
    """

def bidiagonalize(
    a: NDArray[np.float64],
) -> tuple[NDArray[np.float64], NDArray[np.float64], NDArray[np.float64]]:
    """Bidiagonalization `A = U B Vᵀ`. Returns `(U, B, V)`.

    U (m-by-m) and V (n-by-n) are orthogonal; B (m-by-n) is zero except on
    its diagonal and first superdiagonal.

    `a`: a C-contiguous float64 array with 2 dimensions, m >= n.

    Raises `ValueError("Shape mismatch: lhs [2, 3], rhs [3, 3]")` for
    m < n, `ValueError("Storage error: bidiagonalization input contains a
    non-finite value")`.

    Cost: about 4mn**2 flops for B plus the full m-by-m U and n-by-n V.

    >>> u, b, v = kp.bidiagonalize(np.eye(3, 2))
    """
