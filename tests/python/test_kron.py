import numpy as np
import pytest

import kavo_python as kp

# (shape of a, shape of b): scalars, row and column vectors, rectangular
# blocks of both orientations, every way of being empty, and one output
# larger than the caches.
SHAPES = [
    ((1, 1), (1, 1)),
    ((1, 1), (3, 4)),
    ((3, 4), (1, 1)),
    ((1, 6), (6, 1)),
    ((5, 1), (1, 7)),
    ((2, 3), (4, 5)),
    ((17, 9), (8, 13)),
    ((40, 30), (25, 35)),
    ((0, 3), (2, 2)),
    ((3, 0), (4, 5)),
    ((2, 3), (0, 4)),
    ((2, 3), (4, 0)),
    ((0, 0), (0, 0)),
]


def identical(result, expected):
    """Same shape, and the same bits wherever the reference is not NaN."""
    if result.shape != expected.shape:
        return False
    nan = np.isnan(expected)
    return np.array_equal(np.isnan(result), nan) and np.array_equal(
        result[~nan].view(np.uint64), expected[~nan].view(np.uint64)
    )


@pytest.mark.parametrize("shape_a, shape_b", SHAPES, ids=[f"{a}x{b}" for a, b in SHAPES])
def test_bit_for_bit_with_numpy(shape_a, shape_b):
    rng = np.random.default_rng(shape_a[0] * 100 + shape_b[1])
    a = rng.standard_normal(shape_a)
    b = rng.standard_normal(shape_b)
    a_copy, b_copy = a.copy(), b.copy()
    result = kp.kron(a, b)
    assert result.dtype == np.float64
    assert result.flags.c_contiguous and result.flags.writeable
    assert identical(result, np.kron(a, b))
    assert not np.shares_memory(result, a) and not np.shares_memory(result, b)
    assert np.array_equal(a, a_copy) and np.array_equal(b, b_copy)


def test_awkward_values_and_layouts_match_numpy():
    tiny = np.finfo(float).smallest_subnormal
    a = np.array([[1e200, -tiny, np.inf], [np.nan, -3.0, 1e-200]])
    b = np.array([[1e200, -0.0], [np.inf, tiny], [np.nan, -1.0]])
    # An extent-one axis may carry any stride and still count as C-contiguous.
    row = np.lib.stride_tricks.as_strided(np.arange(1.0, 5.0), shape=(1, 4), strides=(8 * 1000, 8))
    assert row.flags.c_contiguous
    for x, y in [(a, b), (a, row), (row, b)]:
        with np.errstate(over="ignore", invalid="ignore"):
            expected = np.kron(x, y)
        assert identical(kp.kron(x, y), expected)


def test_zero_entries_of_a_give_positive_zero_blocks():
    # Unlike numpy.kron, which gives NaN for 0 * inf and -0.0 for -0 * 1.
    a = np.array([[0.0, -0.0], [2.0, -0.0]])
    b = np.array([[np.inf, np.nan], [1.0, -1.0]])
    result = kp.kron(a, b)
    for i, j in [(0, 0), (0, 1), (1, 1)]:
        block = result[2 * i : 2 * i + 2, 2 * j : 2 * j + 2]
        assert np.array_equal(block, np.zeros((2, 2))) and not np.signbit(block).any()
    assert identical(result[2:, :2], 2.0 * b)


def test_huge_empty_operand_returns_at_once():
    result = kp.kron(np.empty((2**40, 0)), np.ones((3, 3)))
    assert result.shape == (3 * 2**40, 0) and result.dtype == np.float64


OVERFLOW = "Arithmetic overflow in layout calculations: kronecker output {} count"


@pytest.mark.parametrize(
    "shape_a, shape_b, count",
    [
        ((2**59, 0), (32, 1), "row"),  # 2^64 wraps
        ((2**59, 0), (16, 1), "row"),  # 2^63: no signed extent holds it
        ((0, 2**59), (1, 32), "column"),
        ((0, 2**59), (1, 16), "column"),
    ],
)
def test_output_counts_that_do_not_fit_are_value_errors(shape_a, shape_b, count):
    with pytest.raises(ValueError) as error:
        kp.kron(np.empty(shape_a), np.ones(shape_b))
    assert str(error.value) == OVERFLOW.format(count)
