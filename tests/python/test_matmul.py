"""matmul and batched_matmul: shapes, agreement with NumPy within the float32
rounding bound, exact and reproducible bits, and how each route treats a
zero of A against an infinity or NaN of B."""

from fractions import Fraction

import numpy as np
import pytest

import kavo_python as kp

EPS32 = 2.0**-24  # unit roundoff of float32


def random_f32(shape, seed):
    return np.random.default_rng(seed).standard_normal(shape).astype(np.float32)


def same_bits(result, expected):
    return result.shape == expected.shape and np.array_equal(result.view(np.uint32), expected.view(np.uint32))


def assert_within_rounding_bound(result, a, b):
    """|C - C_ref| <= k eps (|A| |B|) elementwise, C_ref = numpy.matmul in
    float32 and |A| |B| in float64; works for stacks of matrices too."""
    reference = np.matmul(a, b)
    assert result.shape == reference.shape
    assert result.dtype == np.float32 and result.flags.c_contiguous
    magnitude = np.matmul(np.abs(a).astype(np.float64), np.abs(b).astype(np.float64))
    error = np.abs(result.astype(np.float64) - reference.astype(np.float64))
    assert np.all(error <= a.shape[-1] * EPS32 * magnitude)


def fma_f32(x, y, z):
    """x * y + z rounded once to float32 (to nearest, ties to even), computed
    exactly: float64 arithmetic would round twice."""
    exact = Fraction(float(x)) * Fraction(float(y)) + Fraction(float(z))
    near = np.float32(float(exact))  # the correct result or a float32 neighbour
    candidates = [np.nextafter(near, np.float32(-np.inf)), near, np.nextafter(near, np.float32(np.inf))]
    return min(candidates, key=lambda c: (abs(Fraction(float(c)) - exact), int(np.array(c).view(np.uint32)) & 1))


def fused_chain(a_row, b_column):
    """c = fma(a[p], b[p], c) over p ascending from c = 0, in float32."""
    c = np.float32(0.0)
    for x, y in zip(a_row, b_column):
        c = fma_f32(x, y, c)
    return c


# (m, k, n). Products with m >= 64 and m*k*n >= 262144 run in parallel.
SHAPES = [
    # tiny
    (1, 1, 1),
    (2, 3, 4),
    (3, 1, 5),
    (5, 9, 13),
    (16, 16, 16),
    # either side of the parallel rule
    (64, 64, 64),  # exactly 262144: parallel
    (63, 64, 64),  # one row short
    (64, 63, 64),  # 258048 multiply-adds
    (63, 100, 100),
    (64, 100, 100),
    # inner dimension around a vector length, output widths around tile edges
    (40, 31, 50),
    (40, 32, 50),
    (20, 33, 15),
    (20, 33, 16),
    (70, 70, 23),
    (70, 70, 24),
    (70, 70, 25),
    # a k x 1 B takes the dot route, a 1 x k A the row updates
    (50, 200, 1),
    (300, 1000, 1),
    (1, 64, 1),
    (1, 200, 50),
    (1, 5000, 300),
    # larger squares and a tall-skinny product with a wide output
    (300, 300, 300),
    (1024, 1024, 1024),
    (2048, 64, 2048),
]


@pytest.mark.parametrize("m, k, n", SHAPES, ids=[f"{m}x{k}x{n}" for m, k, n in SHAPES])
def test_matmul_agrees_with_numpy_within_the_rounding_bound(m, k, n):
    a = random_f32((m, k), m * 7919 + k)
    b = random_f32((k, n), n * 7919 + k + 1)
    a_copy, b_copy = a.copy(), b.copy()
    result = kp.matmul(a, b)
    assert_within_rounding_bound(result, a, b)
    assert not np.shares_memory(result, a) and not np.shares_memory(result, b)
    assert same_bits(a, a_copy) and same_bits(b, b_copy)


