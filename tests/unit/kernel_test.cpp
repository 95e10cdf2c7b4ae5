// The vector kernel on every target that this build has and this processor
// runs, each pinned in turn through Highway's test hooks.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "kernel_test.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include <hwy/highway.h>
#include <hwy/tests/hwy_gtest.h>

#include "kernel_expectations.hpp"
#include "simd/kernel-inl.hpp"

HWY_BEFORE_NAMESPACE();
namespace kernel::HWY_NAMESPACE {

void gives_what_the_definitions_give()
{
    kernel_expectations::expect_level_matches<vector_kernel>();
}

}  // namespace kernel::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace kernel {

HWY_BEFORE_TEST(vector_kernel);
HWY_EXPORT_AND_TEST_P(vector_kernel, gives_what_the_definitions_give);

}  // namespace kernel
#endif
