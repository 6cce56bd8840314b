"""The per-process limit on the threads of one call, as threadpoolctl and
the exported C functions see it: threadpool_info lists the pool,
threadpool_limits(1) keeps the drovek-worker threads idle during calls and
the limit lifts afterwards; results do not depend on it. An ignored
KAVO_NUM_THREADS is said once on standard error."""

import ctypes
import os
import subprocess
import sys

import numpy as np
import pytest

import kavo_python as kp

threadpoolctl = pytest.importorskip("threadpoolctl")


def run(script, env_updates=None):
    env = dict(os.environ)
    env.pop("KAVO_NUM_THREADS", None)
    env.update(env_updates or {})
    done = subprocess.run([sys.executable, "-c", script], env=env, capture_output=True, text=True, timeout=300)
    assert done.returncode == 0, done.stderr
    return done


def pool_entries():
    return [info for info in threadpoolctl.threadpool_info() if info["user_api"] == "kavo_python"]


def test_threadpool_info_lists_the_pool():
    (entry,) = pool_entries()
    assert entry["internal_api"] == "drovek"
    assert os.path.samefile(entry["filepath"], kp.__file__)
    assert entry["version"] == kp.__version__


# In a fresh process: the threads a call may run on, before any call (the
# pool is not created by asking) and after one.
NUM_THREADS = """
import os
import numpy as np
import kavo_python as kp
from threadpoolctl import threadpool_info

def workers():
    names = [open(f"/proc/self/task/{t}/comm").read() for t in os.listdir("/proc/self/task")]
    return sum(name.startswith("drovek-worker") for name in names)

def num_threads():
    return [i["num_threads"] for i in threadpool_info() if i["user_api"] == "kavo_python"]

first = num_threads()
before = workers()
a = np.ones((600, 600), np.float32)
kp.matmul(a, a)
print(first, before, num_threads(), workers())
"""


@pytest.mark.parametrize("setting", [None, "3", "1"])
def test_num_threads_counts_the_caller_and_the_workers_without_creating_the_pool(setting):
    workers = int(setting) if setting else len(os.sched_getaffinity(0))
    env = {"KAVO_NUM_THREADS": setting} if setting else {}
    shown = run(NUM_THREADS, env).stdout.split()
    assert shown == [f"[{workers + 1}]", "0", f"[{workers + 1}]", str(workers)]


# Runs in a fresh process with two workers: the CPU time the workers spend
# during a burst of parallel calls, with and without threadpool_limits(1).
WORKER_TIME = """
import os
import numpy as np
import kavo_python as kp
from threadpoolctl import threadpool_info, threadpool_limits

def worker_ticks():
    total = 0
    for task in os.listdir("/proc/self/task"):
        try:
            if not open(f"/proc/self/task/{task}/comm").read().startswith("drovek-worker"):
                continue
            fields = open(f"/proc/self/task/{task}/stat").read().rsplit(")", 1)[1].split()
        except FileNotFoundError:
            continue
        total += int(fields[11]) + int(fields[12])  # utime + stime
    return total

def pool_threads():
    return [i["num_threads"] for i in threadpool_info() if i["user_api"] == "kavo_python"]

a = np.ones((700, 700), np.float32)
def burst(seconds=1.0):
    import time
    start = worker_ticks()
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        kp.matmul(a, a)
        kp.add(a, a)
    return worker_ticks() - start

burst(0.1)  # creates the pool
before = pool_threads()
free = burst()
with threadpool_limits(1):
    limited_threads = pool_threads()
    limited = burst()
after = pool_threads()
lifted = burst()
print(before, limited_threads, after, free, limited, lifted)
"""


def test_a_limit_of_one_keeps_the_workers_idle_and_lifts_afterwards():
    fields = run(WORKER_TIME, {"KAVO_NUM_THREADS": "2"}).stdout.split()
    before, limited_threads, after = fields[0], fields[1], fields[2]
    free, limited, lifted = (int(f) for f in fields[3:])
    assert (before, limited_threads, after) == ("[3]", "[1]", "[3]")
    assert free >= 5 and lifted >= 5, fields  # clock ticks of 10 ms: the workers computed
    assert limited <= 1, fields  # at most a tick of rounding


def test_the_exported_functions_read_and_set_the_limit():
    library = ctypes.CDLL(kp.__file__)
    unlimited = library.kavo_get_num_threads()
    try:
        for limit, expected in ((1, 1), (2, min(2, unlimited)), (10_000, unlimited), (0, unlimited), (-3, unlimited)):
            library.kavo_set_num_threads(limit)
            assert library.kavo_get_num_threads() == expected, limit
            assert pool_entries()[0]["num_threads"] == expected
    finally:
        library.kavo_set_num_threads(0)


def test_results_do_not_depend_on_the_limit():
    rng = np.random.default_rng(3)
    f32 = rng.standard_normal((600, 700)).astype(np.float32)
    f64 = rng.standard_normal((300, 300))
    calls = {
        "add": lambda: kp.add(f32, f32),
        "sum": lambda: kp.sum(f32),
        "matmul": lambda: kp.matmul(f32, np.ascontiguousarray(f32.T)),
        "inv": lambda: kp.inv(f64),
        "qr": lambda: kp.qr(f64)[1],
    }
    for name, call in calls.items():
        free = call()
        for limit in (1, 2):
            with threadpoolctl.threadpool_limits(limit):
                assert np.array_equal(call(), free), (name, limit)


IGNORED = """
import numpy as np, kavo_python as kp, threadpoolctl
threadpoolctl.threadpool_info()
a = np.ones((600, 600), np.float32)
kp.matmul(a, a)
kp.matmul(a, a)
"""


@pytest.mark.parametrize(
    "setting, said",
    [
        ("two", 'KAVO_NUM_THREADS="two" ignored: not a whole number from 1 to 1024; using {} worker threads\n'),
        ("0", 'KAVO_NUM_THREADS="0" ignored: not a whole number from 1 to 1024; using {} worker threads\n'),
        ("3", ""),
        ("", ""),  # set but blank reads as unset
    ],
)
def test_an_ignored_thread_count_is_said_once_on_standard_error(setting, said):
    default = len(os.sched_getaffinity(0))
    expected = said.format(default).replace("1 worker threads", "1 worker thread")
    assert run(IGNORED, {"KAVO_NUM_THREADS": setting}).stderr == expected
