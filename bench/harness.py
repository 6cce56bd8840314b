"""Side-by-side timing of kavo_python against its NumPy/SciPy counterpart.

Both calls of a case run alternately in the same process on the same inputs,
so machine noise hits both; each figure is the median of several timed
batches. The ratio is kavo time / reference time: below 1 means kavo_python
is faster.
"""

import io
import re
import statistics
import sys
import time


def _batch_seconds(call, loops):
    start = time.perf_counter()
    for _ in range(loops):
        call()
    return (time.perf_counter() - start) / loops


def _loops_for(call, budget=0.02):
    """Enough repetitions for one batch to take about `budget` seconds."""
    loops = 1
    while True:
        if _batch_seconds(call, loops) * loops >= budget or loops >= 1 << 20:
            return loops
        loops *= 4


# Seconds to wait before switching sides: OpenBLAS's idle threads spin for
# about 2^28 cycles (~0.1 s here) after each call, and the executor's workers
# briefly too; spinning threads of one side would steal the cores from the
# other side's next batch.
SETTLE_SECONDS = 0.2


def _settled_batch(call, loops, settle):
    if settle:
        time.sleep(settle)
        call()  # wake this side's own threads and the clock after the pause
    return _batch_seconds(call, loops)


def measure(kavo_call, reference_call, batches=7, settle=None):
    """Median seconds per call of both, measured alternately. Batches that
    take long enough to matter are preceded by a settle pause and one warm
    call of their own side (see SETTLE_SECONDS); tiny calls, where the pause
    would dominate the run, are measured back to back."""
    kavo_call()
    reference_call()  # warm caches, page in results, import lazily created state
    kavo_loops = _loops_for(kavo_call)
    reference_loops = _loops_for(reference_call)
    if settle is None:
        start = time.perf_counter()
        kavo_call()
        settle = SETTLE_SECONDS if time.perf_counter() - start > 50e-6 else 0.0
    kavo_times, reference_times = [], []
    for _ in range(batches):
        kavo_times.append(_settled_batch(kavo_call, kavo_loops, settle))
        reference_times.append(_settled_batch(reference_call, reference_loops, settle))
    return statistics.median(kavo_times), statistics.median(reference_times)


def format_seconds(seconds):
    for unit, scale in (("s", 1.0), ("ms", 1e-3), ("us", 1e-6)):
        if seconds >= scale:
            return f"{seconds / scale:8.2f} {unit}"
    return f"{seconds / 1e-9:8.1f} ns"


class Report:
    def __init__(self, title):
        print(f"\n== {title}")
        print(f"{'function':<16} {'size':<22} {'kavo_python':>12} {'reference':>12} {'ratio':>7}")

    def row(self, function, size, kavo_seconds, reference_seconds):
        ratio = kavo_seconds / reference_seconds
        print(
            f"{function:<16} {size:<22} {format_seconds(kavo_seconds):>12} "
            f"{format_seconds(reference_seconds):>12} {ratio:7.2f}"
        )

    def skipped(self, function, reason):
        print(f"{function:<16} {'-':<22} {reason}")


def run_cases(title, cases):
    """cases: (function name, size label, kavo call, reference call) tuples."""
    report = Report(title)
    for function, size, kavo_call, reference_call in cases:
        report.row(function, size, *measure(kavo_call, reference_call))


# One printed row of a report: function, size, both times, ratio. Reports
# with extra columns (throughput) print the same five first.
_TIME = r"\d+\.\d+ (?:s|ms|us|ns)"
_ROW = re.compile(rf"^(\S+)\s+(.*?)\s+({_TIME})\s+({_TIME})\s+(\d+\.\d+)(?:\s|$)")
_SKIPPED = re.compile(r"^(\S+)\s+-\s+(.+)$")


class PrintedRows(io.TextIOBase):
    """Passes everything printed on to `sink` and keeps each report row, so
    every bench file's table can also be written as Markdown and drawn,
    whatever Report subclass printed it. rows: (section title, function,
    size, kavo time text, reference time text, ratio or None, note)."""

    def __init__(self, sink=None):
        self.sink = sink or sys.stdout
        self.rows = []
        self.section = ""
        self._partial = ""

    def writable(self):
        return True

    def write(self, text):
        self.sink.write(text)
        lines = (self._partial + text).split("\n")
        self._partial = lines.pop()
        for line in lines:
            self._keep(line)
        return len(text)

    def flush(self):
        self.sink.flush()

    def _keep(self, line):
        if line.startswith("== "):
            self.section = line[3:].strip()
        elif match := _ROW.match(line):
            function, size, kavo, reference, ratio = match.groups()
            self.rows.append((self.section, function, size, kavo, reference, float(ratio), ""))
        elif self.section and (match := _SKIPPED.match(line)):
            self.rows.append((self.section, match[1], "-", "", "", None, match[2].strip()))
