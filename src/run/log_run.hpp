// The state of a run, shared by run.cpp, which starts and drives it, and
// one_thread.cpp, which drives the loop of a run on one thread; a run on
// several threads is in chunk_run.hpp.
#pragma once

#include "run/chunk_run.hpp"
#include "run/run.hpp"
#include "run/run_loops.hpp"

#include <cstddef>

// A run's state, made zeroed once (about 250 KiB, too much for some stacks):
// the loop's, and one sink of each kind, of which the plan's form uses one.
// The sinks live as long as the run, so that the count of lines goes on
// from one drive_run to the next.
struct log_run {
    run_loop::run_state state;
    run_plan plan;
    run_choices choices;
    run_source source;
    const run_loop::target_loops* loops;
    run_loop::text_lines<false> text;
    run_loop::text_lines<true> checked_text;
    run_loop::row_lines rows;
    run_loop::listed_lines listing;
    boundary_state from;  // the plan's, kept here for its first turn
    chunk_run* chunks;    // the run on several threads, where it is one
    bool pinned;          // TZ was unset, and is set for the run (zone_turn.hpp: pinned)
    bool started;         // the conversion is set up: at the start, or a shared run's first turn
    bool read_outside;    // the last read was taken outside a turn
    bool ended;
    run_outcome outcome;
};

// The loop on one thread, as far as it goes now; with wait_outside set when
// it stopped before a read that may wait, which the caller then makes
// outside its turn (read_outside_turn).
run_outcome drive_one_thread(log_run& r, bool& wait_outside);

void read_outside_turn(log_run& r);
