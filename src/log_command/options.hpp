// The command line of stamp_series_log:
//   stamp_series_log [--strict] [--] LOG [SERIES]
//   stamp_series_log --check [--] LOG
//   stamp_series_log -h | --help | --version
#pragma once

struct log_options {
    bool check = false;   // list the lines that are not records; convert nothing
    bool strict = false;  // any line that is not a record fails the run
    const char* log = nullptr;
    const char* series = "-";  // "-" is standard output
};

enum class options_verdict { run, help, version, usage_error };

// Reads the arguments into options; on a usage error, one line saying what
// is wrong goes to error_fd, and then one pointing to --help.
options_verdict read_options(int argc, char** argv, log_options& options, int error_fd);

// The --help text.
const char* usage_text();
