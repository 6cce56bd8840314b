"""Runs every bench_*.py beside this file; each defines run(). The tables
go to the terminal as they are measured, then to results.md (Markdown, the
full record) and results.png (one grid of the ratios, function by size;
matplotlib). `--redraw` only redraws results.png from results.md."""

import argparse
import contextlib
import importlib
import os
import pathlib
import re
import statistics
import sys

# OpenBLAS reads these when NumPy/SciPy load it: unset, the reference runs the
# kernel and cache sizes OpenBLAS picks for this processor (bench_products.py
# reports which kernel that is).
for name in ("OPENBLAS_CORETYPE", "OPENBLAS_L2_SIZE"):
    os.environ.pop(name, None)

here = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(here))

from harness import PrintedRows  # noqa: E402

HEADLINE = "ratio = kavo_python time / NumPy-or-SciPy time, measured in one run (below 1: kavo_python faster)"


def markdown(rows):
    lines = ["# Benchmark results", "", HEADLINE + "."]
    section = None
    for title, function, size, kavo, reference, ratio, note in rows:
        if title != section:
            section = title
            lines += ["", f"## {title}", "", "| function | size | kavo_python | reference | ratio |", "|---|---|---|---|---|"]
        shown = f"{ratio:.2f}" if ratio is not None else note
        lines.append(f"| `{function}` | {size} | {kavo.strip()} | {reference.strip()} | {shown} |")
    return "\n".join(lines) + "\n"


def parse_markdown(text):
    """The rows markdown() wrote, read back from results.md, so the picture
    can be redrawn without measuring again."""
    rows, section = [], None
    for line in text.splitlines():
        if line.startswith("## "):
            section = line[3:].strip()
        elif section and (match := _TABLE_ROW.match(line)):
            function, size, kavo, reference, shown = match.groups()
            try:
                ratio, note = float(shown), ""
            except ValueError:
                ratio, note = None, shown
            rows.append((section, function, size, kavo, reference, ratio, note))
    return rows


_TABLE_ROW = re.compile(r"^\| `(\w+)` \| (.*?) \| (.*?) \| (.*?) \| (.*?) \|$")

# The four elementwise functions measure alike; the picture gives them one
# row per broadcast case, holding the median of their four ratios.
_GROUPED = {name: "add, sub, mul, div" for name in ("add", "sub", "mul", "div")}


def _cell_key(function, size):
    """(row label, size label) of one measured row: a norm's order and an
    elementwise broadcast case go into the row label; sizes are shortened to
    the order n of square matrices and the shapes of the others."""
    label = _GROUPED.get(function, function)
    if match := re.match(r'^"(\w+)"\s+(.*)$', size):
        label, size = f'{function} "{match[1]}"', match[2]
    if match := re.match(r"^(.*), (b .*)$", size):
        label, size = f"{label}, {match[2]}", match[1]
    size = re.sub(r"\s*x\s*", "x", size.strip())
    if match := re.fullmatch(r"(\d+)x(\d+) \. (\d+)x(\d+)", size):  # matmul m x k . k x n
        size = match[1] if len({match[1], match[2], match[4]}) == 1 else f"{match[1]}x{match[2]}\u00b7{match[3]}x{match[4]}"
    elif match := re.fullmatch(r"(\d+)x(\d+) \(x\) (\d+)x(\d+)", size):  # kron
        size = f"{match[1]}\u00b2\u2297{match[3]}\u00b2" if match[1] == match[2] and match[3] == match[4] else size
    elif match := re.fullmatch(r"(\d+)x\1", size):
        size = match[1]
    elif match := re.fullmatch(r"\w+ \((.*)\)", size):  # reductions: "cache (256 Ki)"
        size = match[1]
    return label, size.replace("x", "\u00d7")


def grid(rows):
    """Row labels in order of appearance and, per row, its (size label,
    ratio) cells in order of appearance; grouped rows hold the median."""
    cells = {}
    for _, function, size, _, _, ratio, _ in rows:
        if ratio is None:
            continue
        label, size_label = _cell_key(function, size)
        cells.setdefault(label, {}).setdefault(size_label, []).append(ratio)
    return [(label, [(size, statistics.median(ratios)) for size, ratios in by_size.items()])
            for label, by_size in cells.items()]


def draw(rows, path):
    """One row per function (norm orders and broadcast cases apart), one
    cell per measured size, smallest first: the ratio written in the cell,
    the size under it, the colour from green (kavo_python faster) through
    yellow (even) to red (slower) on a log scale."""
    import matplotlib
    import numpy as np

    matplotlib.use("Agg")
    import matplotlib.colors
    import matplotlib.pyplot as plt

    table = grid(rows)
    if not table:
        return False
    columns = max(len(cells) for _, cells in table)
    log_ratios = np.full((len(table), columns), np.nan)
    for i, (_, cells) in enumerate(table):
        for j, (_, ratio) in enumerate(cells):
            log_ratios[i, j] = np.log2(ratio)
    limit = 3.0  # colours saturate at 8x either way
    colours = plt.get_cmap("RdYlGn_r")
    norm = matplotlib.colors.Normalize(-limit, limit)
    figure, axes = plt.subplots(figsize=(1.9 + 1.0 * columns, 0.9 + 0.34 * len(table)))
    axes.imshow(np.ma.masked_invalid(log_ratios), cmap=colours, norm=norm, aspect="auto")
    for i, (_, cells) in enumerate(table):
        for j, (size, ratio) in enumerate(cells):
            ink = "white" if abs(np.log2(ratio)) > 0.7 * limit else "black"
            axes.text(j, i - 0.13, f"{ratio:.2f}", ha="center", va="center", fontsize=10.5, weight="bold", color=ink)
            axes.text(j, i + 0.27, size, ha="center", va="center", fontsize=7.5, color=ink)
    axes.set_yticks(range(len(table)), [label for label, _ in table], fontsize=10)
    axes.set_xticks([])
    axes.set_xticks(np.arange(-0.5, columns), minor=True)
    axes.set_yticks(np.arange(-0.5, len(table)), minor=True)
    axes.grid(which="minor", color="white", linewidth=2)
    axes.tick_params(which="both", length=0)
    for spine in axes.spines.values():
        spine.set_visible(False)
    axes.set_xlabel("sizes measured, smallest first: n of an n \u00d7 n matrix, the shape, or the element count (Ki, Mi)\n"
                    "add, sub, mul, div: the median of the four; every time is in bench/results.md", fontsize=9)
    axes.set_title("kavo_python time / NumPy-or-SciPy time (below 1: kavo_python faster)", fontsize=11)
    figure.tight_layout()
    figure.savefig(path, dpi=100)
    plt.close(figure)
    return True


def main(argv=None):
    parser = argparse.ArgumentParser(description="kavo_python against NumPy/SciPy, as time ratios")
    parser.add_argument("--redraw", action="store_true", help="redraw results.png from results.md; measure nothing")
    if parser.parse_args(argv).redraw:
        draw(parse_markdown((here / "results.md").read_text()), here / "results.png")
        print(f"wrote {here / 'results.png'}")
        return
    printed = PrintedRows(sys.stdout)
    with contextlib.redirect_stdout(printed):
        print(HEADLINE)
        for path in sorted(here.glob("bench_*.py")):
            importlib.import_module(path.stem).run()
    (here / "results.md").write_text(markdown(printed.rows))
    print(f"\nwrote {here / 'results.md'}")
    if draw(printed.rows, here / "results.png"):
        print(f"wrote {here / 'results.png'}")


if __name__ == "__main__":
    main()
