"""full_piv_lu against scipy.linalg.lu, the nearest SciPy routine.

scipy.linalg.lu is LAPACK's partial-pivoting DGETRF: blocked, through
parallel matrix products. Complete pivoting must search the whole trailing
block at every step, so it cannot be blocked and is memory-bound; the ratio
shows what that costs, not a like-for-like race.
"""

import numpy as np
import scipy.linalg

import kavo_python as kp
from spread import run_cases_with_spread


def cases():
    rng = np.random.default_rng(5)
    for n in (10, 100, 500, 1000):
        a = rng.standard_normal((n, n))
        yield "full_piv_lu", f"{n} x {n}", lambda a=a: kp.full_piv_lu(a), lambda a=a: scipy.linalg.lu(a)


def run():
    run_cases_with_spread("Full-pivoting LU (reference: scipy.linalg.lu, partial pivoting)", cases())


if __name__ == "__main__":
    run()
