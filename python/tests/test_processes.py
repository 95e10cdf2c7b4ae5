"""stamp_series across processes: a child forked while another thread
converts, and many logs on a dask cluster of worker processes."""

import os
import signal
import threading
import time

import pytest

import stamp_series
from test_series import NEW_YORK, SAMPLE, formatted, reference_output


# Python 3.12 and later warn of any fork in a process with threads.
@pytest.mark.filterwarnings("ignore::DeprecationWarning")
def test_a_child_forked_while_another_thread_converts_converts_in_the_process_zone(monkeypatch):
    # The thread converts in a zone of its own, so that a fork in its turn
    # would find TZ set to that zone and the lock held by a thread that the
    # child does not have.
    monkeypatch.setenv("TZ", "Europe/Berlin")
    time.tzset()
    expected = reference_output(NEW_YORK, "Europe/Berlin")
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
                signal.alarm(10)  # a child that hangs ends by SIGALRM
                try:
                    os._exit(0 if formatted(stamp_series.read_series(NEW_YORK)) == expected else 1)
                finally:
                    os._exit(2)
            codes.append(os.waitstatus_to_exitcode(os.waitpid(pid, 0)[1]))
    finally:
        stop.set()
        converting.join()
    assert codes == [0] * 5


def test_many_logs_on_a_dask_cluster_one_partition_each(tmp_path):
    dataframe = pytest.importorskip("dask.dataframe")
    distributed = pytest.importorskip("distributed")
    lines = SAMPLE.read_bytes().splitlines(keepends=True)
    logs = [b"".join(lines[60 * n:] + lines[:60 * n]) for n in range(4)]
    paths = [tmp_path / f"run {n}.log" for n in range(4)]
    for path, log in zip(paths, logs):
        path.write_bytes(log)
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster, distributed.Client(cluster):
        frame = dataframe.from_map(stamp_series.read_frame, [str(path) for path in paths])
        partitions = [part.compute() for part in frame.to_delayed()]
    assert [formatted(part.to_records(index=False)) for part in partitions] == [
        reference_output(log, os.environ.get("TZ")) for log in logs]
