"""matmul and batched_matmul against numpy.matmul, kron against numpy.kron;
matmul also as GFLOP/s (2 m k n / time) and as a share of the machine's
float32 FMA peak.

The peak cannot be measured from Python, so it is a parameter: --peak-gflops
or KAVO_F32_PEAK_GFLOPS when given, otherwise the flops per cycle per core
of the processor's widest FMA x the clock ("cpu MHz" in /proc/cpuinfo) x
the cores this process may use: 64 with AVX-512 (2 FMA pipes x 16 float32
lanes x 2 flops per FMA), 32 with AVX2 (8 lanes). A processor with one
AVX-512 FMA pipe needs its own figure. Under a hypervisor "cpu MHz" is the nominal
clock, not the boost clock, so a share above 100% means the cores ran
faster than that: pass the real figure then.

Usage: python bench/bench_products.py [--peak-gflops GFLOPS]
"""

import os

# OpenBLAS reads these when it loads; unset, the reference runs the kernel
# and cache sizes OpenBLAS picks for this processor. (Under run_all.py,
# which does the same, numpy is already loaded by the time this runs.)
for _name in ("OPENBLAS_CORETYPE", "OPENBLAS_L2_SIZE"):
    os.environ.pop(_name, None)

import argparse  # noqa: E402

import numpy as np  # noqa: E402
import threadpoolctl  # noqa: E402

import kavo_python as kp  # noqa: E402
from harness import Report, format_seconds, measure, run_cases  # noqa: E402

PEAK_VARIABLE = "KAVO_F32_PEAK_GFLOPS"


def flops_per_cycle_per_core():
    """float32 flops per cycle per core, and the vector unit they assume."""
    try:
        with open("/proc/cpuinfo") as cpuinfo:
            flags = next((line.split(":")[1].split() for line in cpuinfo if line.startswith("flags")), [])
    except OSError:
        flags = []
    if "avx512f" in flags:
        return 64, "AVX-512: 2 FMA pipes x 16 lanes x 2"
    return 32, "AVX2: 2 FMA pipes x 8 lanes x 2"


def cpu_mhz():
    try:
        with open("/proc/cpuinfo") as cpuinfo:
            for line in cpuinfo:
                if line.startswith("cpu MHz"):
                    return float(line.split(":")[1])
    except OSError:
        pass
    return None


def float32_peak(peak_gflops=None):
    """(flops per second or None, how the figure was obtained)."""
    if peak_gflops is None and os.environ.get(PEAK_VARIABLE):
        peak_gflops = float(os.environ[PEAK_VARIABLE])
    if peak_gflops is not None:
        return peak_gflops * 1e9, f"{peak_gflops:.1f} GFLOP/s as given"
    mhz, cores = cpu_mhz(), len(os.sched_getaffinity(0))
    if mhz is None:
        return None, f"unknown (no 'cpu MHz' in /proc/cpuinfo; set {PEAK_VARIABLE} or --peak-gflops)"
    flops, unit = flops_per_cycle_per_core()
    peak = flops * mhz * 1e6 * cores
    return peak, (
        f"{peak / 1e9:.1f} GFLOP/s assumed = {flops} flops/cycle/core ({unit}) x {mhz:.0f} MHz (/proc/cpuinfo)"
        f" x {cores} cores; override with {PEAK_VARIABLE} or --peak-gflops"
    )


def reference_blas():
    """Every BLAS loaded in this process: library, version, kernel, threads."""
    loaded = [
        f"{info['internal_api']} {info['version']} {info.get('architecture', '?')} kernel, "
        f"{info['num_threads']} threads ({os.path.basename(info['filepath'])})"
        for info in threadpoolctl.threadpool_info()
        if info["user_api"] == "blas"
    ]
    return "; ".join(loaded) or "none found"


class ThroughputReport(Report):
    """Report rows followed by each side's GFLOP/s and share of the peak."""

    def __init__(self, title, peak):
        self.peak = peak
        print(f"\n== {title}")
        print(
            f"{'function':<16} {'size':<22} {'kavo_python':>12} {'reference':>12} {'ratio':>7}"
            f" {'kavo GFLOP/s':>13} {'peak':>6} {'ref GFLOP/s':>12} {'peak':>6}"
        )

    def share(self, rate):
        return f"{100 * rate / self.peak:5.1f}%" if self.peak else f"{'-':>6}"

    def throughput_row(self, function, size, flops, kavo_seconds, reference_seconds):
        kavo_rate, reference_rate = flops / kavo_seconds, flops / reference_seconds
        print(
            f"{function:<16} {size:<22} {format_seconds(kavo_seconds):>12} "
            f"{format_seconds(reference_seconds):>12} {kavo_seconds / reference_seconds:7.2f}"
            f" {kavo_rate / 1e9:13.1f} {self.share(kavo_rate)}"
            f" {reference_rate / 1e9:12.1f} {self.share(reference_rate)}"
        )


def float32_matrix(shape, rng):
    return rng.standard_normal(shape, dtype=np.float32)


# (m, k, n, timed batches): fewer batches where one call takes a second.
MATMUL_SIZES = [
    (8, 8, 8, 7),
    (64, 64, 64, 7),
    (256, 256, 256, 7),
    (1024, 1024, 1024, 7),
    (2048, 2048, 2048, 5),
    (4096, 4096, 4096, 3),
    (4096, 64, 4096, 7),
]


def run_matmul(peak_gflops=None):
    peak, peak_note = float32_peak(peak_gflops)
    print(f"\nreference BLAS: {reference_blas()}")
    print(f"float32 FMA peak: {peak_note}")
    report = ThroughputReport("matmul float32 (reference: numpy.matmul)", peak)
    rng = np.random.default_rng(1)
    for m, k, n, batches in MATMUL_SIZES:
        a, b = float32_matrix((m, k), rng), float32_matrix((k, n), rng)
        times = measure(lambda: kp.matmul(a, b), lambda: np.matmul(a, b), batches=batches)
        report.throughput_row("matmul", f"{m}x{k} . {k}x{n}", 2.0 * m * k * n, *times)


def other_cases():
    rng = np.random.default_rng(2)
    for batches, size in ((10_000, 4), (64, 128)):
        a, b = float32_matrix((batches, size, size), rng), float32_matrix((batches, size, size), rng)
        yield (
            "batched_matmul",
            f"{batches} x {size} x {size}",
            lambda a=a, b=b: kp.batched_matmul(a, b),
            lambda a=a, b=b: np.matmul(a, b),
        )
    for a_size, b_size in ((30, 30), (100, 20)):
        a, b = rng.standard_normal((a_size, a_size)), rng.standard_normal((b_size, b_size))
        yield (
            "kron",
            f"{a_size}x{a_size} (x) {b_size}x{b_size}",
            lambda a=a, b=b: kp.kron(a, b),
            lambda a=a, b=b: np.kron(a, b),
        )


def run(peak_gflops=None):
    run_matmul(peak_gflops)
    run_cases("batched_matmul float32, kron float64 (reference: numpy.matmul, numpy.kron)", other_cases())


if __name__ == "__main__":
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--peak-gflops", type=float, help="float32 FMA peak of the machine in GFLOP/s")
    run(parser.parse_args().peak_gflops)
