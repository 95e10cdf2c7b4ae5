// The filter's entry points: Highway compiles this file once for each vector
// target, and each target's entry point has the whole loop inlined into it,
// kernel and all; the table below holds them, and the run calls the one of
// the target that main chose.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "series_filter.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include <hwy/highway.h>

#include "filter_loop.hpp"
#include "series_filter.hpp"
#include "simd/kernel-inl.hpp"
#include "simd/target_table.hpp"

HWY_BEFORE_NAMESPACE();
namespace kernel::HWY_NAMESPACE {

[[gnu::flatten]] int run_filter_loop(filter_loop::run_state& run, int error_fd)
{
    return filter_loop::run_loop<vector_kernel>(run, error_fd);
}

}  // namespace kernel::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace kernel {

constexpr target_entry<int(filter_loop::run_state&, int)> filter_loops[] = {
    TARGET_ENTRIES(run_filter_loop)};
// Every target compiled has its entry, so that any target main may pick
// (one of targets_here(), within HWY_TARGETS) is called.
static_assert(targets_in(filter_loops) == HWY_TARGETS);

}  // namespace kernel

int run_series_filter(int input_fd, int output_fd, int error_fd, filter_choices choices)
{
    filter_loop::run_state run{};
    start_reader(run.reader, input_fd);
    run.writer.fd = output_fd;
    run.writer.line_by_line = isatty(output_fd) == 1;
    start_local_time(run.local_time, choices.reuse_mktime_answers);
    return entry_for(kernel::filter_loops, choices.target)(run, error_fd);
}
#endif
