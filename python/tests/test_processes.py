"""stamp_series across processes: a child forked while another thread
converts, and many logs on a dask cluster of worker processes."""

import ctypes
import os
import signal
import threading
import time

import pytest

import stamp_series
from test_series import NEW_YORK, SAMPLE, formatted, reference_output


def exit_code(pid, seconds=10):
    """The child's exit code, or "hung" once it has had its seconds."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        done, status = os.waitpid(pid, os.WNOHANG)
        if done:
            return os.waitstatus_to_exitcode(status)
        time.sleep(0.01)
    os.kill(pid, signal.SIGKILL)
    os.waitpid(pid, 0)
    return "hung"


# Python 3.12 and later warn of any fork in a process with threads.
@pytest.mark.filterwarnings("ignore::DeprecationWarning")
def test_a_child_forked_while_another_thread_converts_converts_in_the_process_zone(monkeypatch):
    # The thread converts in its own zone, so that a fork during its turn
    # finds TZ set to that zone and the lock held by a thread the child
    # does not have.
    monkeypatch.setenv("TZ", "Europe/Berlin")
    time.tzset()
    expected = reference_output(NEW_YORK, "Europe/Berlin")
    getenv = ctypes.CDLL(None).getenv
    getenv.restype = ctypes.c_char_p
    long_log = SAMPLE.read_bytes() * 500
    stop = threading.Event()

    def convert():
        while not stop.is_set():
            stamp_series.read_series(long_log, tz="America/New_York")

    converting = threading.Thread(target=convert)
    converting.start()
    codes = []
    try:
        for _ in range(5):
            time.sleep(0.01)
            pid = os.fork()
            if pid == 0:
                code = 1
                try:
                    rows = stamp_series.read_series(NEW_YORK)
                    code = 2 if getenv(b"TZ") != b"Europe/Berlin" else 3 if formatted(rows) != expected else 0
                finally:
                    os._exit(code)
            codes.append(exit_code(pid))
    finally:
        stop.set()
        converting.join()
    assert codes == [0] * 5


def test_many_logs_on_a_dask_cluster_one_partition_each(tmp_path):
    dataframe = pytest.importorskip("dask.dataframe")
    distributed = pytest.importorskip("distributed")
    lines = SAMPLE.read_bytes().splitlines(keepends=True)
    paths = []
    for n in range(4):
        path = tmp_path / f"run {n}.log"
        path.write_bytes(b"".join(lines[60 * n:] + lines[:60 * n]))
        paths.append(str(path))
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster, distributed.Client(cluster):
        frame = dataframe.from_map(stamp_series.read_frame, paths)
        partitions = [part.compute() for part in frame.to_delayed()]
    assert len(partitions) == len(paths)
    for path, part in zip(paths, partitions):
        log = open(path, "rb").read()
        assert formatted(part.to_records(index=False)) == reference_output(log, os.environ.get("TZ")), path
