"""The allocator benchmark against three malloc implementations in one run:
the C library's, and mimalloc's and jemalloc's preloaded in its place
(Debian's libmimalloc2.0 and libjemalloc2). Each cell is malloc's time over
pelmark's on the same workload (above 1: pelmark is faster), the median of
repeated runs.

    python bench/cpp/allocator_references.py build/bench/bench/cpp/bench_allocator
"""

import json
import os
import statistics
import subprocess
import sys

LIBRARY_DIR = "/usr/lib/x86_64-linux-gnu"
REFERENCES = {
    "glibc": None,
    "mimalloc": os.path.join(LIBRARY_DIR, "libmimalloc.so.2"),
    "jemalloc": os.path.join(LIBRARY_DIR, "libjemalloc.so.2"),
}
REPETITIONS = 5


def ratios(binary, preload):
    env = dict(os.environ)
    if preload:
        env["LD_PRELOAD"] = preload
    done = subprocess.run(
        [binary, "--benchmark_format=json", f"--benchmark_repetitions={REPETITIONS}", "--benchmark_min_time=0.1"],
        env=env,
        capture_output=True,
        text=True,
        check=True,
    )
    by_name = {}
    for run in json.loads(done.stdout)["benchmarks"]:
        if run.get("run_type") == "iteration":
            name = run["name"].removesuffix("/manual_time").split("/repeats")[0]
            by_name.setdefault(name, []).append(run["malloc/pelmark"])
    return {name: statistics.median(values) for name, values in by_name.items()}


def main():
    binary = sys.argv[1] if len(sys.argv) > 1 else "build/bench/bench/cpp/bench_allocator"
    columns = {}
    for label, preload in REFERENCES.items():
        if preload and not os.path.exists(preload):
            print(f"{label}: {preload} not installed, column skipped")
            continue
        columns[label] = ratios(binary, preload)
    names = list(next(iter(columns.values())))
    print("== Allocator: malloc time / pelmark time (above 1: pelmark faster), median of", REPETITIONS)
    print(f"{'workload':34s}" + "".join(f"{label:>10s}" for label in columns))
    for name in names:
        print(f"{name:34s}" + "".join(f"{columns[label].get(name, float('nan')):10.2f}" for label in columns))


if __name__ == "__main__":
    main()
