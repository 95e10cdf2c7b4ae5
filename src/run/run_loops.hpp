// The loop of a run on each vector target, one entry point for each sink of
// lines, with the whole loop inlined into it, kernel and all. Every front end
// reaches the loop through this one table.
#pragma once

#include "run/chunk_loop.hpp"
#include "run/line_sinks.hpp"
#include "run/run_loop.hpp"

#include <cstdint>

namespace run_loop {

struct target_loops {
    loop_end (*text)(run_state&, text_lines<false>&);
    loop_end (*checked_text)(run_state&, text_lines<true>&);
    loop_end (*rows)(run_state&, row_lines&);
    loop_end (*listing)(run_state&, listed_lines&);
    // A chunk of a run on several threads, in each form.
    chunk_end (*chunk_text)(chunk_state&, chunk_output&);
    chunk_end (*chunk_rows)(chunk_state&, chunk_output&);
    chunk_end (*chunk_listing)(chunk_state&, chunk_output&);
};

// The loops of one target, a bit of targets_here().
const target_loops& loops_on(std::int64_t target);

}  // namespace run_loop
