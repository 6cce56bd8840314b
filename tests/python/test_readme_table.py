"""The README's function table stays true: its rows follow `__all__`, and a
function is marked available exactly when calling it does something other
than raise NotImplementedError."""

import pathlib
import re

import pytest

import kavo_python
from conftest import valid_arguments

README = pathlib.Path(__file__).resolve().parents[2] / "README.md"
ROW = re.compile(r"^\| (\d+) \| `(\w+)\(.*?\)` \|.*\| (yes|not yet) \|$")


def table_rows():
    return [ROW.match(line).groups() for line in README.read_text().splitlines() if ROW.match(line)]


def test_rows_follow_the_module_order():
    assert [name for _, name, _ in table_rows()] == kavo_python.__all__
    assert [int(number) for number, _, _ in table_rows()] == list(range(1, len(kavo_python.__all__) + 1))


@pytest.mark.parametrize("number, name, available", table_rows())
def test_available_column_matches_the_module(number, name, available):
    try:
        getattr(kavo_python, name)(*valid_arguments(name))
        built = True
    except NotImplementedError:
        built = False
    except ValueError:
        built = True  # computed far enough to judge its input
    assert built == (available == "yes"), name
