// One run of the package over one log: where its bytes come from, kept for
// the run, and the loop's state, which goes on from block to block with one
// reference second.
#pragma once

#include "filter_loop.hpp"
#include "input/log_input.hpp"
#include "record/record_check.hpp"
#include "series_blocks.hpp"
#include "zone_turn.hpp"

#include <pybind11/pybind11.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The log's bytes in memory (bytes, bytearray, memoryview), held for the run
// so that a bytearray cannot be resized under it.
struct memory_source {
    Py_buffer view;
    bool held;
    std::size_t taken;
};

// A binary file object, read through its read method with the GIL taken.
// What it raised is raised again once the loop has stopped.
struct file_object_source {
    pybind11::object read;
    std::optional<pybind11::error_already_set> failure;
};

// Made zeroed (value-initialised) and never moved: the reader's source points
// into it.
struct series_run {
    filter_loop::run_state run;
    log_input input;
    record_tally tally;
    zone_setting zone;
    bool strict;
    bool started;  // the zone read and the target chosen, at the first block
    bool ended;    // the log is read to its end, or the run failed
    std::int64_t target;
    int fd;                 // a path's descriptor, else -1
    pybind11::object name;  // a path as given, for messages; else None
    memory_source memory;
    file_object_source file;

    series_run() = default;
    series_run(const series_run&) = delete;
    series_run& operator=(const series_run&) = delete;
    ~series_run();
};

// Kinds of source: "path" (path is os.fsencode of name), "bytes" or "file".
// Raises as open() does for a path, TypeError for a source of another kind
// and ValueError for a zone that TZ cannot hold.
void start_series_run(series_run& r, const std::string& kind, const pybind11::object& source,
                      const pybind11::object& name, const std::optional<std::string>& tz,
                      bool strict);

// Fills up to room rows and gives how many, fewer only at the log's end. The
// GIL is released while a block is converted; between blocks a signal
// raises (KeyboardInterrupt on Ctrl-C). A failed read, a corrupt archive, an
// unusable zone file or, in a strict run, a line that is not a record raise.
std::size_t fill_rows(series_run& r, series_row* rows, std::size_t room);
