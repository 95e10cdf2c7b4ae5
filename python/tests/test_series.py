"""stamp_series against the reference filter's output, byte for byte, once
formatted as the filter formats a line; run by ctest, which names the
fixture cases, the differential harness and the reference filter."""

import gzip
import io
import lzma
import os
import pathlib
import re
import subprocess
import threading
import time

import numpy as np
import pytest

import stamp_series

CASES = pathlib.Path(os.environ["STAMP_SERIES_CASES"])
SAMPLE = CASES.parent.parent / "examples" / "sample.log"
REFERENCE = os.environ["STAMP_SERIES_REFERENCE"]


def formatted(rows):
    return "".join("%.3f %d %d %d %d\n" % row for row in rows.tolist()).encode()


def reference_output(log, tz):
    env = dict(os.environ, TZ=tz) if tz is not None else {}
    return subprocess.run([REFERENCE], input=log, env=env, capture_output=True).stdout


def unescaped(text):
    """A case file's "<" or ">" text as bytes (tests/cases/README.md)."""
    ends_line = not text.endswith(b"\\c")
    text = re.sub(rb"\\x([0-9a-fA-F]{2})", lambda m: bytes([int(m[1], 16)]), text)
    return text + b"\n" if ends_line else text[:-2]


def chunk_sizes(log):
    """Chunks of 1, 2, 3 and 7 lines' worth: 1 byte makes every line a chunk."""
    mean = len(log) // (log.count(b"\n") + 1) + 1
    return [1, 2 * mean, 3 * mean, 7 * mean]


def assert_each_way(source, tz, want, sizes=slice(None)):
    """One thread, then two with each size of chunk asked for, give the
    expected lines."""
    assert formatted(stamp_series.read_series(source, tz=tz, threads=1)) == want
    log = source.read_bytes() if isinstance(source, pathlib.Path) else source
    for size in chunk_sizes(log)[sizes]:
        rows = stamp_series.read_series(source, tz=tz, threads=2, chunk_size=size)
        assert formatted(rows) == want, f"chunks of {size} bytes"


@pytest.mark.parametrize("case", sorted(CASES.glob("*.case")), ids=lambda path: path.stem)
def test_fixture_cases(case, monkeypatch):
    tz, given = None, {b"<": b"", b">": b""}
    for line in case.read_bytes().splitlines():
        key, _, text = line.partition(b" ")
        if key in given:
            given[key] += unescaped(text)
        elif key == b"tz":
            tz = text.decode()
    monkeypatch.delenv("TZ", raising=False)
    assert_each_way(given[b"<"], tz, given[b">"])


def test_differential_corpora(tmp_path, monkeypatch):
    harness = os.environ["STAMP_SERIES_DIFFERENTIAL"].split()
    subprocess.run([*harness, "--write-inputs", tmp_path, REFERENCE], check=True, capture_output=True)
    monkeypatch.delenv("TZ", raising=False)
    logs = sorted(tmp_path.glob("*.log"), key=lambda path: int(path.stem))
    assert len(logs) > 100
    for log in logs:
        tz_file = log.with_suffix(".tz")
        tz = tz_file.read_text() if tz_file.exists() else None
        # Each size of chunk in turn, log by log.
        turn = int(log.stem) % 4
        assert_each_way(log, tz, log.with_suffix(".out").read_bytes(), slice(turn, turn + 1))


class trickle:
    """A file object that gives at most 7 bytes a read."""

    def __init__(self, data):
        self.data = io.BytesIO(data)

    def read(self, size):
        return self.data.read(min(size, 7))


def compressed(data, suffix):
    if suffix == ".zst":
        return subprocess.run(["zstd", "-q", "-c"], input=data, capture_output=True, check=True).stdout
    return {".gz": gzip.compress, ".xz": lzma.compress, "": bytes}[suffix](data)


