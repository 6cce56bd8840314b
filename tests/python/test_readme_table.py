"""The README's function table stays true: its rows follow `__all__`,
numbered from 1."""

import pathlib
import re

import kavo_python

README = pathlib.Path(__file__).resolve().parents[2] / "README.md"
ROW = re.compile(r"^\| (\d+) \| `(\w+)\(.*?\)` \|.*\|$")


def table_rows():
    return [ROW.match(line).groups() for line in README.read_text().splitlines() if ROW.match(line)]


def test_rows_follow_the_module_order():
    assert [name for _, name in table_rows()] == kavo_python.__all__
    assert [int(number) for number, _ in table_rows()] == list(range(1, len(kavo_python.__all__) + 1))
