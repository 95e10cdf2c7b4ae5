// The whole filter over a pair of file descriptors.
#pragma once

// Reads records from input_fd and writes one series line per piece read to
// output_fd. Gives the exit status: 1 at the end of input, 2 after a read or
// write error, which is reported in one line on error_fd.
int run_series_filter(int input_fd, int output_fd, int error_fd);
