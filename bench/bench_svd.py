"""svd and singular_values against numpy.linalg.svd (LAPACK dgesdd): the
reduced factors (full_matrices=False gives U m x k and Vt k x n, the shapes
kavo_python returns) and values only (compute_uv=False); medians and 90th
percentiles, square up to n = 2000, tall and wide."""

import numpy as np

import kavo_python as kp
from spread import run_cases_with_spread


def cases():
    rng = np.random.default_rng(21)
    for m, n in ((8, 8), (100, 100), (500, 500), (1000, 1000), (2000, 2000), (2000, 200), (200, 2000)):
        a = rng.standard_normal((m, n))
        size = f"{m} x {n}"
        yield "svd", size, lambda a=a: kp.svd(a), lambda a=a: np.linalg.svd(a, full_matrices=False)
        yield (
            "singular_values",
            size,
            lambda a=a: kp.singular_values(a),
            lambda a=a: np.linalg.svd(a, compute_uv=False),
        )


def run():
    run_cases_with_spread("SVD (reference: numpy.linalg.svd reduced, and compute_uv=False)", cases())


if __name__ == "__main__":
    run()
