"""The parallel functions as a user meets them, not only in a tight loop.
Each case is timed in three modes, kavo_python and its NumPy/SciPy
reference alike:

  (a) back to back: the calls follow each other at once;
  (b) after an idle pause of 0.15 s before each call, so that both
      libraries' idle threads have gone to sleep;
  (c) alternating with the reference's own threaded call of the same size
      (kavo, reference, kavo, ...), as when both libraries share a program.

Rows give the median and the 90th percentile per mode, and the CPU time of
each drovek-worker thread over the mode's kavo calls (from
/proc/self/task/*/schedstat): a worker with none sat out every call.

Usage: python bench/bench_parallel_modes.py [--quick] [--case NAME ...]
"""

import os

for _name in ("OPENBLAS_CORETYPE", "OPENBLAS_L2_SIZE"):
    os.environ.pop(_name, None)

import argparse  # noqa: E402
import statistics  # noqa: E402
import time  # noqa: E402

import numpy as np  # noqa: E402
import scipy.linalg  # noqa: E402

import kavo_python as kp  # noqa: E402
from harness import format_seconds  # noqa: E402

PAUSE_SECONDS = 0.15


def worker_cpu_seconds():
    """CPU seconds so far per drovek-worker thread of this process."""
    seconds = {}
    for task in os.listdir("/proc/self/task"):
        try:
            with open(f"/proc/self/task/{task}/comm") as comm:
                name = comm.read().strip()
            if not name.startswith("drovek-worker"):
                continue
            with open(f"/proc/self/task/{task}/schedstat") as schedstat:
                seconds[name] = int(schedstat.read().split()[0]) / 1e9
        except OSError:
            continue
    return seconds


def timed(call):
    start = time.perf_counter()
    call()
    return time.perf_counter() - start


def summary(times):
    ordered = sorted(times)
    return statistics.median(ordered), ordered[int(0.9 * (len(ordered) - 1))]


def run_mode(mode, kavo_call, reference_call, calls):
    kavo_times, reference_times = [], []
    before = worker_cpu_seconds()
    kavo_cpu = dict.fromkeys(before, 0.0)
    if mode == "a":
        kavo_call()
        for _ in range(calls):
            kavo_times.append(timed(kavo_call))
        kavo_cpu = {k: v - before.get(k, 0.0) for k, v in worker_cpu_seconds().items()}
        reference_call()
        for _ in range(calls):
            reference_times.append(timed(reference_call))
        return kavo_times, reference_times, kavo_cpu
    for _ in range(calls):
        if mode == "b":
            time.sleep(PAUSE_SECONDS)
        start = worker_cpu_seconds()
        kavo_times.append(timed(kavo_call))
        for name, seconds in worker_cpu_seconds().items():
            kavo_cpu[name] = kavo_cpu.get(name, 0.0) + seconds - start.get(name, 0.0)
        if mode == "b":
            time.sleep(PAUSE_SECONDS)
        reference_times.append(timed(reference_call))
    return kavo_times, reference_times, kavo_cpu


def cases(quick):
    rng = np.random.default_rng(7)
    for n in (256, 1024) if quick else (256, 1024, 2048):
        a = rng.standard_normal((n, n), dtype=np.float32)
        b = rng.standard_normal((n, n), dtype=np.float32)
        yield "matmul", n, lambda a=a, b=b: kp.matmul(a, b), lambda a=a, b=b: np.matmul(a, b)
    if quick:
        return
    a = rng.standard_normal((1000, 1000))
    yield "det", 1000, lambda: kp.det(a), lambda: np.linalg.det(a)
    yield "qr", 1000, lambda: kp.qr(a), lambda: np.linalg.qr(a, mode="complete")
    s = rng.standard_normal((500, 500))
    yield "svd", 500, lambda: kp.svd(s), lambda: np.linalg.svd(s, full_matrices=False)


def calls_for(seconds_per_call):
    return max(9, min(41, int(1.5 / max(seconds_per_call, 1e-6))))


def run(quick=False, only=None):
    print("\n== parallel functions by mode: (a) back to back, (b) after a 0.15 s pause, (c) alternating with the reference")
    # The first five columns are those of every report (function, size, the
    # two medians, their ratio), so run_all.py records these rows alike.
    print(
        f"{'function':<9} {'size, mode':<12} {'kavo median':>12} {'ref median':>11} {'ratio':>6}"
        f" {'kavo p90':>10} {'ref p90':>10}  worker CPU per call"
    )
    for function, size, kavo_call, reference_call in cases(quick):
        if only and f"{function}{size}" not in only and function not in only:
            continue
        kavo_call()
        reference_call()
        calls = calls_for(timed(kavo_call))
        for mode in "abc":
            kavo_times, reference_times, cpu = run_mode(mode, kavo_call, reference_call, calls)
            (kavo_median, kavo_p90), (reference_median, reference_p90) = summary(kavo_times), summary(reference_times)
            workers = " ".join(f"{name[len('drovek-'):]}={format_seconds(seconds / calls).strip()}" for name, seconds in sorted(cpu.items()))
            print(
                f"{function:<9} {f'{size} mode {mode}':<12} {format_seconds(kavo_median):>12}"
                f" {format_seconds(reference_median):>11} {kavo_median / reference_median:6.2f}"
                f" {format_seconds(kavo_p90):>10} {format_seconds(reference_p90):>10}  {workers}"
            )


if __name__ == "__main__":
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--quick", action="store_true", help="matmul 256 and 1024 only")
    parser.add_argument("--case", action="append", help="only this function (matmul) or case (matmul1024)")
    arguments = parser.parse_args()
    run(arguments.quick, arguments.case)
