"""kavo_python from typed code: the stubs give each function precise NumPy
array types, so mypy checks element types at the call and knows the result
types (`mypy examples/` runs in `make test`)."""

import numpy as np
from numpy.typing import NDArray

import kavo_python as kp


def solve_spd(a: NDArray[np.float64], b: NDArray[np.float64]) -> NDArray[np.float64]:
    """x with a @ x == b for a symmetric positive-definite a."""
    return kp.cholesky_solve(a, b)


def main() -> None:
    a: NDArray[np.float64] = np.array([[4.0, 2.0], [2.0, 5.0]])
    x = solve_spd(a, np.array([6.0, 7.0]))
    q, r, perm = kp.col_piv_qr(a)
    order: NDArray[np.uint64] = perm
    size: float = kp.norm(a, "fro")
    total: float = kp.sum(np.ones((2, 3), np.float32))
    product: NDArray[np.float32] = kp.matmul(np.ones((2, 3), np.float32), np.ones((3, 2), np.float32))
    print(kp.__version__, x, q.shape, r.shape, order, size, total, product.shape)


if __name__ == "__main__":
    main()
