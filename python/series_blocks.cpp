// The package's entry points into the loop: Highway compiles this file once
// for each vector target, each with the whole loop inlined, kernel and all,
// as the filter's own entry points are (src/series_filter.cpp).
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "series_blocks.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include <hwy/highway.h>

#include "series_blocks.hpp"
#include "simd/kernel-inl.hpp"
#include "simd/target_table.hpp"

HWY_BEFORE_NAMESPACE();
namespace kernel::HWY_NAMESPACE {

[[gnu::flatten]] filter_loop::run_end run_block_loop(filter_loop::run_state& run, row_block& block)
{
    return filter_loop::run_loop<vector_kernel>(run, block);
}

}  // namespace kernel::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace kernel {

using block_loop_entry = filter_loop::run_end(filter_loop::run_state&, row_block&);
constexpr target_entry<block_loop_entry> block_loops[] = {TARGET_ENTRIES(run_block_loop)};
// Every target compiled has its entry, so that the one best_target() picks
// is there.
static_assert(targets_in(block_loops) == HWY_TARGETS);

}  // namespace kernel

filter_loop::run_end run_block(filter_loop::run_state& run, row_block& block, std::int64_t target)
{
    return entry_for(kernel::block_loops, target)(run, block);
}
#endif
