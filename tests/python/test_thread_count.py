"""The executor has one worker per processor the process may run on;
KAVO_NUM_THREADS overrides that, and anything that is not a positive decimal
keeps the default. Counted from the worker threads'
names after a call large enough to run in parallel, in fresh processes."""

import os
import subprocess
import sys

import pytest

COUNT_WORKERS = """
import os
import numpy as np
import kavo_python as kp
a = np.ones((600, 600), dtype=np.float32)
kp.matmul(a, a)  # large enough for the workers on any cache size
names = [open(f"/proc/self/task/{t}/comm").read().strip() for t in os.listdir("/proc/self/task")]
print(sum(name.startswith("drovek-worker") for name in names))
"""


def workers_started(setting, processors=None):
    env = dict(os.environ)
    env.pop("KAVO_NUM_THREADS", None)
    if setting is not None:
        env["KAVO_NUM_THREADS"] = setting
    # As `taskset -c <processors> python ...` starts it.
    restrict = (lambda: os.sched_setaffinity(0, processors)) if processors else None
    done = subprocess.run(
        [sys.executable, "-c", COUNT_WORKERS], env=env, capture_output=True, text=True, timeout=120, preexec_fn=restrict
    )
    assert done.returncode == 0, done.stderr
    return int(done.stdout)


def test_the_variable_sets_the_worker_count():
    assert workers_started("3") == 3
    assert workers_started(" 1 ") == 1


@pytest.mark.parametrize("setting", ["0", "-1", "two", "", "2.5", "100000"])
def test_other_values_keep_the_default(setting):
    assert workers_started(setting) == workers_started(None) >= 1


def test_the_default_follows_the_affinity_mask():
    allowed = os.sched_getaffinity(0)
    assert workers_started(None) == len(allowed)
    one = {min(allowed)}
    assert workers_started(None, one) == 1
    assert workers_started("3", one) == 3
