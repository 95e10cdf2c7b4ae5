// A run: the bytes of one log, from a source, through the stages, into the
// output its plan asks for, ended with one outcome. Each front end (the
// filter, stamp_series_log, the Python package) says where the bytes come
// from and what the lines become, and turns the outcome into its own status
// and message, or exception; none of them drives a stage itself.
//
//   const run_outcome outcome = run_log(descriptor_source(0), plan, choose_run());
#pragma once

#include "data/stage_data.hpp"
#include "input/byte_source.hpp"
#include "record/record_check.hpp"
#include "run/boundary_state.hpp"
#include "time/zone_turn.hpp"

#include <cstddef>
#include <cstdint>
#include <string>

// What a process decides once, before its first run.
struct run_choices {
    bool reuse_mktime_answers;  // this C library's mktime behaves as the reuse of its answers needs
    std::int64_t target;        // the vector target, one bit of targets_here()
};

// The checks and the processor's best target. The check of mktime probes in
// a zone of its own and leaves TZ, and mktime's memory of its last offset,
// as a fresh process has them.
run_choices choose_run();

// Where a run's bytes come from.
struct run_source {
    byte_source bytes;
    int waits_on = -1;             // the descriptor a read may wait on, -1 for none
    bool always_may_wait = false;  // every read may wait, with no descriptor to ask (a file object)
};

// A descriptor, read as it comes.
run_source descriptor_source(int fd);

// The processors this process may run on: the threads a run takes by default.
unsigned processors_available();

// The bytes of a log that one chunk of a run on several threads holds, by
// default, before it ends after the next newline.
inline constexpr std::size_t default_chunk_size = std::size_t{1} << 20;

namespace run_loop {
struct target_loops;
}

// What each line becomes, and the loops that make it on each vector target.
// A plan names one of the forms below, each in a file of its own, so that a
// program links the loops of the forms it plans and no others.
enum class form_kind { text, rows, listing };
struct run_form {
    form_kind kind;
    const run_loop::target_loops& (*loops_on)(std::int64_t target);
};
extern const run_form text_form;  // the series line, as the filter writes it, into output_fd,
                                  // with no line checked, on one thread
extern const run_form checked_text_form;  // the same, each line checked against the plan's
                                          // rule, on one thread or several
extern const run_form rows_form;     // a series_row, into the rows that each drive_run is given
extern const run_form listing_form;  // nothing converted: the lines that are not records,
                                     // listed into output_fd

struct run_plan {
    // The form, which every plan names: none is taken by default, so that a
    // program that plans no text links no text loops.
    const run_form* form = nullptr;
    record_rule rule = record_rule::none;  // which lines must be records
    int output_fd = -1;                    // text and listing
    bool line_by_line = false;             // text: each line written at once, for a terminal
    bool durable = false;                  // text: output_fd is a file to be synced when whole
    const char* log_name = "";             // listing: the log's name, at the start of each line
    // Other runs of this process may convert at the same time (the Python
    // package): each drive_run then takes its turn with the C library's time
    // state, in the zone the setting names. Otherwise the run converts in
    // the process's zone as it is, and follows /etc/localtime as the filter
    // does.
    bool shared_process = false;
    zone_setting zone;
    // The state the run starts from, as another run ended in it; nullptr for
    // the state of a fresh process.
    const boundary_state* from = nullptr;
    // The threads that convert: with more than 1, the log is cut into chunks
    // of chunk_size bytes (0 for the default) and its pieces, which threads
    // convert at once, whose lines go on in the log's order and are byte for
    // byte those of one thread (chunk_run.hpp). With TZ unset, such a run
    // reads /etc/localtime once, as it starts, where one thread follows a
    // change of it.
    unsigned threads = 1;
    std::size_t chunk_size = 0;
};

// How a run ended, or that it has not.
enum class run_end {
    more,              // the rows are full, or a read waited: drive_run again
    input_ended,       // every line was read and handed on
    read_failed,       // a read failed: error
    compressed_fault,  // compressed data cut short or corrupt: format, fault
    zone_fault,        // a zone file the C library cannot convert with: zone_file, fault
    output_failed,     // the sink stopped: a write of the output failed (error)
    not_a_record,      // the sink stopped: line `line_number` broke the plan's rule (reason)
};

struct run_outcome {
    run_end end = run_end::more;
    int error = 0;                 // read_failed, output_failed: errno
    const char* format = nullptr;  // compressed_fault: "gzip", "xz" or "zstd"
    const char* fault = nullptr;   // compressed_fault: the library's reason; zone_fault: why
    std::string zone_file;         // zone_fault
    std::uint64_t line_number = 0;
    record_fault reason{};  // not_a_record
    // Where lines were checked: how many are not records, and the first.
    std::uint64_t non_records = 0;
    std::uint64_t first_non_record = 0;
    record_fault first_fault{};
};

// An outcome that says only how the run ended, and its errno.
inline run_outcome outcome_of(run_end end, int error = 0)
{
    run_outcome outcome;
    outcome.end = end;
    outcome.error = error;
    return outcome;
}

struct log_run;

// Starts a run; nullptr, with errno ENOMEM, when there is no memory for it.
// The source's reads, and the output descriptor, stay the caller's.
log_run* start_run(const run_source& source, const run_plan& plan, run_choices choices);

// Goes on with the run: for text and listing, to its end; for rows, until
// `room` rows (at least 1) are written from `rows` on, or a read waited, or
// the run ended, with their number in `count`. Whatever stopped the run, the
// output it converted is written out first. Of two failures the outcome
// names the output's, then the zone's, then the refused line, then the
// read's.
run_outcome drive_run(log_run& r, series_row* rows = nullptr, std::size_t room = 0,
                      std::size_t* count = nullptr);

// The state the run is in after the lines it has taken.
boundary_state run_boundary(const log_run& r);

void end_run(log_run* r);

// A run of text or listing from start to end; ENOMEM as read_failed.
run_outcome run_log(const run_source& source, const run_plan& plan, run_choices choices);
