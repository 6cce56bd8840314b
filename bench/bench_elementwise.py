"""add, sub, mul, div against NumPy: same shape and broadcast row/column
vectors, at small, cache-sized and memory-sized shapes."""

import numpy as np

import kavo_python as kp
from harness import run_cases

SHAPES = {"8 x 8": (8, 8), "64 x 64": (64, 64), "512 x 512": (512, 512), "4096 x 4096": (4096, 4096)}
OPERATIONS = {"add": (kp.add, np.add), "sub": (kp.sub, np.subtract), "mul": (kp.mul, np.multiply), "div": (kp.div, np.divide)}


def cases():
    rng = np.random.default_rng(0)
    for label, shape in SHAPES.items():
        a = rng.standard_normal(shape).astype(np.float32)
        operands = {
            "": rng.standard_normal(shape).astype(np.float32) + 2,
            ", b row": rng.standard_normal((1, shape[1])).astype(np.float32) + 2,
            ", b column": rng.standard_normal((shape[0], 1)).astype(np.float32) + 2,
        }
        for name, (ours, reference) in OPERATIONS.items():
            for suffix, b in operands.items():
                yield name, label + suffix, lambda f=ours, a=a, b=b: f(a, b), lambda f=reference, a=a, b=b: f(a, b)


def run():
    run_cases("Elementwise (reference: numpy.add, subtract, multiply, divide)", cases())


if __name__ == "__main__":
    run()
