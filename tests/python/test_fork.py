"""A process forked after parallel calls (multiprocessing's default start
method on Linux) can call every function: the child gets its own executor
instead of the parent's, whose workers it does not have."""

import multiprocessing
import os
import select
import signal
import threading

import numpy as np
import pytest

import kavo_python as kp
from conftest import FUNCTIONS, valid_arguments

BIG = np.arange(2000 * 2000, dtype=np.float32).reshape(2000, 2000)
# Runs on the workers whatever the cache sizes.
SQUARE = np.ascontiguousarray(BIG[:600, :600] / 1e6)


def every_function():
    """Each function on its small valid input, plus calls big enough to run
    on the workers."""
    results = {name: getattr(kp, name)(*valid_arguments(name)) for name, _, _ in FUNCTIONS}
    results["large add"] = kp.add(BIG, BIG)
    results["parallel matmul"] = kp.matmul(SQUARE, SQUARE)
    return results


def same(ours, theirs):
    if isinstance(ours, tuple):
        return len(ours) == len(theirs) and all(same(a, b) for a, b in zip(ours, theirs))
    return np.array_equal(np.asarray(ours), np.asarray(theirs), equal_nan=True)


def child_matches(expected):
    got = every_function()
    return [name for name in expected if not same(got[name], expected[name])]


def run_in_fork_pool(expected):
    context = multiprocessing.get_context("fork")
    with context.Pool(2) as pool:
        # A child stuck on an inherited executor would never answer.
        return pool.map_async(child_matches, [expected] * 2).get(timeout=120)


@pytest.mark.skipif(not hasattr(os, "fork"), reason="needs fork")
@pytest.mark.filterwarnings("ignore:This process .* is multi-threaded:DeprecationWarning")
def test_children_forked_after_parallel_calls_compute_like_the_parent():
    expected = every_function()
    assert run_in_fork_pool(expected) == [[], []]
    # Again from a parent that has forked before, with its workers busy in
    # another thread while it forks.
    busy = threading.Thread(target=lambda: [kp.matmul(SQUARE, SQUARE) for _ in range(20)])
    busy.start()
    try:
        assert run_in_fork_pool(expected) == [[], []]
    finally:
        busy.join()
    assert child_matches(expected) == []


@pytest.mark.skipif(not hasattr(os, "fork"), reason="needs fork")
@pytest.mark.filterwarnings("ignore:This process .* is multi-threaded:DeprecationWarning")
def test_grandchild_of_a_fork_computes_too():
    expected = kp.matmul(SQUARE, SQUARE)
    read, write = os.pipe()
    pid = os.fork()
    if pid == 0:  # child: call, fork again, and report both results
        try:
            ok = np.array_equal(kp.matmul(SQUARE, SQUARE), expected)
            grandchild = os.fork()
            if grandchild == 0:
                os._exit(0 if np.array_equal(kp.matmul(SQUARE, SQUARE), expected) else 1)
            _, status = os.waitpid(grandchild, 0)
            os.write(write, b"ok" if ok and os.waitstatus_to_exitcode(status) == 0 else b"bad")
        finally:
            os._exit(0)
    os.close(write)
    ready, _, _ = select.select([read], [], [], 120)
    if not ready:
        os.kill(pid, signal.SIGKILL)
    answer = os.read(read, 8) if ready else b"hung"
    os.close(read)
    os.waitpid(pid, 0)
    assert answer == b"ok"


DECAY_IN_CHILD = r"""
import multiprocessing, os
import numpy as np
import kavo_python as kp

def thread_names():
    names = []
    for task in os.listdir("/proc/self/task"):
        with open(f"/proc/self/task/{task}/comm") as comm:
            names.append(comm.read().strip())
    return names

def child_threads():
    import time
    give_up = time.monotonic() + 20
    while "pelmark-decay" not in thread_names() and time.monotonic() < give_up:
        time.sleep(0.01)
    return thread_names()

a = np.ones((600, 600), np.float32)
kp.matmul(a, a)  # scratch from the allocator: its settings are read, its thread started
print(thread_names().count("pelmark-decay"))
with multiprocessing.get_context("fork").Pool(1) as pool:
    print(pool.apply_async(child_threads).get(timeout=60).count("pelmark-decay"))
"""


@pytest.mark.skipif(not hasattr(os, "fork"), reason="needs fork")
def test_forked_child_has_its_own_decay_thread():
    import subprocess
    import sys

    env = dict(os.environ, PELMARK_PURGE_CADENCE_MS="50")
    done = subprocess.run([sys.executable, "-W", "ignore::DeprecationWarning", "-c", DECAY_IN_CHILD],
                          env=env, capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr[-2000:]
    assert done.stdout.split() == ["1", "1"]
