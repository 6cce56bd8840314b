import numpy as np
import pytest

import kavo_python as kp
from hard_matrices import general_cases, symmetric_indefinite_cases

EPS = np.finfo(float).eps

rng = np.random.default_rng(606)
CASES = (
    [(f"general_{name}", a) for name, a in general_cases()]
    + [(f"symmetric_{name}", a) for name, a in symmetric_indefinite_cases()]
    + [
        ("wide", rng.standard_normal((3, 71))),
        ("tall", rng.standard_normal((1000, 1))),
        ("row", rng.standard_normal((1, 1000))),
        ("integers", rng.integers(-50, 50, (37, 41)).astype(np.float64)),
    ]
)
IDS = [name for name, _ in CASES]
MATRICES = [a for _, a in CASES]

def frobenius(a):
    with np.errstate(over="ignore"):  # the near-overflow cases reach inf, as kp does
        return np.linalg.norm(a, "fro")


# Order strings by the quantity they name, with NumPy's value of it.
KINDS = [
    ((None, "fro", "2", "l2"), lambda a: frobenius(a)),
    (("max", "inf"), lambda a: np.abs(a).max() if a.size else 0.0),
    (("1", "l1"), lambda a: np.abs(a).sum()),
]
ALL_ORDERS = [order for orders, _ in KINDS for order in orders]


def agrees(got, reference, terms):
    """Within the rounding of summing `terms` non-negative terms in another order."""
    if not np.isfinite(reference):
        return got == reference
    return abs(got - reference) <= max(terms, 1) * EPS * abs(reference)


@pytest.mark.parametrize("a", MATRICES, ids=IDS)
def test_each_order_matches_numpy_and_its_synonyms(a):
    for orders, reference in KINDS:
        values = [kp.norm(a, order) for order in orders]
        assert all(type(v) is float for v in values)
        # Synonyms run the same computation: identical bits.
        assert len(set(values)) == 1, (orders, values)
        assert agrees(values[0], reference(a), a.size), (orders, values[0], reference(a))
    assert kp.norm(a) == kp.norm(a, ord=None) == kp.norm(a, "fro")
    # The largest magnitude is exact.
    assert kp.norm(a, "max") == (np.abs(a).max() if a.size else 0.0)


@pytest.mark.parametrize("shape", [(0, 0), (0, 4), (4, 0)])
def test_empty_matrix_gives_zero(shape):
    a = np.empty(shape)
    for order in ALL_ORDERS:
        value = kp.norm(a, order)
        assert type(value) is float and value == 0.0


@pytest.mark.parametrize("order", ["nuc", "", "F", "FRO", "Fro", "inf ", "-inf", "L1", "2.0", "fro\0", "\ud800"])
def test_unknown_order_strings_are_rejected_with_the_string_verbatim(order):
    with pytest.raises(ValueError) as error:
        kp.norm(np.eye(3), order)
    assert str(error.value) == f"Unsupported norm order: {order}"
    assert error.value.__cause__ is None


@pytest.mark.parametrize("order", [2, 1.0, np.inf, b"fro", ["fro"]])
def test_non_string_orders_fail_in_argument_extraction(order):
    with pytest.raises(TypeError) as error:
        kp.norm(np.eye(3), order)
    assert str(error.value) == f"argument 'ord': '{type(order).__qualname__}' object cannot be converted to 'PyString'"


def test_orders_are_entrywise_unlike_numpy_matrix_norms():
    a = np.array([[1.0, -2.0], [3.0, 4.0]])
    # Entrywise here: sqrt(1 + 4 + 9 + 16), max |a_ij|, sum |a_ij|.
    assert kp.norm(a, "2") == np.sqrt(30.0)
    assert kp.norm(a, "inf") == 4.0
    assert kp.norm(a, "1") == 10.0
    # numpy.linalg.norm's ord=2, inf, 1 are the spectral norm, the largest
    # row sum and the largest column sum.
    assert np.linalg.norm(a, 2) < np.sqrt(30.0) - 1e-3
    assert np.linalg.norm(a, np.inf) == 7.0
    assert np.linalg.norm(a, 1) == 6.0


def test_large_entries_overflow_the_frobenius_norm():
    a = np.full((3, 4), 1e200)
    a[1, 2] = -1e200
    assert kp.norm(a, "fro") == np.inf
    assert kp.norm(a, "max") == 1e200
    assert agrees(kp.norm(a, "l1"), 12e200, a.size)


@pytest.mark.parametrize("special, expected", [(np.nan, np.nan), (-np.inf, np.inf)])
def test_nan_and_infinity_anywhere_reach_every_order_as_in_numpy(special, expected):
    base = rng.standard_normal((19, 23))
    for position in [(0, 0), (9, 11), (18, 22), (3, 22)]:
        a = base.copy()
        a[position] = special
        for orders, reference in KINDS:
            assert np.array_equal(reference(a), expected, equal_nan=True)
            for order in orders:
                value = kp.norm(a, order)
                assert np.array_equal(value, expected, equal_nan=True), (position, order, value)


def test_views_are_read_in_place_and_must_be_c_contiguous():
    storage = rng.standard_normal((10, 12))
    # A C-contiguous view at an offset into a larger buffer.
    inner = storage[3:7]
    assert inner.flags.c_contiguous and not inner.flags.owndata
    for orders, reference in KINDS:
        assert agrees(kp.norm(inner, orders[0]), reference(inner), inner.size)
    with pytest.raises(ValueError, match=r"^a must be C-contiguous(\n|$)"):
        kp.norm(storage.T)
    assert kp.norm(np.ascontiguousarray(storage.T), "max") == kp.norm(storage, "max")
