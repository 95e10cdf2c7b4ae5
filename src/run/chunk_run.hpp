// A run on several threads: the log cut at newlines into chunks, which
// threads convert at once, each from the state its chunk most likely starts
// from; then, in the log's order, each chunk's start is checked against the
// state the chunk before it ended in, a chunk guessed wrong is converted
// again from the right one, and its lines are handed on. The output is, byte
// for byte, what one thread gives.
//
// mktime starts each search from the offset its previous call in the
// process found (local_time.hpp), so its calls must come in the log's
// order. A chunk converted ahead of its turn therefore never calls it: it
// converts by the reused answers alone, which local time is asked for and
// which read no such state, and stops before the first line that needs
// mktime. The thread that hands the chunks on in order takes such a chunk up
// from there, and it alone calls mktime, in the order one thread would.
#pragma once

#include "run/run.hpp"
#include "run/run_loops.hpp"

#include <cstddef>
#include <cstdint>

struct chunk_run;

struct chunk_plan {
    run_source source;
    const run_form* form;
    record_rule rule;
    int output_fd;         // text and listing
    const char* log_name;  // listing
    unsigned threads;      // threads converting, the one that drives the run included
    std::size_t chunk_size;
    const run_loop::target_loops* loops;
    // The run's state where it starts: the conversion set up, and perhaps a
    // given state; its reader and writer are not used.
    const run_loop::run_state* start;
    bool restore_mktime_offset;  // mktime's memory may not be the start state's
    bool durable;                // the output is a file to be synced when it is whole
};

// nullptr, with errno set, when the threads or the memory cannot be had.
chunk_run* start_chunk_run(const chunk_plan& plan);

// As drive_run. A run that shares the process calls it in a turn of its own
// (`shared`), and has it give `more`, with needs_input set, when the next
// chunk is still to be read from a source that may wait; its threads
// convert only while it is being driven.
run_outcome drive_chunk_run(chunk_run& r, series_row* rows, std::size_t room, std::size_t& count,
                            bool shared, bool& needs_input);

// Waits, outside any turn, until the next chunk has been read.
void wait_for_chunk(chunk_run& r);

// Another run's calls of mktime came between two drives.
void mktime_memory_moved(chunk_run& r);

// The state the run is in after the lines it has handed on.
boundary_state chunk_run_boundary(const chunk_run& r);

// Stops the threads and frees the run.
void end_chunk_run(chunk_run* r);
