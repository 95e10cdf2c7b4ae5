"""The series of a log of time-stamped instrument records, as numpy arrays.

The same conversion as the ``stamp_series`` filter, from the same code, without
the round trip through text::

    import stamp_series
    a = stamp_series.read_series("run.log")                 # a numpy structured array
    a = stamp_series.read_series("run.log.gz", tz="Europe/Berlin")
    a = stamp_series.read_series(data)                       # bytes, bytearray or memoryview
    with open("run.log", "rb") as f:
        a = stamp_series.read_series(f)                      # a binary file object
    for block in stamp_series.iter_series("huge.log", lines=65536):   # one run, in blocks
        ...
    df = stamp_series.read_frame("run.log")                   # a pandas DataFrame

Each row is one line of the filter's output, in the order of its columns
(``dtype`` below):

``elapsed``          float64: seconds since the first record's whole second, the
                     very double the filter prints with "%.3f"
``channel_1`` to ``channel_3``  int32
``twice_channel_4``  int32: twice channel 4, wrapped in 32 bits as the filter
                     wraps it

so ``"%.3f %d %d %d %d\\n" % tuple(row)`` is the filter's line, byte for byte.
The filter's rules hold: input is read in pieces of at most 130 bytes, a
field that a line leaves out keeps the line before's value, each record is
converted under the daylight-saving flag that the record before left, and
the first line fixes the reference second. A log compressed with gzip, xz or
zstd is decompressed, whatever its name.

The source is a path (``str`` or ``os.PathLike``), the log's bytes (``bytes``,
``bytearray`` or a contiguous ``memoryview``), or a binary file object, read
with ``read(size)`` in chunks.

Time zone: with ``tz=None`` records are local times of the process's zone, as
for the filter: ``TZ`` from the environment, else ``/etc/localtime``. With
``tz="Europe/Berlin"`` they convert as under ``TZ=Europe/Berlin``. The C
library holds one zone for the whole process, so a call sets ``TZ``, calls
``tzset``, converts and restores both, under a lock that every call of this
package takes; other threads that use the C library's time functions
(``time.localtime``, ``time.mktime``, ...) meanwhile see that zone. A run
keeps the zone it started with, so ``iter_series`` converts every block in
it. ``mktime``'s answer for a time that the clocks show twice depends on the
offset its previous call found, which the C library keeps for the process
too: each run starts from a fresh process's, as the filter does, and each
block from the one its block before left, even where another run of this
package converted in between. ``mktime`` called outside the package (a
``time.mktime`` in another thread while a block converts, or between two
blocks of ``iter_series``) may move a record of a repeated hour to the other
side of the change.

Errors are exceptions, never a short result: FileNotFoundError,
IsADirectoryError, PermissionError and other OSErrors (with their errno) for
a log that cannot be read; EOFError for a compressed log cut short and
OSError (EBADMSG) for corrupt compressed data; OSError naming the zone file
for a zone file that the C library cannot use; TypeError for an argument of
the wrong type, a file object open in text mode among them (open the log
with ``"rb"``); ValueError, with the line number and the reason, for a line
that is not a record when ``strict=True``; KeyboardInterrupt on Ctrl-C,
between blocks. Whatever the file object's ``read`` raises is raised. A
child that ``os.fork`` makes while another thread converts can convert.

Threads: each call converts on every processor the process may run on (or
``threads=N``; ``threads=1`` is the calling thread alone), the log cut into
chunks of ``chunk_size`` bytes (1 MiB by default) that threads convert at
once; the rows are byte for byte those of one thread. On several threads,
with ``TZ`` unset, ``/etc/localtime`` is read once, as the call starts.

The GIL is released while each block is parsed and converted (it is taken
again for each read of a file object).
"""

import io
import operator
import os

from . import _native

__all__ = ["dtype", "read_series", "iter_series", "read_frame"]

#: The version of the package, the project's.
__version__ = _native.version

#: The rows' numpy dtype: elapsed (float64), channel_1, channel_2, channel_3,
#: twice_channel_4 (int32), 24 bytes without padding.
dtype = _native.row_dtype


def _count(name, value):
    """None, or a whole number of at least 1 (0 tells the module: its default)."""
    if value is None:
        return 0
    value = operator.index(value)
    if value < 1:
        raise ValueError(f"{name} must be at least 1, not {value}")
    return value


def _start(source, tz, strict, threads, chunk_size):
    if tz is not None and not isinstance(tz, str):
        raise TypeError(f"tz must be a str or None, not {type(tz).__name__}")
    if not isinstance(strict, bool):
        raise TypeError(f"strict must be a bool, not {type(strict).__name__}")
    how = (tz, strict, _count("threads", threads), _count("chunk_size", chunk_size))
    if isinstance(source, (bytes, bytearray, memoryview)):
        if isinstance(source, memoryview) and not source.c_contiguous:
            raise TypeError("a memoryview of the log's bytes must be contiguous")
        return _native.series_run("bytes", source, None, *how)
    if isinstance(source, (str, os.PathLike)):
        path = os.fsencode(source)
        if b"\0" in path:
            raise ValueError("embedded null byte in the path")
        return _native.series_run("path", path, source, *how)
    if isinstance(source, io.TextIOBase):
        raise TypeError("the file object is open in text mode: open the log in binary mode ('rb')")
    if callable(getattr(source, "read", None)):
        return _native.series_run("file", source, None, *how)
    raise TypeError(
        "source must be a path, the log's bytes or a binary file object, "
        f"not {type(source).__name__}"
    )


def read_series(source, *, tz=None, strict=False, threads=None, chunk_size=None):
    """The series of the whole log, as a numpy structured array of ``dtype``.

    ``tz``: the zone, as a ``TZ`` value; None for the process's zone.
    ``strict``: raise ValueError on the first line that is not a record (as
    the log command defines one) instead of converting it as the filter does.
    ``threads``: the threads that convert; None for one for each processor
    the process may run on, 1 for the calling thread alone. The rows are the
    same on any number.
    ``chunk_size``: the bytes of the log that a thread takes at a time, when
    there are several; None for the default (1 MiB).
    """
    return _start(source, tz, strict, threads, chunk_size).read_all()


def iter_series(source, *, lines=65536, tz=None, strict=False, threads=None, chunk_size=None):
    """The series of the log in arrays of ``lines`` rows (the last may have
    fewer), for logs of any length in flat memory.

    The blocks are one run: one reference second, fields and the
    daylight-saving flag carried across blocks, exactly as ``read_series``.
    The source is opened, and arguments checked, at the call.
    """
    lines = operator.index(lines)
    if lines < 1:
        raise ValueError(f"lines must be at least 1, not {lines}")
    run = _start(source, tz, strict, threads, chunk_size)

    def blocks():
        block = run.read_block(lines)
        while block is not None:
            yield block
            block = run.read_block(lines)

    return blocks()


def read_frame(source, *, tz=None, strict=False, threads=None, chunk_size=None):
    """The series as a pandas DataFrame with the columns of ``dtype``."""
    import pandas

    return pandas.DataFrame(
        read_series(source, tz=tz, strict=strict, threads=threads, chunk_size=chunk_size)
    )
