"""KAVO_NUM_THREADS sets the number of executor workers; anything that is
not a positive decimal keeps the default. Counted from the worker threads'
names after a call large enough to run in parallel, in fresh processes."""

import os
import subprocess
import sys

import pytest

COUNT_WORKERS = """
import os
import numpy as np
import kavo_python as kp
a = np.ones((2000, 2000), dtype=np.float32)
kp.add(a, a)
names = [open(f"/proc/self/task/{t}/comm").read().strip() for t in os.listdir("/proc/self/task")]
print(sum(name.startswith("drovek-worker") for name in names))
"""


def workers_started(setting):
    env = dict(os.environ)
    env.pop("KAVO_NUM_THREADS", None)
    if setting is not None:
        env["KAVO_NUM_THREADS"] = setting
    done = subprocess.run([sys.executable, "-c", COUNT_WORKERS], env=env, capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    return int(done.stdout)


def test_the_variable_sets_the_worker_count():
    assert workers_started("3") == 3
    assert workers_started(" 1 ") == 1


@pytest.mark.parametrize("setting", ["0", "-1", "two", "", "2.5", "100000"])
def test_other_values_keep_the_default(setting):
    assert workers_started(setting) == workers_started(None) >= 1