@pytest.mark.parametrize("suffix", ["", ".gz", ".xz", ".zst"])
@pytest.mark.parametrize("kind", ["str", "pathlib", "bytes", "bytearray", "memoryview", "file", "trickle"])
def test_each_kind_of_source(kind, suffix, tmp_path):
    data = compressed(SAMPLE.read_bytes(), suffix)
    path = tmp_path / ("sample.log" + suffix)
    path.write_bytes(data)
    with open(path, "rb") as file:
        source = {"str": str(path), "pathlib": path, "bytes": data, "bytearray": bytearray(data),
                  "memoryview": memoryview(data), "file": file, "trickle": trickle(data)}[kind]
        rows = stamp_series.read_series(source, tz="UTC")
    assert formatted(rows) == reference_output(SAMPLE.read_bytes(), "UTC")


# Across the New York change to summer time: the flag, blank lines and the
# reference carried from block to block.
NEW_YORK = b"".join(b"Sun Apr 1 %s 2001 %d 1 2 3 %d\n\n" % (t, n, n) for n, t in enumerate(
    [b"00:30:00", b"01:59:59", b"03:00:00", b"03:00:01", b"02:30:00"] * 3))


@pytest.mark.parametrize("lines", [1, 3, 7, 65536])
def test_iter_series_is_one_run_across_blocks(lines):
    blocks = list(stamp_series.iter_series(NEW_YORK, lines=lines, tz="America/New_York"))
    assert [len(block) for block in blocks[:-1]] == [lines] * (len(blocks) - 1)
    assert 1 <= len(blocks[-1]) <= lines
    assert formatted(np.concatenate(blocks)) == reference_output(NEW_YORK, "America/New_York")


def test_iter_series_goes_on_as_one_run_when_another_converts_between_blocks():
    # Moscow put its clocks back from +4 to +3 on 26 October 2014, standard
    # time on both sides; mktime itself takes 01:29:90, whose seconds are out
    # of range, on the side of the offset its previous call found. The run
    # between the blocks leaves it at +3.
    log = b"Sun Oct 26 00:30:00 2014 0 1 2 3 4\nSun Oct 26 01:29:90 2014 0 1 2 3 4\n"
    blocks = []
    for block in stamp_series.iter_series(log, lines=1, tz="Europe/Moscow"):
        blocks.append(block)
        stamp_series.read_series(b"Sun Oct 26 03:00:00 2014 0 1 2 3 4\n", tz="Europe/Moscow")
    assert formatted(np.concatenate(blocks)) == reference_output(log, "Europe/Moscow")


def test_chunks_on_threads_call_mktime_in_the_order_of_one_thread():
    # Moscow's clocks went back from +4 to +3 at 02:00 on 26 October 2014,
    # standard time on both sides: mktime takes 01:30 that night on the side
    # of the offset its previous call in the process found. Between records of
    # both offsets, each line a chunk on two threads, no thread's call may
    # move the side that another chunk's record comes out on.
    times = [b"Sun Oct 26 01:30:00 2014", b"Mon Jul 1 12:00:00 2013", b"Sun Oct 26 01:20:00 2014",
             b"Thu Jan 1 12:00:00 2015", b"Sun Oct 26 01:40:59 2014", b"Sun Oct 26 01:59:60 2014"]
    log = b"".join(b"%s %d 1 2 3 4\n" % (t, n) for n, t in enumerate(times * 40))
    want = stamp_series.read_series(log, tz="Europe/Moscow", threads=1)
    assert formatted(want) == reference_output(log, "Europe/Moscow")
    for _ in range(25):
        rows = stamp_series.read_series(log, tz="Europe/Moscow", threads=2, chunk_size=1)
        assert np.array_equal(rows, want)


@pytest.mark.parametrize("kind", ["path", "file"])
def test_a_run_waiting_on_a_pipe_lets_other_runs_convert(kind):
    read_end, write_end = os.pipe()
    with open(read_end, "rb", buffering=0) as pipe:
        source = f"/proc/self/fd/{read_end}" if kind == "path" else pipe
        blocks = []
        waiting = threading.Thread(target=lambda: blocks.extend(stamp_series.iter_series(source, tz="UTC")))
        other = threading.Thread(target=stamp_series.read_series, args=(SAMPLE,))
        waiting.start()
        time.sleep(0.2)
        other.start()
        other.join(timeout=10)
        other_finished = not other.is_alive()
        os.write(write_end, NEW_YORK)
        os.close(write_end)
        waiting.join()
    assert other_finished
    assert formatted(np.concatenate(blocks)) == reference_output(NEW_YORK, "UTC")


