"""hessenberg, schur and eigenvalues against SciPy/NumPy; medians and 90th
percentiles. schur alone goes on to n = 2000 (the others follow its cost)."""

import numpy as np
import scipy.linalg

import kavo_python as kp
from spread import run_cases_with_spread


def cases():
    rng = np.random.default_rng(6)
    for n in (8, 100, 500, 1000, 2000):
        a = rng.standard_normal((n, n))
        size = f"{n} x {n}"
        if n == 2000:
            yield "schur", size, lambda a=a: kp.schur(a), lambda a=a: scipy.linalg.schur(a)
            continue
        yield (
            "hessenberg",
            size,
            lambda a=a: kp.hessenberg(a),
            lambda a=a: scipy.linalg.hessenberg(a, calc_q=True),
        )
        yield "schur", size, lambda a=a: kp.schur(a), lambda a=a: scipy.linalg.schur(a)
        yield "eigenvalues", size, lambda a=a: kp.eigenvalues(a), lambda a=a: np.linalg.eigvals(a)


def run():
    run_cases_with_spread(
        "Hessenberg and Schur (reference: scipy.linalg.hessenberg(calc_q=True), scipy.linalg.schur, "
        "numpy.linalg.eigvals)",
        cases(),
    )


if __name__ == "__main__":
    run()
