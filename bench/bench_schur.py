"""hessenberg, schur and eigenvalues against SciPy/NumPy."""

import numpy as np
import scipy.linalg

import kavo_python as kp
from harness import run_cases


def cases():
    rng = np.random.default_rng(6)
    for n in (8, 50, 200, 500):
        a = rng.standard_normal((n, n))
        size = f"{n} x {n}"
        yield (
            "hessenberg",
            size,
            lambda a=a: kp.hessenberg(a),
            lambda a=a: scipy.linalg.hessenberg(a, calc_q=True),
        )
        yield "schur", size, lambda a=a: kp.schur(a), lambda a=a: scipy.linalg.schur(a)
        yield "eigenvalues", size, lambda a=a: kp.eigenvalues(a), lambda a=a: np.linalg.eigvals(a)


def run():
    run_cases(
        "Hessenberg and Schur (reference: scipy.linalg.hessenberg(calc_q=True), scipy.linalg.schur, "
        "numpy.linalg.eigvals)",
        cases(),
    )


if __name__ == "__main__":
    run()
