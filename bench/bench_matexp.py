"""matexp (degree-6 Padé, scaling and squaring) against scipy.linalg.expm
(Al-Mohy & Higham, degrees up to 13)."""

import numpy as np
import scipy.linalg

import kavo_python as kp
from harness import run_cases


def cases():
    rng = np.random.default_rng(7)
    for n in (8, 50, 200, 500):
        a = rng.standard_normal((n, n)) / np.sqrt(n)
        yield "matexp", f"{n} x {n}", lambda a=a: kp.matexp(a), lambda a=a: scipy.linalg.expm(a)


def run():
    run_cases("Matrix exponential (reference: scipy.linalg.expm)", cases())


if __name__ == "__main__":
    run()
