"""The Python package on a log: read_series (on every processor, and on one
thread) and read_frame against the filter to /dev/null, round by round, interleaved, each ratio the median of the
ratios within a round; where pandas is installed, pandas' own read_csv and
to_datetime once beside them; then peak memory: read_series against the
size of its result, iter_series (blocks of 65536 rows) against a log a
hundredth as long. TZ is unset throughout, as for bench/run's filter runs.

usage: python_series.py PACKAGE_DIR FILTER LOG SMALL_LOG ROUNDS
(run by bench/run with Debian's python3; PACKAGE_DIR holds stamp_series)
"""

import os
import statistics
import subprocess
import sys
import time

package_dir, filter_path, log, small_log, rounds = sys.argv[1:]
os.environ.pop("TZ", None)
sys.path.insert(0, package_dir)
import stamp_series  # noqa: E402

try:
    import pandas
except ImportError:
    pandas = None


def seconds(run):
    start = time.perf_counter()
    run()
    return time.perf_counter() - start


def filter_to_null():
    with open(log, "rb") as records:
        subprocess.run([filter_path], stdin=records, stdout=subprocess.DEVNULL)


def pandas_alone():
    """What a notebook does without the package: parse, then convert the dates."""
    names = ["weekday", "month", "day", "time", "year", "ms", "c1", "c2", "c3", "c4"]
    frame = pandas.read_csv(log, sep=r"\s+", header=None, names=names)
    stamps = pandas.to_datetime(
        frame.weekday + " " + frame.month + " " + frame.day.astype(str) + " " + frame.time
        + " " + frame.year.astype(str), format="%a %b %d %H:%M:%S %Y")
    return (stamps - stamps[0]).dt.total_seconds() + frame.ms / 1000


runs = {"filter": filter_to_null,
        "read_series": lambda: stamp_series.read_series(log),
        "read_series_1": lambda: stamp_series.read_series(log, threads=1)}
if pandas is not None:
    runs["read_frame"] = lambda: stamp_series.read_frame(log)
times = {name: [] for name in runs}
for _ in range(int(rounds)):
    for name, run in runs.items():
        times[name].append(seconds(run))

print(f"\n{'Python package':<22} {'median ms':>10} {'min-max ms':>14}")
for name, taken in times.items():
    low, high = min(taken) * 1000, max(taken) * 1000
    print(f"{name:<22} {statistics.median(taken) * 1000:10.0f} {low:8.0f}-{high:.0f}")
threads = len(os.sched_getaffinity(0))
for name, label, target in (("read_series", f"read_series, {threads} threads", 0.45),
                            ("read_series_1", "read_series, 1 thread", 1.0),
                            ("read_frame", f"read_frame, {threads} threads", 1.5)):
    if name in times:
        ratio = statistics.median(b / a for a, b in zip(times["filter"], times[name]))
        print(f"{label + ', against the filter to /dev/null':<50} {ratio:6.2f}x  (target at most {target})")
if pandas is not None:
    print(f"{'pandas read_csv + to_datetime, one run':<50} {seconds(pandas_alone):6.2f} s")

# Peak resident memory of a fresh process that reads the log one way, less
# that of one that stops before reading it. VmHWM rather than ru_maxrss,
# which keeps the peak of the process that forked the child.
MEASURE = """
import sys
sys.path.insert(0, sys.argv[1])
import stamp_series
if sys.argv[2] == "read_series":
    rows = stamp_series.read_series(sys.argv[3])
elif sys.argv[2] == "iter_series":
    for block in stamp_series.iter_series(sys.argv[3]):
        pass
print(open("/proc/self/status").read().split("VmHWM:")[1].split()[0])
"""


def peak_kib(way, path):
    command = [sys.executable, "-c", MEASURE, package_dir, way, path]
    return int(subprocess.run(command, capture_output=True, check=True, text=True).stdout)


base = peak_kib("none", log)
result_kib = len(stamp_series.read_series(log)) * stamp_series.dtype.itemsize / 1024
grown = peak_kib("read_series", log) - base
print(f"\nread_series: peak {grown:.0f} KiB over the interpreter's, result {result_kib:.0f} KiB:"
      f" {grown / result_kib:.2f}x  (target at most 2)")
print(f"iter_series: peak {peak_kib('iter_series', log) - base} KiB over the interpreter's on the log,"
      f" {peak_kib('iter_series', small_log) - base} KiB on one a hundredth as long  (flat)")
