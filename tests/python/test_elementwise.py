import numpy as np
import pytest

import kavo_python as kp

OPERATIONS = {
    "add": (kp.add, np.add),
    "sub": (kp.sub, np.subtract),
    "mul": (kp.mul, np.multiply),
    "div": (kp.div, np.divide),
}

# (shape of a, shape of b): same shapes, row and column vectors, scalars,
# empty and degenerate matrices; the largest crosses every last-level cache
# size, so the map runs in parallel chunks.
SHAPES = [
    ((3, 4), (3, 4)),
    ((1, 1), (1, 1)),
    ((1, 17), (1, 17)),
    ((17, 1), (17, 1)),
    ((0, 5), (0, 5)),
    ((0, 5), (1, 5)),
    ((5, 0), (5, 1)),
    ((2, 3), (1, 3)),
    ((4, 1), (1, 1)),
    ((33, 65), (33, 1)),
    ((33, 65), (1, 65)),
    ((64, 48), (1, 1)),
    ((257, 1031), (257, 1031)),
    ((257, 1031), (1, 1031)),
    ((257, 1031), (257, 1)),
    ((4096, 2048), (4096, 2048)),
    ((4096, 2048), (1, 2048)),
    ((2048, 4096), (2048, 1)),
]


def operands(shape_a, shape_b, seed):
    rng = np.random.default_rng(seed)
    a = rng.standard_normal(shape_a).astype(np.float32)
    b = rng.standard_normal(shape_b).astype(np.float32) + np.float32(0.5)
    return a, b


@pytest.mark.parametrize("name", OPERATIONS)
@pytest.mark.parametrize("shape_a, shape_b", SHAPES, ids=[f"{a}-{b}" for a, b in SHAPES])
def test_bit_for_bit_with_numpy(name, shape_a, shape_b):
    ours, reference = OPERATIONS[name]
    a, b = operands(shape_a, shape_b, seed=len(name) + shape_a[0])
    result = ours(a, b)
    expected = reference(a, b)
    assert result.dtype == np.float32 and result.shape == shape_a
    assert result.flags.c_contiguous and result.flags.writeable
    assert np.array_equal(result.view(np.uint32), expected.view(np.uint32))
    assert not np.shares_memory(result, a) and not np.shares_memory(result, b)


def test_ieee_results_are_not_errors():
    a = np.array([[1.0, -1.0, 0.0, np.inf]], dtype=np.float32)
    z = np.zeros((1, 4), dtype=np.float32)
    with np.errstate(divide="ignore", invalid="ignore"):
        expected = a / z
    assert np.array_equal(kp.div(a, z), expected, equal_nan=True)
    n = np.array([[np.nan, 1.0, 2.0, 3.0]], dtype=np.float32)
    assert np.isnan(kp.add(n, a)[0, 0])


def test_add_of_itself_doubles():
    x = np.arange(12, dtype=np.float32).reshape(3, 4)
    assert np.array_equal(kp.add(x, x), 2 * x)


@pytest.mark.parametrize(
    "shape_a, shape_b",
    [((1, 3), (2, 3)), ((3, 1), (1, 4)), ((2, 3), (3, 2)), ((2, 3), (2, 2)), ((0, 3), (2, 3))],
)
def test_broadcasting_is_one_sided(shape_a, shape_b):
    a, b = operands(shape_a, shape_b, seed=0)
    for name, (ours, _) in OPERATIONS.items():
        with pytest.raises(ValueError) as error:
            ours(a, b)
        from_shape = ", ".join(map(str, shape_b))
        to_shape = ", ".join(map(str, shape_a))
        assert str(error.value) == f"Incompatible broadcast: from [{from_shape}] to [{to_shape}]"


def test_equal_shapes_with_different_strides_on_an_extent_one_axis():
    base = np.arange(8, dtype=np.float32)
    odd = np.lib.stride_tricks.as_strided(base, shape=(1, 8), strides=(4 * 100, 4))
    assert odd.flags.c_contiguous
    plain = np.arange(8, dtype=np.float32).reshape(1, 8) * 3
    assert np.array_equal(kp.mul(odd, plain), odd * plain)
    assert np.array_equal(kp.mul(plain, odd), plain * odd)


def test_transposed_b_must_be_contiguous():
    a = np.ones((3, 3), np.float32)
    with pytest.raises(ValueError, match=r"^b must be C-contiguous(\n|$)"):
        kp.add(a, a.T)


def test_results_are_independent_of_repetition():
    a, b = operands((4096, 2048), (4096, 2048), seed=3)
    assert np.array_equal(kp.add(a, b).view(np.uint32), kp.add(a, b).view(np.uint32))
