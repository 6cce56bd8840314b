"""symmetric_eigen (classical Jacobi) against numpy.linalg.eigh (LAPACK
tridiagonal reduction + divide and conquer); medians and 90th percentiles."""

import numpy as np

import kavo_python as kp
from spread import run_cases_with_spread


def cases():
    rng = np.random.default_rng(6)
    for n in (8, 50, 200, 500):
        m = rng.standard_normal((n, n))
        a = m + m.T
        yield "symmetric_eigen", f"{n} x {n}", lambda a=a: kp.symmetric_eigen(a), lambda a=a: np.linalg.eigh(a)


def run():
    run_cases_with_spread("Symmetric eigensolver (reference: numpy.linalg.eigh)", cases())


if __name__ == "__main__":
    run()