@pytest.mark.parametrize("m, k, n", [(7, 256, 9), (64, 256, 64), (300, 256, 130), (1, 256, 33), (33, 256, 1)])
def test_small_integers_are_exact(m, k, n):
    # |partial sums| <= 8 * 8 * 256 = 2^14: every step is exact in float32.
    rng = np.random.default_rng(m + n)
    a = rng.integers(-8, 9, (m, k)).astype(np.float32)
    b = rng.integers(-8, 9, (k, n)).astype(np.float32)
    exact = a.astype(np.float64) @ b.astype(np.float64)
    assert np.array_equal(kp.matmul(a, b), exact)


@pytest.mark.parametrize(
    "shape_a, shape_b",
    [((0, 3), (3, 5)), ((4, 0), (0, 5)), ((3, 4), (4, 0)), ((0, 0), (0, 0))],
)
def test_empty_products(shape_a, shape_b):
    result = kp.matmul(np.ones(shape_a, np.float32), np.ones(shape_b, np.float32))
    assert result.shape == (shape_a[0], shape_b[1]) and result.dtype == np.float32
    assert np.all(result == 0) and not np.signbit(result).any()


@pytest.mark.parametrize("shape_a, shape_b", [((2, 3), (4, 2)), ((1, 1), (2, 1)), ((3, 0), (1, 3))])
def test_inner_dimension_mismatch(shape_a, shape_b):
    with pytest.raises(ValueError) as error:
        kp.matmul(np.ones(shape_a, np.float32), np.ones(shape_b, np.float32))
    assert str(error.value) == "Dimension mismatch for matrix multiplication"


class TestBitsDoNotDependOnHowRowsAreGrouped:
    """A 300x200 . 200x250 product (parallel) whose A has no zeros: every
    element is one fused chain over p ascending, whichever route, band of
    rows or thread computes it."""

    a = random_f32((300, 200), 11)
    a[a == 0] = 1.0
    b = random_f32((200, 250), 12)

    def test_repeated_calls(self):
        assert same_bits(kp.matmul(self.a, self.b), kp.matmul(self.a, self.b))

    def test_elements_equal_the_fused_chain(self):
        result = kp.matmul(self.a, self.b)
        for i, j in [(0, 0), (0, 249), (31, 23), (32, 24), (63, 100), (64, 7), (150, 131), (299, 0), (299, 249)]:
            assert same_bits(result[i, j], fused_chain(self.a[i], self.b[:, j])), (i, j)

    @pytest.mark.parametrize("rows", [slice(0, 64), slice(5, 68), slice(200, 300), slice(1, 3)], ids=str)
    def test_row_bands_sequential_and_parallel(self, rows):
        # 63 rows run on the calling thread, 64 or more on the executor.
        assert same_bits(kp.matmul(self.a[rows], self.b), kp.matmul(self.a, self.b)[rows])

    @pytest.mark.parametrize("i", [0, 1, 31, 32, 63, 64, 150, 299])
    def test_single_rows_take_the_row_updates_with_the_same_bits(self, i):
        assert same_bits(kp.matmul(self.a[i : i + 1], self.b)[0], kp.matmul(self.a, self.b)[i])


def test_a_small_tiled_product_is_the_fused_chain_everywhere():
    # 9 rows and 25 columns: partial register tiles at both edges.
    a = random_f32((9, 37), 21)
    b = random_f32((37, 25), 22)
    result = kp.matmul(a, b)
    expected = np.array([[fused_chain(a[i], b[:, j]) for j in range(25)] for i in range(9)], np.float32)
    assert same_bits(result, expected)


def test_row_updates_skip_zero_coefficients_of_a_single_row():
    b = np.array([[np.inf, 1, 2, 3], [1, np.nan, -1, 1], [np.nan, 1, 1, -np.inf]], np.float32)
    result = kp.matmul(np.zeros((1, 3), np.float32), b)
    assert np.all(result == 0) and not np.signbit(result).any()
    # Terms with a zero coefficient (of either sign) never reach the output.
    result = kp.matmul(np.array([[0.0, 2.0, -0.0]], np.float32), b)
    assert np.array_equal(result, 2 * b[1:2], equal_nan=True)


