// The loop of one run, written once for any vector kernel and any sink of
// lines: each piece of input read, parsed, converted and handed to the sink
// (line_sinks.hpp), which writes it as a line of the series, checks it as
// well, puts it into rows or lists it. run_loops.cpp instantiates it for
// each vector target into entry points of its own.
#pragma once

#include "data/stage_data.hpp"
#include "input/line_reader.hpp"
#include "record/parse_record.hpp"
#include "series/series_line.hpp"
#include "series/series_writer.hpp"
#include "time/local_time.hpp"

#include <ctime>

namespace run_loop {

// The state of a run, none of it allocated: the reader's and the writer's
// buffers, the record, the conversion's memo of hours, and the reference
// second once the first line has fixed it. A sink may stop the loop and run
// it again to go on where it stopped. (The writer lives here, beside the
// reader, rather than in the sink that uses it: the loop compiles to fewer
// instructions a line so.)
struct run_state {
    line_reader reader;
    series_writer writer;
    record_line line;
    stamped_record record;
    local_time_state local_time;
    bool referenced;
    std::time_t reference_second;
};

// Why the loop stopped.
enum class loop_end {
    input_ended,  // every piece read was handed on; reader.error tells whether a read failed
    zone_fault,   // the zone file is one that the C library cannot convert with
    sink,         // the sink stopped it: a write failed, the rows are full, a line refused
};

// One line of the series into the writer; false once a write has failed.
template <class level>
bool write_series_line(series_writer& writer, const converted_time& time,
                       std::time_t reference_second, const stamped_record& record)
{
    char* out = series_room(writer, series_line_room);
    return out != nullptr &&
           end_series_line(writer, format_series_line<level>(out, time, reference_second, record));
}

// A sink has
//   static constexpr bool converts;   false for a check that converts nothing
//   template <class level>
//   bool take(run_state&, unsigned window_tokens, const converted_time&, std::time_t reference);
//   bool flush(run_state&);           called before a read that may wait
// and stops the loop by giving false from either.
template <class level, class sink>
loop_end run_loop(run_state& run, sink& out)
{
    if (sink::converts && run.local_time.zone.fault != nullptr) {
        return loop_end::zone_fault;
    }
    for (;;) {
        if (!take_piece<level>(run.reader, run.line)) {
            if (run.reader.at_end) {
                return loop_end::input_ended;
            }
            // Before a read that would wait, what has been converted goes
            // out: a followed log flows through a pipeline line by line,
            // while a bulk run, whose input is always ready, keeps its
            // large writes.
            if (!input_ready(run.reader) && !out.flush(run)) {
                return loop_end::sink;
            }
            refill(run.reader);
            // Before any of what was read is converted, the zone file is
            // looked at again.
            if constexpr (sink::converts) {
                follow_zone_file(run.local_time);
                if (run.local_time.zone.fault != nullptr) {
                    return loop_end::zone_fault;
                }
            }
            continue;
        }
        const unsigned window_tokens = parse_record<level>(run.line, run.record);
        converted_time converted{};
        if constexpr (sink::converts) {
            converted = convert_record(run.record, run.local_time);
            if (!run.referenced) {
                run.reference_second = converted.record_seconds;
                run.referenced = true;
            }
        }
        if (!out.template take<level>(run, window_tokens, converted, run.reference_second)) {
            return loop_end::sink;
        }
    }
}

}  // namespace run_loop
