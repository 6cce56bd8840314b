"""Properties of every array the module returns: a new writeable
C-contiguous array over memory it owns through its keeper."""

import gc
import sys

import numpy as np
import pytest

import kavo_python as kp

SPD = np.array([[4.0, 2.0, 0.0], [2.0, 5.0, 1.0], [0.0, 1.0, 3.0]])

RESULTS = {
    "cholesky (matrix)": lambda: kp.cholesky(SPD),
    "cholesky_inv (matrix)": lambda: kp.cholesky_inv(SPD),
    "cholesky_solve (vector)": lambda: kp.cholesky_solve(SPD, np.ones(3)),
    "cholesky (empty matrix)": lambda: kp.cholesky(np.zeros((0, 0))),
    "cholesky_solve (empty vector)": lambda: kp.cholesky_solve(np.zeros((0, 0)), np.zeros(0)),
}


def keeper_of(array):
    """The keeper at the end of the base chain: rank-1 results hold it
    directly, higher ranks through the rank-1 array they reshape."""
    base = array.base
    if isinstance(base, np.ndarray):
        assert base.ndim == 1 and base.size == array.size
        base = base.base
    return base


@pytest.mark.parametrize("make", RESULTS.values(), ids=RESULTS.keys())
def test_result_arrays(make):
    result = make()
    assert result.flags.writeable and result.flags.c_contiguous
    assert type(keeper_of(result)).__name__ == "PySliceContainer"
    assert not np.shares_memory(result, SPD)
    result[...] = 7.0  # writeable in fact, not only by flag
    assert np.all(result == 7.0)


def test_results_outlive_everything_but_themselves():
    result = kp.cholesky(SPD)
    keeper = keeper_of(result)
    reference_count = sys.getrefcount(keeper)
    view = result[1:]
    del result
    gc.collect()
    assert view.tolist() == kp.cholesky(SPD)[1:].tolist()
    assert sys.getrefcount(keeper) == reference_count


def test_no_memory_shared_between_calls():
    first = kp.cholesky_inv(SPD)
    second = kp.cholesky_inv(SPD)
    assert not np.shares_memory(first, second)
    assert np.array_equal(first, second)
