// The loops that make the listing of the lines that are not records, on each vector target:
// Highway compiles this file once for each target (run_loops-inl.hpp).
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "run/run_loops_listing.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include "run/run_loops-inl.hpp"
#include "series/report.hpp"

HWY_BEFORE_NAMESPACE();
namespace kernel::HWY_NAMESPACE {

constexpr run_loop::target_loops loops{.listing = &loop_into<run_loop::listed_lines>,
                                       .chunk_listing = &chunk_into<run_loop::chunk_listing>};

}  // namespace kernel::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
FORM_TABLE(listing_form, form_kind::listing)

namespace run_loop {

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
