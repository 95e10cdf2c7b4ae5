// The loops' entry points: Highway compiles this file once for each vector
// target, and each target's entry points have the whole loop inlined into
// them, kernel and all; the table below holds them, and a run calls those of
// the target it was given.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "run/run_loops.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include <hwy/highway.h>

#include "run/run_loops.hpp"
#include "series/report.hpp"
#include "simd/kernel-inl.hpp"
#include "simd/target_table.hpp"

HWY_BEFORE_NAMESPACE();
namespace kernel::HWY_NAMESPACE {

template <class sink>
[[gnu::flatten]] run_loop::loop_end loop_into(run_loop::run_state& run, sink& out)
{
    return run_loop::run_loop<vector_kernel>(run, out);
}

template <class sink>
[[gnu::flatten]] run_loop::chunk_end chunk_into(run_loop::chunk_state& chunk,
                                                run_loop::chunk_output& out)
{
    return run_loop::convert_chunk<vector_kernel, sink>(chunk, out);
}

constexpr run_loop::target_loops loops{
    &loop_into<run_loop::text_lines<false>>, &loop_into<run_loop::text_lines<true>>,
    &loop_into<run_loop::row_lines>,         &loop_into<run_loop::listed_lines>,
    &chunk_into<run_loop::chunk_text>,       &chunk_into<run_loop::chunk_rows>,
    &chunk_into<run_loop::chunk_listing>};

}  // namespace kernel::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace kernel {

constexpr target_entry<const run_loop::target_loops> loop_table[] = {TARGET_ENTRIES(loops)};
// Every target compiled has its entry, so that any target a run is given
// (one of targets_here(), within HWY_TARGETS) is there.
static_assert(targets_in(loop_table) == HWY_TARGETS);

}  // namespace kernel

namespace run_loop {

const target_loops& loops_on(std::int64_t target)
{
    return *entry_for(kernel::loop_table, target);
}

namespace {

constexpr std::size_t shown = 60;

// The line as the listing shows it, without its newline.
void show_line(const record_line& line, char (&text)[4 * shown + 4])
{
    const std::size_t length = line.length - (line.text[line.length - 1] == '\n' ? 1 : 0);
    show_text(line.text, length, shown, text);
}

}  // namespace

void list_line(chunk_output& o, const record_line& line)
{
    listed_line& listed = o.listed[o.listed_count++];
    listed.line_in_chunk = o.check.tally.line_number;
    listed.why = o.check.tally.fault;
    show_line(line, listed.text);
}

bool listed_lines::list_line(run_state& run) const
{
    char text[4 * shown + 4];
    show_line(run.line, text);
    char listed[8192];
    const std::size_t size =
        format_line(listed, sizeof listed, "%s:%llu: %s: %s", name,
                    static_cast<unsigned long long>(tally.line_number), tally.fault.reason, text);
    return write_text(run.writer, listed, size);
}

}  // namespace run_loop
#endif
