// The vector kernel on every target that this build has and this processor
// runs, each called through the same table of entry points as the filter's.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "kernel_test.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include <hwy/highway.h>

#include "kernel_expectations.hpp"
#include "simd/kernel-inl.hpp"
#include "simd/target_table.hpp"
#include "simd/targets.hpp"

HWY_BEFORE_NAMESPACE();
namespace kernel::HWY_NAMESPACE {

void gives_what_the_definitions_give()
{
    kernel_expectations::expect_level_matches<vector_kernel>();
    // The portable forms that the target's blocks stand in for, on the same
    // target.
    kernel_expectations::expect_level_matches<kernel_of<false>>();
}

}  // namespace kernel::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace kernel {

constexpr target_entry<void()> expectations[] = {TARGET_ENTRIES(gives_what_the_definitions_give)};

TEST(vector_kernel, gives_what_the_definitions_give_on_every_target_here)
{
    for (std::int64_t rest = targets_here(); rest != 0; rest &= rest - 1) {
        SCOPED_TRACE(target_name(best_target(rest)));
        entry_for(expectations, best_target(rest))();
    }
}

}  // namespace kernel
#endif
