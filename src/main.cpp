// stamp_series: turns a log of time-stamped records on standard input into a
// series of elapsed seconds and channel values on standard output.
#include "series_filter.hpp"
#include "simd/targets.hpp"
#include "time/mktime_check.hpp"

#include <unistd.h>

int main()
{
    const filter_choices choices{mktime_follows_previous_offset(), best_target(targets_here())};
    return run_series_filter(STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO, choices);
}
