// The entry points of the loops on one vector target, and the table of them
// over every target compiled: one form's file (run_loops_text.cpp,
// run_loops_rows.cpp, run_loops_listing.cpp) includes this after
// foreach_target.h, names its sinks' entry points in a target_loops `loops`
// in each target's namespace, and then, once, makes its table:
//
//   constexpr run_loop::target_loops loops{.text = &loop_into<run_loop::text_lines>, ...};
//   ...
//   FORM_TABLE(text_form, form_kind::text)
//
// Included once per target, as Highway's per-target headers are: the guard
// below flips with HWY_TARGET_TOGGLE instead of stopping a second include.
#if defined(STAMP_SERIES_RUN_LOOPS_INL_HPP) == defined(HWY_TARGET_TOGGLE)
#ifdef STAMP_SERIES_RUN_LOOPS_INL_HPP
#undef STAMP_SERIES_RUN_LOOPS_INL_HPP
#else
#define STAMP_SERIES_RUN_LOOPS_INL_HPP
#endif

#include <hwy/highway.h>

#include "run/run.hpp"
#include "run/run_loops.hpp"
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

}  // namespace kernel::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#endif  // the per-target guard

#ifndef STAMP_SERIES_RUN_LOOPS_TABLE
#define STAMP_SERIES_RUN_LOOPS_TABLE
// The form `name`, whose loops on each target compiled are that target's
// `loops`: every target compiled has its entry, so that any target a run is
// given (one of targets_here(), within HWY_TARGETS) is there.
#define FORM_TABLE(name, kind)                                                                     \
    namespace kernel {                                                                             \
    constexpr target_entry<const run_loop::target_loops> name##_table[] = {TARGET_ENTRIES(loops)}; \
    static_assert(targets_in(name##_table) == HWY_TARGETS);                                        \
    const run_loop::target_loops& name##_on(std::int64_t target)                                   \
    {                                                                                              \
        return *entry_for(name##_table, target);                                                   \
    }                                                                                              \
    }                                                                                              \
    const run_form name{kind, &kernel::name##_on};
#endif
