// The loops that make rows of numbers, on each vector target:
// Highway compiles this file once for each target (run_loops-inl.hpp).
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "run/run_loops_rows.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include "run/run_loops-inl.hpp"

HWY_BEFORE_NAMESPACE();
namespace kernel::HWY_NAMESPACE {

constexpr run_loop::target_loops loops{.rows = &loop_into<run_loop::row_lines>,
                                       .chunk_rows = &chunk_into<run_loop::chunk_rows>};

}  // namespace kernel::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
FORM_TABLE(rows_form, form_kind::rows)
#endif
