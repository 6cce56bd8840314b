"""det, inv and solve against numpy.linalg (LAPACK dgetrf / dgesv through OpenBLAS)."""

import numpy as np

import kavo_python as kp
from spread import run_cases_with_spread


def cases():
    rng = np.random.default_rng(3)
    for n in (3, 8, 100, 500, 1000, 2000):
        a = rng.standard_normal((n, n))
        b = rng.standard_normal(n)
        size = f"{n} x {n}"
        yield "det", size, lambda a=a: kp.det(a), lambda a=a: np.linalg.det(a)
        yield "solve", size, lambda a=a, b=b: kp.solve(a, b), lambda a=a, b=b: np.linalg.solve(a, b)
        yield "inv", size, lambda a=a: kp.inv(a), lambda a=a: np.linalg.inv(a)


def run():
    run_cases_with_spread("LU (reference: numpy.linalg.det, solve, inv)", cases())


if __name__ == "__main__":
    run()
