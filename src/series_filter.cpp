// The filter's entry points: Highway compiles this file once for each vector
// target, and each target's entry point has the whole loop inlined into it,
// kernel and all; the table below holds them, and the run calls the one of
// the target that main chose.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "series_filter.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include <hwy/highway.h>

#include "filter_loop.hpp"
#include "report.hpp"
#include "series_filter.hpp"
#include "simd/kernel-inl.hpp"
#include "simd/target_table.hpp"

#include <unistd.h>

#include <cstring>

HWY_BEFORE_NAMESPACE();
namespace kernel::HWY_NAMESPACE {

[[gnu::flatten]] filter_loop::run_end run_filter_loop(filter_loop::run_state& run)
{
    filter_loop::series_output out;
    return filter_loop::run_loop<vector_kernel>(run, out);
}

}  // namespace kernel::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace kernel {

using filter_loop_entry = filter_loop::run_end(filter_loop::run_state&);
constexpr target_entry<filter_loop_entry> filter_loops[] = {TARGET_ENTRIES(run_filter_loop)};
// Every target compiled has its entry, so that any target main may pick
// (one of targets_here(), within HWY_TARGETS) is called.
static_assert(targets_in(filter_loops) == HWY_TARGETS);

}  // namespace kernel

namespace {

constexpr int status_end_of_input = 1;
constexpr int status_failure = 2;  // a read or write error, or a zone file unfit to use
constexpr const char* program = "stamp_series";

// What was converted goes out whatever stopped the run; then the first
// failure, if any, is reported.
int finish(filter_loop::run_state& run, filter_loop::run_end end, int error_fd)
{
    if (!flush_series(run.writer)) {
        report(error_fd, program, "write error: %s", std::strerror(run.writer.error));
        return status_failure;
    }
    if (end == filter_loop::run_end::zone_fault) {
        const zone_changes& zone = run.local_time.zone;
        report(error_fd, program, "%s: %s", zone.fault_file, zone.fault);
        return status_failure;
    }
    if (run.reader.error != 0) {
        report(error_fd, program, "read error: %s", std::strerror(run.reader.error));
        return status_failure;
    }
    return status_end_of_input;
}

}  // namespace

int run_series_filter(int input_fd, int output_fd, int error_fd, filter_choices choices)
{
    filter_loop::run_state run{};
    start_reader(run.reader, input_fd);
    run.writer.fd = output_fd;
    run.writer.line_by_line = isatty(output_fd) == 1;
    start_local_time(run.local_time, choices.reuse_mktime_answers);
    return finish(run, entry_for(kernel::filter_loops, choices.target)(run), error_fd);
}
#endif
