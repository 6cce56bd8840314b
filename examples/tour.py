"""A tour of kavo_python: every available function on a realistic input,
checked against NumPy/SciPy, with its speed relative to that reference.

    max error   largest absolute difference from the reference, relative to
                the reference's largest magnitude
    time ratio  kavo_python time / reference time (below 1: kavo_python faster)
"""

import sys
import time

import numpy as np
import scipy.linalg

import kavo_python as kp

rng = np.random.default_rng(7)


def spd(n):
    m = rng.standard_normal((n, n))
    return m @ m.T + n * np.eye(n)


def seconds_per_call(call, minimum=0.05):
    call()
    loops, elapsed = 1, 0.0
    while elapsed < minimum:
        start = time.perf_counter()
        for _ in range(loops):
            call()
        elapsed = time.perf_counter() - start
        loops *= 2
    return elapsed / (loops // 2)


def relative_error(result, reference):
    result, reference = np.asarray(result), np.asarray(reference)
    scale = max(np.abs(reference).max(initial=0.0), np.finfo(float).tiny)
    return float(np.abs(result - reference).max(initial=0.0) / scale)


F64_SPD = spd(300)
F64_RHS = rng.standard_normal(300)

# name: (kavo call, reference call)
TOUR = {
    "cholesky": (lambda: kp.cholesky(F64_SPD), lambda: np.linalg.cholesky(F64_SPD)),
    "cholesky_solve": (
        lambda: kp.cholesky_solve(F64_SPD, F64_RHS),
        lambda: scipy.linalg.cho_solve(scipy.linalg.cho_factor(F64_SPD, lower=True), F64_RHS),
    ),
    "cholesky_inv": (lambda: kp.cholesky_inv(F64_SPD), lambda: np.linalg.inv(F64_SPD)),
}


def main():
    print(f"kavo_python tour: {len(kp.__all__)} functions; inputs 300 x 300 float64 unless noted\n")
    print(f"{'function':<16} {'max error':>10} {'time ratio':>11}")
    shown = 0
    for name in kp.__all__:
        if name not in TOUR:
            continue
        kavo_call, reference_call = TOUR[name]
        try:
            result = kavo_call()
        except NotImplementedError:
            continue
        error = relative_error(result, reference_call())
        ratio = seconds_per_call(kavo_call) / seconds_per_call(reference_call)
        print(f"{name:<16} {error:10.1e} {ratio:11.2f}")
        shown += 1
    missing = [name for name in kp.__all__ if name not in TOUR]
    print(f"\n{shown} functions shown; not built yet: {', '.join(missing) if missing else 'none'}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
