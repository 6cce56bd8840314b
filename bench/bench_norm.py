"""norm against numpy.linalg.norm ("fro") and the entrywise max/sum NumPy computes."""

import numpy as np

import kavo_python as kp
from harness import run_cases


def cases():
    rng = np.random.default_rng(6)
    for n in (8, 100, 1000, 2000):
        a = rng.standard_normal((n, n))
        size = f"{n} x {n}"
        yield 'norm "fro"', size, lambda a=a: kp.norm(a, "fro"), lambda a=a: np.linalg.norm(a, "fro")
        yield 'norm "max"', size, lambda a=a: kp.norm(a, "max"), lambda a=a: np.abs(a).max()
        yield 'norm "l1"', size, lambda a=a: kp.norm(a, "l1"), lambda a=a: np.abs(a).sum()


def run():
    run_cases("Entrywise norms (reference: numpy.linalg.norm 'fro', np.abs(a).max(), np.abs(a).sum())", cases())


if __name__ == "__main__":
    run()
