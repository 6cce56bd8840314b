"""udu and bunch_kaufman against scipy.linalg.ldl (LAPACK DSYTRF, blocked
Bunch-Kaufman), the nearest symmetric LDL^T factorization SciPy offers."""

import numpy as np
import scipy.linalg

import kavo_python as kp
from spread import run_cases_with_spread


def spd(n, rng):
    m = rng.standard_normal((n, n))
    return m @ m.T + n * np.eye(n)


def indefinite(n, rng):
    m = rng.standard_normal((n, n))
    return m + m.T


def cases():
    rng = np.random.default_rng(1)
    for n in (10, 100, 500, 1000):
        size = f"{n} x {n}"
        a = spd(n, rng)
        yield "udu", size, lambda a=a: kp.udu(a), lambda a=a: scipy.linalg.ldl(a, lower=False)
        b = indefinite(n, rng)
        yield "bunch_kaufman", size, lambda b=b: kp.bunch_kaufman(b), lambda b=b: scipy.linalg.ldl(b, lower=True)


def run():
    run_cases_with_spread("Symmetric LDL^T (reference: scipy.linalg.ldl)", cases())


if __name__ == "__main__":
    run()
