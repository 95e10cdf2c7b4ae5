// The loops of a run on each vector target, one entry point for each sink
// of lines, with the whole loop inlined into it, kernel and all. Each form
// of output has its table of them (run_loops-inl.hpp makes them), in a file
// of its own, so that a program links the loops of the forms it plans and no
// others.
#pragma once

#include "run/chunk_loop.hpp"
#include "run/line_sinks.hpp"
#include "run/run_loop.hpp"

namespace run_loop {

// The entry points of one target: those of the form's sinks; the others are
// null.
struct target_loops {
    loop_end (*text)(run_state&, text_lines<false>&) = nullptr;
    loop_end (*checked_text)(run_state&, text_lines<true>&) = nullptr;
    loop_end (*rows)(run_state&, row_lines&) = nullptr;
    loop_end (*listing)(run_state&, listed_lines&) = nullptr;
    // A chunk of a run on several threads.
    chunk_end (*chunk_text)(chunk_state&, chunk_output&) = nullptr;
    chunk_end (*chunk_rows)(chunk_state&, chunk_output&) = nullptr;
    chunk_end (*chunk_listing)(chunk_state&, chunk_output&) = nullptr;
};

}  // namespace run_loop
