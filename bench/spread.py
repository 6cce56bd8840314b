"""Side-by-side timing that also reports the spread: each case's median and
90th percentile over its timed batches, for both sides.

The printed rows keep harness.Report's five columns first (function, size,
the two medians, their ratio), so run_all.py records them like every other
row; the 90th percentiles and their ratio follow. Batches alternate between
the two sides as in harness.measure, with the same settle pause before long
calls.
"""

import statistics

from harness import Report, SETTLE_SECONDS, _batch_seconds, _loops_for, _settled_batch, format_seconds

BATCHES = 11


def percentile(values, fraction):
    """The value below which `fraction` of the sorted values lie (nearest rank)."""
    ordered = sorted(values)
    rank = max(1, -(-int(round(fraction * 1000)) * len(ordered) // 1000))
    return ordered[min(rank, len(ordered)) - 1]


def measure_spread(kavo_call, reference_call, batches=BATCHES):
    """(median, 90th percentile) seconds per call of both sides."""
    kavo_call()
    reference_call()
    kavo_loops = _loops_for(kavo_call)
    reference_loops = _loops_for(reference_call)
    settle = SETTLE_SECONDS if _batch_seconds(kavo_call, 1) > 50e-6 else 0.0
    kavo_times, reference_times = [], []
    for _ in range(batches):
        kavo_times.append(_settled_batch(kavo_call, kavo_loops, settle))
        reference_times.append(_settled_batch(reference_call, reference_loops, settle))
    return ((statistics.median(kavo_times), percentile(kavo_times, 0.9)),
            (statistics.median(reference_times), percentile(reference_times, 0.9)))


class SpreadReport(Report):
    def __init__(self, title):
        print(f"\n== {title}")
        print(f"{'function':<16} {'size':<22} {'kavo_python':>12} {'reference':>12} {'ratio':>7}"
              f"   {'p90 kavo':>12} {'p90 ref':>12} {'p90 ratio':>9}")

    def spread_row(self, function, size, kavo, reference):
        (kavo_median, kavo_p90), (reference_median, reference_p90) = kavo, reference
        print(
            f"{function:<16} {size:<22} {format_seconds(kavo_median):>12} "
            f"{format_seconds(reference_median):>12} {kavo_median / reference_median:7.2f}"
            f"   {format_seconds(kavo_p90):>12} {format_seconds(reference_p90):>12} {kavo_p90 / reference_p90:9.2f}"
        )


def run_cases_with_spread(title, cases):
    """cases: (function name, size label, kavo call, reference call) tuples."""
    report = SpreadReport(title)
    for function, size, kavo_call, reference_call in cases:
        report.spread_row(function, size, *measure_spread(kavo_call, reference_call))
