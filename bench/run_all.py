"""Runs every bench_*.py beside this file; each defines run(). The tables
go to the terminal as they are measured, then to results.md (Markdown) and
results.png (the ratio per function and size on a log scale; matplotlib)."""

import contextlib
import importlib
import os
import pathlib
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


def draw(rows, path):
    """One horizontal bar per function and size: the ratio on a log axis,
    with the line at 1 (left of it kavo_python is faster)."""
    import matplotlib
    import matplotlib.ticker

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    measured = [row for row in rows if row[5] is not None]
    if not measured:
        return False
    labels = [f"{function}  {size}" for _, function, size, _, _, _, _ in measured]
    ratios = [row[5] for row in measured]
    colors = ["tab:green" if ratio <= 1 else "tab:red" for ratio in ratios]
    figure, axes = plt.subplots(figsize=(9, 1.5 + 0.22 * len(measured)))
    positions = range(len(measured))
    # Bars start at 1, so each reaches out to its ratio: left is faster.
    axes.barh(positions, [ratio - 1.0 for ratio in ratios], left=1.0, color=colors)
    axes.set_xscale("log")
    axes.xaxis.set_major_locator(matplotlib.ticker.LogLocator(base=10, subs=(1.0, 2.0, 5.0)))
    axes.xaxis.set_major_formatter(matplotlib.ticker.FuncFormatter(lambda value, _: f"{value:g}"))
    axes.xaxis.set_minor_formatter(matplotlib.ticker.NullFormatter())
    axes.axvline(1.0, color="black", linewidth=1)
    axes.set_yticks(list(positions), labels, fontsize=7)
    axes.set_ylim(len(measured) - 0.5, -0.5)  # first row on top, no empty margins
    low, high = min(ratios), max(ratios)
    axes.set_xlim(min(0.5, low / 1.5), max(2.0, high * 1.5))
    axes.set_xlabel("kavo_python time / NumPy-or-SciPy time (log scale; below 1: kavo_python faster)")
    axes.set_title("kavo_python against NumPy/SciPy, ratio of medians")
    axes.grid(axis="x", which="both", alpha=0.3)
    figure.tight_layout()
    figure.savefig(path, dpi=110)
    plt.close(figure)
    return True


def main():
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
