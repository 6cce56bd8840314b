"""bench/results.png is redrawn from bench/results.md alone
(`bench/run_all.py --redraw`): the table reads back into the rows it was
written from, and every measured row lands in one cell of the picture's grid."""

import pathlib
import sys

BENCH = pathlib.Path(__file__).resolve().parents[2] / "bench"
sys.path.insert(0, str(BENCH))

import run_all  # noqa: E402


def test_results_table_reads_back_into_the_rows_it_was_written_from():
    text = (BENCH / "results.md").read_text()
    rows = run_all.parse_markdown(text)
    assert rows
    assert run_all.markdown(rows) == text


def test_each_measured_row_is_one_cell_of_the_grid():
    rows = [
        ("Elementwise", "add", "8 x 8", "1 us", "2 us", 0.5, ""),
        ("Elementwise", "mul", "8 x 8", "3 us", "2 us", 1.5, ""),
        ("Elementwise", "sub", "8 x 8", "3 us", "2 us", 1.4, ""),
        ("Elementwise", "add", "8 x 8, b row", "1 us", "2 us", 0.5, ""),
        ("Norms", "norm", '"fro"       100 x 100', "1 us", "2 us", 0.5, ""),
        ("Products", "matmul", "4096x64 . 64x4096", "1 s", "1 s", 1.0, ""),
        ("Products", "matmul", "64x64 . 64x64", "1 s", "2 s", 0.5, ""),
        ("QR", "qr", "2000 x 200", "1 s", "2 s", 0.5, ""),
        ("Reductions", "sum", "cache (256 Ki)", "1 s", "2 s", 0.5, ""),
        ("SVD", "svd", "-", "", "", None, "not built yet"),
    ]
    assert run_all.grid(rows) == [
        ("add, sub, mul, div", [("8", 1.4)]),
        ("add, sub, mul, div, b row", [("8", 0.5)]),
        ('norm "fro"', [("100", 0.5)]),
        ("matmul", [("4096\u00d764\u00b764\u00d74096", 1.0), ("64", 0.5)]),
        ("qr", [("2000\u00d7200", 0.5)]),
        ("sum", [("256 Ki", 0.5)]),
    ]
