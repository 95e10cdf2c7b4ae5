// The filter's one loop, over a pair of file descriptors: each piece of
// input read, parsed, converted and written as one line of the series.
#pragma once

#include <cstdint>

// What main decides before the run: how the record conversion may go, and
// the vector target, which must run on this processor.
struct filter_choices {
    bool reuse_mktime_answers;  // mktime_follows_previous_offset() held
    std::int64_t target;        // one bit of targets_here()
};

// Reads records from input_fd and writes one series line per piece read to
// output_fd. Gives the exit status: 1 at the end of input, 2 after a read or
// write error, which is reported in one line on error_fd.
int run_series_filter(int input_fd, int output_fd, int error_fd, filter_choices choices);
