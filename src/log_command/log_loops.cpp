// stamp_series_log's loops, compiled by Highway once for each vector target
// as the filter's are (series_filter.cpp), each with the whole loop inlined.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "log_command/log_loops.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include <hwy/highway.h>

#include "log_command/log_loops.hpp"
#include "report.hpp"
#include "simd/kernel-inl.hpp"
#include "simd/target_table.hpp"

HWY_BEFORE_NAMESPACE();
namespace kernel::HWY_NAMESPACE {

[[gnu::flatten]] filter_loop::run_end convert_log_on(filter_loop::run_state& run,
                                                     checked_series& out)
{
    return filter_loop::run_loop<vector_kernel>(run, out);
}

[[gnu::flatten]] filter_loop::run_end check_log_on(filter_loop::run_state& run, record_listing& out)
{
    return filter_loop::run_loop<vector_kernel>(run, out);
}

}  // namespace kernel::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace kernel {

constexpr target_entry<filter_loop::run_end(filter_loop::run_state&, checked_series&)>
    convert_loops[] = {TARGET_ENTRIES(convert_log_on)};
constexpr target_entry<filter_loop::run_end(filter_loop::run_state&, record_listing&)>
    check_loops[] = {TARGET_ENTRIES(check_log_on)};
static_assert(targets_in(convert_loops) == HWY_TARGETS && targets_in(check_loops) == HWY_TARGETS);

}  // namespace kernel

filter_loop::run_end convert_log(filter_loop::run_state& run, checked_series& out,
                                 std::int64_t target)
{
    return entry_for(kernel::convert_loops, target)(run, out);
}

filter_loop::run_end check_log(filter_loop::run_state& run, record_listing& out,
                               std::int64_t target)
{
    return entry_for(kernel::check_loops, target)(run, out);
}

bool record_listing::list_line(filter_loop::run_state& run) const
{
    constexpr std::size_t shown = 60;
    const record_line& line = run.line;
    const std::size_t length = line.length - (line.text[line.length - 1] == '\n' ? 1 : 0);
    char text[4 * shown + 4];
    show_text(line.text, length, shown, text);
    char listed[8192];
    const std::size_t size =
        format_line(listed, sizeof listed, "%s:%llu: %s: %s", name,
                    static_cast<unsigned long long>(tally.line_number), tally.fault.reason, text);
    return write_text(run.writer, listed, size);
}
#endif
