// The source of a run over a log read whole, for stamp_series_log and the
// Python package: the log's bytes, decompressed where their first bytes are
// those of a gzip, xz or zstd stream, whatever the log's name. It lives in
// the library of the log input, which the filter does not link.
#pragma once

#include "input/log_input.hpp"
#include "run/run.hpp"

// Made zeroed, and kept in place while a run reads it (about 64 KiB).
struct log_source {
    log_input input;
};

// A run's source over the raw bytes; `waits_on` is the descriptor behind
// them, for a read that may wait, or -1.
run_source start_log_source(log_source& log, byte_source raw, int waits_on);

// Frees the decompressor.
void end_log_source(log_source& log);
