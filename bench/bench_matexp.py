"""matexp (degree-6 Padé, scaling and squaring) against scipy.linalg.expm
(Al-Mohy & Higham, degrees up to 13); medians and 90th percentiles."""

import numpy as np
import scipy.linalg

import kavo_python as kp
from spread import run_cases_with_spread


def cases():
    rng = np.random.default_rng(7)
    # A/n: row sums near 0.8, one squaring, so the run is the Padé quotient
    # itself (its five products and the inverse) at every size.
    for n in (8, 50, 100, 200, 500, 1000):
        a = rng.standard_normal((n, n)) / n
        yield "matexp", f"{n} x {n}", lambda a=a: kp.matexp(a), lambda a=a: scipy.linalg.expm(a)


def run():
    run_cases_with_spread("Matrix exponential (reference: scipy.linalg.expm)", cases())


if __name__ == "__main__":
    run()
