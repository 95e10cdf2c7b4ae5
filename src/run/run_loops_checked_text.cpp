// The loops that make the series as text with each line checked against the
// plan's rule, on one thread or in chunks on several, on each vector target:
// Highway compiles this file once for each target (run_loops-inl.hpp).
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "run/run_loops_checked_text.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include "run/run_loops-inl.hpp"

HWY_BEFORE_NAMESPACE();
namespace kernel::HWY_NAMESPACE {

constexpr run_loop::target_loops loops{.checked_text = &loop_into<run_loop::text_lines<true>>,
                                       .chunk_text = &chunk_into<run_loop::chunk_text>};

}  // namespace kernel::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
FORM_TABLE(checked_text_form, form_kind::text)
#endif
