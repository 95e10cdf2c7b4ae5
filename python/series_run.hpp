// One run of the package over one log: where its bytes come from, kept for
// the run, and the core's run, which goes on from block to block with one
// reference second.
#pragma once

#include "run/log_source.hpp"
#include "run/run.hpp"

#include <Python.h>

#include <cstddef>

// The log's bytes in memory (bytes, bytearray, memoryview), held for the run
// so that a bytearray cannot be resized under it.
struct memory_source {
    Py_buffer view;
    bool held;
    std::size_t taken;
};

// An exception taken out of the interpreter's hands, to be raised again.
struct kept_exception {
    PyObject* type;
    PyObject* value;
    PyObject* trace;
};

// A binary file object, read through its read method with the GIL taken.
// What it raised is raised again once the run has stopped.
struct file_object_source {
    PyObject* read;
    bool failed;
    kept_exception failure;
};

// Made zeroed (value-initialised) and never moved: the run's source points
// into it. Its references to Python objects are its own.
struct series_run {
    log_source log;
    log_run* converting;  // the core's run, from start_series_run on
    bool ended;           // the log is read to its end, or the run failed
    int fd;               // a path's descriptor, else -1
    PyObject* name;       // a path as given, for messages; else None
    memory_source memory;
    file_object_source file;

    series_run() = default;
    series_run(const series_run&) = delete;
    series_run& operator=(const series_run&) = delete;
    ~series_run();
};

// The functions below work through Python's C API, with the GIL held, and
// give false with a Python exception set when they fail.

// What a call asks of its run besides its source: the zone (a str or None),
// whether every line must be a record, the threads that convert (0 for one
// a processor) and the bytes of a chunk (0 for the default).
struct series_choices {
    PyObject* tz;
    bool strict;
    unsigned threads;
    std::size_t chunk_size;
};

// Kinds of source: "path" (source is os.fsencode of name), "bytes" or
// "file". Raises as open() does for a path.
bool start_series_run(series_run& r, run_choices choices, const char* kind, PyObject* source,
                      PyObject* name, const series_choices& asked);

// Fills up to room rows and counts them, fewer only at the log's end. The
// GIL is released while a block is converted; between blocks a signal
// raises (KeyboardInterrupt on Ctrl-C). A failed read, a corrupt archive, an
// unusable zone file or, in a strict run, a line that is not a record raise.
bool fill_rows(series_run& r, series_row* rows, std::size_t room, std::size_t& count);
