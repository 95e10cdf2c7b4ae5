// stamp_series_log's two runs over an open log: the conversion into the
// series, and --check. Each gives the exit status and reports its failures.
#pragma once

#include "log_command/options.hpp"
#include "run/run.hpp"

inline constexpr int status_done = 0;
inline constexpr int status_failed = 1;
inline constexpr int status_usage = 2;

// The log named in options, open as log_fd and named `name` in messages.
int convert_log_file(const log_options& options, int log_fd, const char* name, run_choices choices);
int check_log_file(const log_options& options, int log_fd, const char* name, run_choices choices);