def test_tz_converts_in_that_zone_and_restores_the_process_zone(monkeypatch):
    monkeypatch.setenv("TZ", "America/New_York")
    time.tzset()
    before = time.localtime(0)
    in_utc = stamp_series.read_series(NEW_YORK, tz="UTC")
    assert (os.environ["TZ"], time.localtime(0)) == ("America/New_York", before)
    assert formatted(in_utc) == reference_output(NEW_YORK, "UTC")
    in_process_zone = stamp_series.read_series(NEW_YORK)
    assert formatted(in_process_zone) == reference_output(NEW_YORK, "America/New_York")
    assert formatted(in_process_zone) != formatted(in_utc)


def test_strict_takes_every_row_of_a_log_of_records():
    assert np.array_equal(stamp_series.read_series(SAMPLE, strict=True), stamp_series.read_series(SAMPLE))


def test_read_frame_has_the_same_columns():
    pandas = pytest.importorskip("pandas")
    frame = stamp_series.read_frame(SAMPLE)
    rows = stamp_series.read_series(SAMPLE)
    assert isinstance(frame, pandas.DataFrame)
    assert list(frame.columns) == list(stamp_series.dtype.names)
    assert all(np.array_equal(frame[name].to_numpy(), rows[name]) for name in frame.columns)


class failing_file:
    def read(self, size):
        raise OSError(5, "device gone")


NO_TYPES = b"TZif2" + bytes(39) + b"TZif2" + bytes(39) + b"\nEST5EDT,M3.2.0,M11.1.0\n"
RECORD = b"Mon Sep 17 12:34:56 2001 250 -12 34 -5 170\n"


# What each wrong source or argument raises, and what its message names.
@pytest.mark.parametrize("call, error, message", [
    (lambda tmp: stamp_series.read_series(tmp / "nosuch.log"), FileNotFoundError, "nosuch.log"),
    (lambda tmp: stamp_series.read_series(tmp), IsADirectoryError, "Is a directory"),
    (lambda tmp: stamp_series.read_series("/proc/self/mem"), OSError, "Input/output error"),
    (lambda tmp: stamp_series.read_series(failing_file()), OSError, "device gone"),
    (lambda tmp: stamp_series.read_series(gzip.compress(RECORD * 999)[:-9]), EOFError, "cut short"),
    (lambda tmp: stamp_series.read_series(lzma.compress(RECORD)[:20] + bytes(40)), OSError, "xz data"),
    (lambda tmp: stamp_series.read_series(RECORD, tz=str(tmp / "zone")), OSError, "/zone: zone file has no local time types"),
    (lambda tmp: stamp_series.read_series(42), TypeError, "int"),
    (lambda tmp: stamp_series.read_series(io.StringIO("text")), TypeError, "binary mode ('rb')"),
    (lambda tmp: stamp_series.read_series(io.TextIOWrapper(io.BytesIO(RECORD))), TypeError, "binary mode ('rb')"),
    (lambda tmp: stamp_series.read_series(RECORD, tz=b"UTC"), TypeError, "tz"),
    (lambda tmp: stamp_series.iter_series(RECORD, lines="many"), TypeError, "str"),
    (lambda tmp: stamp_series.iter_series(RECORD, lines=0), ValueError, "at least 1"),
    (lambda tmp: stamp_series.read_series(RECORD + b"Mon Spt 17 1 2 3 4 5 6 7\n", strict=True),
     ValueError, "line 2 is not a record: month 'Spt' unknown"),
])
def test_errors(call, error, message, tmp_path):
    (tmp_path / "zone").write_bytes(NO_TYPES)
    with pytest.raises(error) as raised:
        call(tmp_path)
    assert message in str(raised.value)
