// stamp_series: turns a log of time-stamped records on standard input into a
// series of elapsed seconds and channel values on standard output.
#include "series_filter.hpp"

#include <unistd.h>

int main()
{
    return run_series_filter(STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO, choose_run());
}
