"""Every kind of argument rejection keeps its exact text and carries one
note (PEP 678) saying what the argument must be and what was given, and the
call that fixes it where one does."""

import numpy as np
import pytest
from numpy.lib.stride_tricks import as_strided

import kavo_python as kp

F32 = np.ones((3, 2), np.float32)
F64 = np.eye(2)


def misaligned_float64_matrix():
    """A C-contiguous 2x2 float64 array whose data starts one byte past an
    8-byte boundary."""
    storage = np.zeros(4 * 8 + 8, np.uint8)
    start = (-storage.ctypes.data) % 8 + 1
    array = storage[start : start + 32].view(np.float64).reshape(2, 2)
    assert array.flags.c_contiguous and not array.flags.aligned
    return array


def odd_stride_row():
    """A (1, 3) float32 array NumPy flags C-contiguous although the stride of
    its extent-1 axis is 3 bytes, not a whole number of elements."""
    array = as_strided(np.zeros(3, np.float32), shape=(1, 3), strides=(3, 4))
    assert array.flags.c_contiguous
    return array


class MatrixSubclass(np.ndarray):
    pass


# (call, exception type, exact text, exact note)
CASES = {
    "too many positional": (
        lambda: kp.det(F64, F64),
        TypeError,
        "det() takes 1 positional arguments but 2 were given",
        "det(a) takes at most 1 argument; got 2 positional arguments",
    ),
    "too many positional, optional parameter": (
        lambda: kp.norm(F64, None, 3),
        TypeError,
        "norm() takes from 1 to 2 positional arguments but 3 were given",
        "norm(a, ord=None) takes at most 2 arguments; got 3 positional arguments",
    ),
    "unexpected keyword": (
        lambda: kp.add(F32, F32, c=F32),
        TypeError,
        "add() got an unexpected keyword argument 'c'",
        "add(a, b) takes the keywords a and b; got c",
    ),
    "multiple values": (
        lambda: kp.add(F32, a=F32),
        TypeError,
        "add() got multiple values for argument 'a'",
        "a must be given once, by position or by keyword; got both (add(a, b))",
    ),
    "missing one of two": (
        lambda: kp.add(b=F32),
        TypeError,
        "add() missing 1 required positional argument: 'a'",
        "add(a, b) needs a and b; got b",
    ),
    "missing all": (
        lambda: kp.matmul(),
        TypeError,
        "matmul() missing 2 required positional arguments: 'a' and 'b'",
        "matmul(a, b) needs a and b; got nothing",
    ),
    "missing required, optional given": (
        lambda: kp.norm(ord="fro"),
        TypeError,
        "norm() missing 1 required positional argument: 'a'",
        "norm(a, ord=None) needs a; got ord",
    ),
    "wrong element type": (
        lambda: kp.add(np.ones((2, 2)), F32),
        TypeError,
        "argument 'a': 'ndarray' object cannot be converted to 'PyArray<T, D>'",
        "a must be a NumPy array of float32 with 2 dimensions; got float64 with 2 dimensions. "
        "a.astype(numpy.float32) makes an accepted copy",
    ),
    "wrong number of dimensions": (
        lambda: kp.solve(F64, F64),
        TypeError,
        "argument 'b': 'ndarray' object cannot be converted to 'PyArray<T, D>'",
        "b must be a NumPy array of float64 with 1 dimension; got float64 with 2 dimensions",  # no one fix
    ),
    "one dimension where two are needed": (
        lambda: kp.det(np.ones(3)),
        TypeError,
        "argument 'a': 'ndarray' object cannot be converted to 'PyArray<T, D>'",
        "a must be a NumPy array of float64 with 2 dimensions; got float64 with 1 dimension. "
        "a.reshape(1, -1) makes it one row (a.reshape(-1, 1): one column)",
    ),
    "a row bias given as a vector": (
        lambda: kp.add(F32, np.ones(2, np.float32)),
        TypeError,
        "argument 'b': 'ndarray' object cannot be converted to 'PyArray<T, D>'",
        "b must be a NumPy array of float32 with 2 dimensions; got float32 with 1 dimension. "
        "b.reshape(1, -1) makes it one row (b.reshape(-1, 1): one column)",
    ),
    "wrong element type and too few dimensions": (
        lambda: kp.add(F32, np.ones(2)),
        TypeError,
        "argument 'b': 'ndarray' object cannot be converted to 'PyArray<T, D>'",
        "b must be a NumPy array of float32 with 2 dimensions; got float64 with 1 dimension. "
        "b.astype(numpy.float32).reshape(1, -1) makes it one row (b.astype(numpy.float32).reshape(-1, 1): one column)",
    ),
    "a column where a vector is needed": (
        lambda: kp.solve(F64, np.ones((2, 1))),
        TypeError,
        "argument 'b': 'ndarray' object cannot be converted to 'PyArray<T, D>'",
        "b must be a NumPy array of float64 with 1 dimension; got float64 with 2 dimensions. "
        "b.reshape(2) gives it 1 dimension",
    ),
    "one matrix where a batch is needed": (
        lambda: kp.batched_matmul(F32, F32.T.copy()),
        TypeError,
        "argument 'a': 'ndarray' object cannot be converted to 'PyArray<T, D>'",
        "a must be a NumPy array of float32 with 3 dimensions; got float32 with 2 dimensions. "
        "a[numpy.newaxis] gives it 3 dimensions",
    ),
    "a batch of one where a matrix is needed": (
        lambda: kp.inv(np.eye(2)[np.newaxis]),
        TypeError,
        "argument 'a': 'ndarray' object cannot be converted to 'PyArray<T, D>'",
        "a must be a NumPy array of float64 with 2 dimensions; got float64 with 3 dimensions. "
        "a.reshape(2, 2) gives it 2 dimensions",
    ),
    "a scalar array where a vector is needed": (
        lambda: kp.dot(np.array(1.0, np.float32), F32[0]),
        TypeError,
        "argument 'a': 'ndarray' object cannot be converted to 'PyArray<T, D>'",
        "a must be a NumPy array of float32 with 1 dimension; got float32 with 0 dimensions. "
        "a.reshape(1) gives it 1 dimension",
    ),
    "not an array": (
        lambda: kp.add([[1.0]], F32),
        TypeError,
        "argument 'a': 'list' object cannot be converted to 'PyArray<T, D>'",
        "a must be a NumPy array of float32 with 2 dimensions; got list. "
        "numpy.asarray(a, dtype=numpy.float32) makes an array of it",
    ),
    "a tuple": (
        lambda: kp.det(((1.0, 0.0), (0.0, 1.0))),
        TypeError,
        "argument 'a': 'tuple' object cannot be converted to 'PyArray<T, D>'",
        "a must be a NumPy array of float64 with 2 dimensions; got tuple. "
        "numpy.asarray(a, dtype=numpy.float64) makes an array of it",
    ),
    "scalar": (
        lambda: kp.dot(F32[0], 2),
        TypeError,
        "argument 'b': 'int' object cannot be converted to 'PyArray<T, D>'",
        "b must be a NumPy array of float32 with 1 dimension; got int",
    ),
    "subclass of the wrong type": (
        lambda: kp.trace(np.ones((2, 2), np.float32).view(MatrixSubclass)),
        TypeError,
        "argument 'a': 'MatrixSubclass' object cannot be converted to 'PyArray<T, D>'",
        "a must be a NumPy array of float64 with 2 dimensions; got MatrixSubclass of float32 with 2 dimensions. "
        "a.astype(numpy.float64) makes an accepted copy",
    ),
    "any rank, wrong element type": (
        lambda: kp.sum_dyn(np.ones((2, 2, 2), np.int64)),
        TypeError,
        "argument 'a': 'ndarray' object cannot be converted to 'PyArray<T, D>'",
        "a must be a NumPy array of float32; got int64 with 3 dimensions. a.astype(numpy.float32) makes an accepted copy",
    ),
    "non-native byte order": (
        lambda: kp.det(np.eye(2, dtype=">f8")),
        TypeError,
        "argument 'a': 'ndarray' object cannot be converted to 'PyArray<T, D>'",
        "a must be a NumPy array of float64 with 2 dimensions; got >f8 with 2 dimensions. "
        "a.astype(numpy.float64) makes an accepted copy",
    ),
    "ord not a str": (
        lambda: kp.norm(F64, 3),
        TypeError,
        "argument 'ord': 'int' object cannot be converted to 'PyString'",
        "ord must be a str; got int",
    ),
    "ord unknown": (
        lambda: kp.norm(F64, "nuc"),
        ValueError,
        "Unsupported norm order: nuc",
        "ord must be None, 'fro', '2', 'l2', 'max', 'inf', '1' or 'l1' (entrywise orders); got 'nuc'",
    ),
    "transposed view": (
        lambda: kp.add(F32, F32.T),
        ValueError,
        "b must be C-contiguous",
        "b must be C-contiguous (row-major, no gaps between elements); got shape (2, 3) with byte strides "
        "(4, 8). numpy.ascontiguousarray(b) makes an accepted copy",
    ),
    "strided vector": (
        lambda: kp.dot(np.ones(6, np.float32)[::2], np.ones(3, np.float32)),
        ValueError,
        "a must be C-contiguous",
        "a must be C-contiguous (row-major, no gaps between elements); got shape (3,) with byte strides "
        "(8,). numpy.ascontiguousarray(a) makes an accepted copy",
    ),
    "misaligned data": (
        lambda: kp.det(misaligned_float64_matrix()),
        ValueError,
        "a must be aligned",
        "a's data must start at a multiple of 8 bytes (its element size); got an address 1 past such a "
        "multiple. a.copy() makes an aligned copy",
    ),
    "stride not a whole number of elements": (
        lambda: kp.sum(odd_stride_row()),
        ValueError,
        "Non-element-aligned NumPy stride",
        "a's strides must be whole multiples of its 4-byte elements; got shape (1, 3) with byte strides "
        "(3, 4). numpy.ascontiguousarray(a) makes an accepted copy",
    ),
}


@pytest.mark.parametrize("kind", CASES)
def test_rejection_keeps_its_text_and_explains_itself_in_a_note(kind):
    call, exception, text, note = CASES[kind]
    with pytest.raises(exception) as caught:
        call()
    assert type(caught.value) is exception
    assert str(caught.value) == text
    assert caught.value.__notes__ == [note]


def test_note_is_shown_in_the_traceback_but_not_in_the_message():
    import traceback

    try:
        kp.add(np.ones((2, 2)), F32)
    except TypeError as error:
        shown = "".join(traceback.format_exception(error))
        assert "got float64 with 2 dimensions" in shown
        assert "got float64" not in str(error)


def test_wrapped_conversion_error_keeps_its_cause():
    with pytest.raises(TypeError) as caught:
        kp.add([1.0], F32)
    cause = caught.value.__cause__
    assert type(cause) is TypeError
    assert str(cause) == "'list' object cannot be converted to 'PyArray<T, D>'"


def test_numerical_failures_carry_no_note():
    """The arguments had the right form; their values defeated the method."""
    with pytest.raises(np.linalg.LinAlgError) as caught:
        kp.cholesky(np.array([[1.0, 2.0], [2.0, 1.0]]))
    assert not hasattr(caught.value, "__notes__")
