"""sum, dot and trace against NumPy at small, cache-sized and memory-sized inputs."""

import numpy as np

import kavo_python as kp
from harness import run_cases

SIZES = {  # label: element count (float32)
    "small (1 Ki)": 1 << 10,
    "cache (256 Ki)": 1 << 18,
    "memory (32 Mi)": 1 << 25,
}


def cases():
    rng = np.random.default_rng(0)
    for label, n in SIZES.items():
        matrix = rng.standard_normal((n // 1024, 1024)).astype(np.float32)
        yield "sum", label, lambda m=matrix: kp.sum(m), lambda m=matrix: np.sum(m)
    for label, n in SIZES.items():
        a = rng.standard_normal(n).astype(np.float32)
        b = rng.standard_normal(n).astype(np.float32)
        yield "dot", label, lambda a=a, b=b: kp.dot(a, b), lambda a=a, b=b: np.dot(a, b)
    for n in (10, 1000, 4000):
        a = rng.standard_normal((n, n))
        yield "trace", f"{n} x {n}", lambda a=a: kp.trace(a), lambda a=a: np.trace(a)


def run():
    run_cases("Reductions (reference: numpy.sum, numpy.dot, numpy.trace)", cases())


if __name__ == "__main__":
    run()
