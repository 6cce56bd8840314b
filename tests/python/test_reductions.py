import math

import numpy as np
import pytest

import kavo_python as kp


def float32_bits(x):
    return np.float32(x).view(np.uint32)


@pytest.mark.parametrize("shape", [(0, 4), (1, 1), (3, 5), (17, 33), (256, 1024), (1000, 1001)])
def test_sum_agrees_with_a_double_precision_reference(shape):
    rng = np.random.default_rng(shape[0])
    a = rng.standard_normal(shape).astype(np.float32)
    result = kp.sum(a)
    assert isinstance(result, float)
    reference = a.astype(np.float64).sum()
    # float32 accumulation with a tree of partial sums: error ~ log(n) eps sum|a|.
    n = max(a.size, 1)
    assert abs(result - reference) <= 4 * math.log2(n + 1) * np.finfo(np.float32).eps * np.abs(a).astype(np.float64).sum() + 1e-30


@pytest.mark.parametrize("shape", [(0, 4), (3, 5), (64, 63), (1000, 1001)])
def test_sum_and_sum_dyn_give_identical_bits_on_matrices(shape):
    a = np.random.default_rng(1).standard_normal(shape).astype(np.float32)
    assert float32_bits(kp.sum(a)) == float32_bits(kp.sum_dyn(a))


@pytest.mark.parametrize("rank", range(1, 7))
def test_sum_dyn_every_supported_rank(rank):
    shape = (3, 2, 4, 1, 5, 2)[:rank]
    a = np.random.default_rng(rank).standard_normal(shape).astype(np.float32)
    assert kp.sum_dyn(a) == pytest.approx(float(a.astype(np.float64).sum()), rel=1e-5, abs=1e-5)
    # The layout is rebuilt row-major from the dimensions: same bits as the flat array.
    assert float32_bits(kp.sum_dyn(a)) == float32_bits(kp.sum_dyn(a.reshape(-1)))


@pytest.mark.parametrize("rank", [0, 7, 8])
def test_sum_dyn_unsupported_ranks(rank):
    a = np.ones((1,) * rank, dtype=np.float32)
    with pytest.raises(ValueError) as error:
        kp.sum_dyn(a)
    assert str(error.value) == f"array rank {rank} exceeds the supported dynamic-dispatch rank 6"


def test_empty_sums_are_zero():
    assert kp.sum(np.zeros((0, 4), np.float32)) == 0.0
    assert kp.sum_dyn(np.zeros((2, 0, 3), np.float32)) == 0.0


def test_sum_of_infinities_of_both_signs_is_nan():
    a = np.array([[np.inf, 1.0], [-np.inf, 2.0]], dtype=np.float32)
    assert math.isnan(kp.sum(a))


def test_sum_of_many_ones_is_reproducible_and_exact_where_the_lanes_keep_it():
    # 2^24 + 1 ones: a single float32 accumulator would stall at 2^24; the
    # lane structure spreads the count over partial sums that stay exact.
    ones = np.ones((1, 2**24 + 1), dtype=np.float32)
    first = kp.sum(ones)
    assert first == kp.sum(ones) == kp.sum_dyn(ones)
    assert first in (2.0**24, 2.0**24 + 2)  # representable float32 neighbours of the true count


@pytest.mark.parametrize("n", [0, 1, 3, 15, 17, 1000, 100_003])
def test_dot_agrees_with_a_double_precision_reference(n):
    rng = np.random.default_rng(n)
    a = rng.standard_normal(n).astype(np.float32)
    b = rng.standard_normal(n).astype(np.float32)
    result = kp.dot(a, b)
    reference = float(a.astype(np.float64) @ b.astype(np.float64))
    bound = 4 * math.log2(n + 2) * np.finfo(np.float32).eps * float(np.abs(a).astype(np.float64) @ np.abs(b))
    assert abs(result - reference) <= bound + 1e-30
    assert float32_bits(result) == float32_bits(kp.dot(a, b))


def test_dot_length_mismatch():
    with pytest.raises(ValueError) as error:
        kp.dot(np.ones(3, np.float32), np.ones(4, np.float32))
    assert str(error.value) == "Shape mismatch: lhs [3], rhs [4]"


@pytest.mark.parametrize("n", [0, 1, 2, 7, 300])
def test_trace_sums_the_diagonal_in_index_order(n):
    a = np.random.default_rng(n).standard_normal((n, n))
    expected = 0.0
    for i in range(n):
        expected += a[i, i]
    assert kp.trace(a) == expected  # bit for bit: the same order


def test_trace_of_a_rectangular_matrix():
    with pytest.raises(ValueError) as error:
        kp.trace(np.ones((2, 3)))
    assert str(error.value) == "Shape mismatch: lhs [2, 3], rhs [2, 2]"
