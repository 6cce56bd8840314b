"""cholesky, cholesky_solve and cholesky_inv against NumPy/SciPy."""

import numpy as np
import scipy.linalg

import kavo_python as kp
from spread import run_cases_with_spread


def spd(n, rng):
    m = rng.standard_normal((n, n))
    return m @ m.T + n * np.eye(n)


def cases():
    rng = np.random.default_rng(1)
    for n in (10, 64, 100, 500, 1000):
        a = spd(n, rng)
        b = rng.standard_normal(n)
        size = f"{n} x {n}"
        yield "cholesky", size, lambda a=a: kp.cholesky(a), lambda a=a: np.linalg.cholesky(a)
        yield (
            "cholesky_solve",
            size,
            lambda a=a, b=b: kp.cholesky_solve(a, b),
            lambda a=a, b=b: scipy.linalg.cho_solve(scipy.linalg.cho_factor(a, lower=True), b),
        )
        yield "cholesky_inv", size, lambda a=a: kp.cholesky_inv(a), lambda a=a: np.linalg.inv(a)


def run():
    run_cases_with_spread("Cholesky (reference: numpy.linalg.cholesky, scipy cho_factor + cho_solve, numpy.linalg.inv)", cases())


if __name__ == "__main__":
    run()
