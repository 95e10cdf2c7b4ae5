// The loop that makes the series as text, as the filter writes it, with no
// line checked and on one thread, on each vector target:
// Highway compiles this file once for each target (run_loops-inl.hpp).
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "run/run_loops_text.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include "run/run_loops-inl.hpp"

HWY_BEFORE_NAMESPACE();
namespace kernel::HWY_NAMESPACE {

constexpr run_loop::target_loops loops{.text = &loop_into<run_loop::text_lines<false>>};

}  // namespace kernel::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
FORM_TABLE(text_form, form_kind::text)
#endif
