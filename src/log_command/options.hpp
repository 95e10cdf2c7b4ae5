// The command line of stamp_series_log:
//   stamp_series_log [--strict] [-j N] [--chunk-size=BYTES] [--] LOG [SERIES]
//   stamp_series_log --check [-j N] [--chunk-size=BYTES] [--] LOG
//   stamp_series_log -h | --help | --version
#pragma once

#include <cstddef>

struct log_options {
    bool check = false;          // list the lines that are not records; convert nothing
    bool strict = false;         // any line that is not a record fails the run
    unsigned threads = 0;        // -j: threads that convert; 0 for one a processor
    std::size_t chunk_size = 0;  // bytes of a chunk on several threads; 0 for the default
    const char* log = nullptr;
    const char* series = "-";  // "-" is standard output
};

enum class options_verdict { run, help, version, usage_error };

// Reads the arguments into options; on a usage error, one line saying what
// is wrong goes to error_fd, and then one pointing to --help.
options_verdict read_options(int argc, char** argv, log_options& options, int error_fd);

// The --help text.
const char* usage_text();
