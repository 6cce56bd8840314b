"""symmetric_eigen (classical Jacobi) against numpy.linalg.eigh (LAPACK
tridiagonal reduction + divide and conquer)."""

import numpy as np

import kavo_python as kp
from harness import run_cases


def cases():
    rng = np.random.default_rng(6)
    for n in (8, 50, 200, 500):
        m = rng.standard_normal((n, n))
        a = m + m.T
        yield "symmetric_eigen", f"{n} x {n}", lambda a=a: kp.symmetric_eigen(a), lambda a=a: np.linalg.eigh(a)


def run():
    run_cases("Symmetric eigensolver (reference: numpy.linalg.eigh)", cases())


if __name__ == "__main__":
    run()
