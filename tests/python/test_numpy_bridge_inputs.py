"""How the module accepts and rejects NumPy inputs: nothing is ever
converted or copied on the way in."""

import numpy as np
import pytest

import kavo_python
from conftest import FUNCTIONS, valid_arguments

NOT_CONVERTIBLE = "argument '{}': '{}' object cannot be converted to 'PyArray<T, D>'"


def array_cases():
    for name, parameters, arrays in FUNCTIONS:
        for index, (dtype, rank) in enumerate(arrays):
            yield name, index, parameters[index], dtype, rank


def call_with(name, index, replacement):
    arguments = valid_arguments(name)
    arguments[index] = replacement
    return getattr(kavo_python, name)(*arguments)


@pytest.mark.parametrize("name, index, parameter, dtype, rank", list(array_cases()))
def test_wrong_type_element_type_or_rank_is_a_type_error(name, index, parameter, dtype, rank):
    good = valid_arguments(name)[index]
    other_dtype = np.float64 if dtype == np.float32 else np.float32
    wrong = [
        ([1.0, 2.0], "list"),
        (3, "int"),
        (good.astype(other_dtype), "ndarray"),
        (good.astype(np.int64), "ndarray"),
    ]
    if rank is not None:
        wrong.append((good[..., np.newaxis], "ndarray"))
    for value, type_name in wrong:
        with pytest.raises(TypeError) as error:
            call_with(name, index, value)
        assert str(error.value) == NOT_CONVERTIBLE.format(parameter, type_name)
        assert isinstance(error.value.__cause__, TypeError)
        assert str(error.value.__cause__) == f"'{type_name}' object cannot be converted to 'PyArray<T, D>'"


@pytest.mark.parametrize("name, index, parameter, dtype, rank", list(array_cases()))
def test_non_contiguous_inputs_are_rejected_not_copied(name, index, parameter, dtype, rank):
    good = valid_arguments(name)[index]
    strided = np.repeat(good, 2, axis=-1)[..., ::2]
    assert np.array_equal(strided, good) and not strided.flags.c_contiguous
    with pytest.raises(ValueError) as error:
        call_with(name, index, strided)
    assert str(error.value) == f"{parameter} must be C-contiguous"


@pytest.mark.parametrize("name, index, parameter, dtype, rank", list(array_cases()))
def test_misaligned_data_is_rejected(name, index, parameter, dtype, rank):
    good = valid_arguments(name)[index]
    raw = bytearray(good.nbytes + 1)
    misaligned = np.frombuffer(raw, dtype=dtype, offset=1, count=good.size).reshape(good.shape)
    misaligned[...] = good
    assert not misaligned.flags.aligned and misaligned.flags.c_contiguous
    with pytest.raises(ValueError) as error:
        call_with(name, index, misaligned)
    assert str(error.value) == f"{parameter} must be aligned"


def test_first_bad_argument_decides_and_extraction_precedes_contiguity():
    x = np.ones((3, 3), np.float32)
    with pytest.raises(TypeError, match="argument 'b'"):
        kavo_python.add(x.T, np.ones((3, 3)))  # a is only non-contiguous; b has the wrong type
    with pytest.raises(ValueError, match=r"^a must be C-contiguous(\n|$)"):
        kavo_python.add(x.T, x.T)


def test_transposes_and_fortran_order_rejected_but_contiguous_copies_accepted():
    x = np.arange(6, dtype=np.float64).reshape(2, 3)
    one = np.ones((1, 1))
    for bad in (x.T, np.asfortranarray(x), x[:, ::2]):
        with pytest.raises(ValueError, match=r"^a must be C-contiguous(\n|$)"):
            kavo_python.kron(bad, one)
    copy = np.ascontiguousarray(x.T)
    np.testing.assert_array_equal(kavo_python.kron(copy, one), copy)


def test_extent_one_axis_with_any_stride_is_accepted():
    base = np.arange(4, dtype=np.float64)
    odd = np.lib.stride_tricks.as_strided(base, shape=(1, 4), strides=(8 * 1000, 8))
    assert odd.flags.c_contiguous
    np.testing.assert_array_equal(kavo_python.kron(odd, np.ones((1, 1))), base[None, :])


def test_stride_that_is_not_a_whole_element():
    base = np.zeros(16, dtype=np.float64)
    odd = np.lib.stride_tricks.as_strided(base, shape=(1, 4), strides=(12, 8))
    assert odd.flags.c_contiguous
    with pytest.raises(ValueError, match=r"^Non-element-aligned NumPy stride(\n|$)"):
        kavo_python.inv(odd)


def test_subclasses_of_ndarray_are_accepted():
    class Tagged(np.ndarray):
        pass

    tagged = np.eye(2).view(Tagged)
    np.testing.assert_array_equal(kavo_python.kron(tagged, np.ones((1, 1))), np.eye(2))


def test_norm_order_must_be_a_string_or_none():
    a = np.eye(2)
    with pytest.raises(TypeError) as error:
        kavo_python.norm(a, 2)
    assert str(error.value) == "argument 'ord': 'int' object cannot be converted to 'PyString'"
    assert isinstance(error.value.__cause__, TypeError)
    # The array is extracted before ord, and ord before the contiguity check.
    with pytest.raises(TypeError, match="argument 'a'"):
        kavo_python.norm([1.0], 2)
    with pytest.raises(TypeError, match="argument 'ord'"):
        kavo_python.norm(a.T[:, ::1][:, ::-1], 2)