@pytest.mark.parametrize("m, k, n", [(2, 3, 4), (64, 64, 64)])
def test_tiled_products_propagate_nan_from_zero_times_inf_like_numpy(m, k, n):
    # Unlike the row updates, the tiled route multiplies every term:
    # 0 * inf = NaN, so an all-zero row of A gives NaN where B has inf or NaN.
    a = random_f32((m, k), m)
    a[0] = 0.0
    b = random_f32((k, n), n)
    b[0, 1] = np.inf
    b[k - 1, n - 1] = np.nan
    result = kp.matmul(a, b)
    with np.errstate(invalid="ignore"):
        reference = np.matmul(a, b)
    nan = np.isnan(result)
    assert np.array_equal(nan, np.isnan(reference))
    assert nan[0, 1] and nan[0, n - 1] and np.all(result[0, 2 : n - 1] == 0)
    assert np.all(np.isinf(result[1:, 1]))


# (shape of a, shape of b): batch counts equal or 1 on either side (that
# matrix serves every batch), empty on either side, empty matrices, and both
# sides of the parallel batch driver (from 1024 batches).
BATCHED_SHAPES = [
    ((3, 2, 3), (3, 3, 5)),
    ((1, 2, 3), (4, 3, 5)),
    ((4, 2, 3), (1, 3, 5)),
    ((0, 2, 3), (0, 3, 5)),
    ((0, 2, 3), (1, 3, 5)),
    ((1, 2, 3), (0, 3, 5)),
    ((3, 0, 4), (3, 4, 5)),
    ((3, 2, 4), (3, 4, 0)),
    ((3, 2, 0), (3, 0, 5)),
    ((2, 1, 64), (2, 64, 1)),
    ((1023, 3, 5), (1023, 5, 2)),
    ((1024, 3, 5), (1024, 5, 2)),
    ((1, 4, 4), (2000, 4, 4)),
    ((10000, 4, 4), (10000, 4, 4)),
    ((3, 128, 128), (3, 128, 128)),
]


@pytest.mark.parametrize("shape_a, shape_b", BATCHED_SHAPES, ids=[f"{a}x{b}" for a, b in BATCHED_SHAPES])
def test_batched_matmul_is_matmul_per_batch(shape_a, shape_b):
    a = random_f32(shape_a, shape_a[0] + 1)
    b = random_f32(shape_b, shape_b[0] + 2)
    result = kp.batched_matmul(a, b)
    assert_within_rounding_bound(result, a, b)  # shapes broadcast as numpy.matmul's
    batches = result.shape[0]
    per_batch = [kp.matmul(a[t % shape_a[0]], b[t % shape_b[0]]) for t in range(batches)]
    expected = np.stack(per_batch) if per_batch else np.zeros(result.shape, np.float32)
    assert same_bits(result, expected)


def test_batched_matmul_is_reproducible():
    a = random_f32((10000, 4, 4), 31)
    b = random_f32((10000, 4, 4), 32)
    assert same_bits(kp.batched_matmul(a, b), kp.batched_matmul(a, b))


@pytest.mark.parametrize(
    "shape_a, shape_b, message",
    [
        ((2, 2, 3), (2, 4, 5), "Inner dimension mismatch for batched matmul"),
        ((1, 2, 0), (1, 1, 5), "Inner dimension mismatch for batched matmul"),
        ((2, 2, 3), (3, 3, 5), "Shape mismatch: lhs [2, 2, 3], rhs [3, 3, 5]"),
        ((0, 2, 3), (2, 3, 5), "Shape mismatch: lhs [0, 2, 3], rhs [2, 3, 5]"),
    ],
)
def test_batched_matmul_failures(shape_a, shape_b, message):
    with pytest.raises(ValueError) as error:
        kp.batched_matmul(np.ones(shape_a, np.float32), np.ones(shape_b, np.float32))
    assert str(error.value) == message


def test_concurrent_callers_get_the_same_bits():
    """Several Python threads in large (parallel) products at once: the
    executor serves them all and every result equals the lone call's."""
    from concurrent.futures import ThreadPoolExecutor

    a = random_f32((300, 200), 31)
    b = random_f32((200, 250), 32)
    expected = kp.matmul(a, b)
    with ThreadPoolExecutor(max_workers=4) as pool:
        results = list(pool.map(lambda _: kp.matmul(a, b), range(16)))
    assert all(same_bits(r, expected) for r in results)
