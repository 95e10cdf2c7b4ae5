// The filter's run, over a pair of file descriptors: each piece of input
// read, parsed, converted and written as one line of the series, and the
// run's end turned into the filter's status and message.
#pragma once

#include "run/run.hpp"

// Reads records from input_fd and writes one series line per piece read to
// output_fd. Gives the exit status: 1 at the end of input, 2 after a read or
// write error or with a zone file unfit to use, which is reported in one
// line on error_fd.
int run_series_filter(int input_fd, int output_fd, int error_fd, run_choices choices);
