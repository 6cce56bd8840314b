"""qr and col_piv_qr against numpy.linalg.qr (LAPACK dgeqrf + dorgqr) and
scipy.linalg.qr with pivoting (dgeqp3 + dorgqr), both asked for the full
square Q that kavo_python returns."""

import numpy as np
import scipy.linalg

import kavo_python as kp
from spread import run_cases_with_spread


def cases():
    rng = np.random.default_rng(13)
    for m, n in ((8, 8), (100, 100), (500, 500), (1000, 1000), (2000, 200)):
        a = rng.standard_normal((m, n))
        size = f"{m} x {n}"
        yield "qr", size, lambda a=a: kp.qr(a), lambda a=a: np.linalg.qr(a, mode="complete")
        yield (
            "col_piv_qr",
            size,
            lambda a=a: kp.col_piv_qr(a),
            lambda a=a: scipy.linalg.qr(a, pivoting=True, check_finite=False),
        )


def run():
    run_cases_with_spread("QR (reference: numpy.linalg.qr complete, scipy.linalg.qr pivoting)", cases())


if __name__ == "__main__":
    run()
