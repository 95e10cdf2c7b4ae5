#include "run/run.hpp"

#include "run/run_loops.hpp"
#include "simd/targets.hpp"
#include "time/local_time.hpp"
#include "time/mktime_check.hpp"

#include <cerrno>
#include <new>

// A run's state, made zeroed once (about 250 KiB, too much for some stacks):
// the loop's, and one sink of each kind, of which the plan's form uses one.
// The sinks live as long as the run, so that the count of lines goes on
// from one drive_run to the next.
struct log_run {
    run_loop::run_state state;
    run_plan plan;
    run_choices choices;
    const run_loop::target_loops* loops;
    run_loop::text_lines<false> text;
    run_loop::text_lines<true> checked_text;
    run_loop::row_lines rows;
    run_loop::listed_lines listing;
    boundary_state from;  // the plan's, kept here for its first turn
    const char* (*source_fault)(const void*, const char**);
    const void* source_context;
    bool started;       // the conversion is set up: at the start, or a shared run's first turn
    bool read_outside;  // the last read was taken outside a turn
    bool ended;
    run_outcome outcome;
};

namespace {

// The conversion set up, from the plan's state where it gives one.
void start_conversion(log_run& r)
{
    run_loop::run_state& s = r.state;
    start_local_time(s.local_time, r.choices.reuse_mktime_answers);
    // A shared run's first record converts as in a fresh process, whatever
    // the process's other runs left behind; a run from a given state goes on
    // from its memory of mktime's offset, whatever this process's is.
    s.local_time.restore_mktime_offset = r.plan.shared_process || r.plan.from != nullptr;
    if (const boundary_state* from = r.plan.from) {
        s.record = from->record;
        s.local_time.calendar_fields.tm_isdst = from->isdst;
        s.local_time.mktime_offset = from->mktime_offset;
        s.local_time.mktime_offset_known = from->mktime_offset_known && s.local_time.reuse_answers;
        s.referenced = from->referenced;
        s.reference_second = from->reference_second;
    }
    r.started = true;
}

run_loop::loop_end loop(log_run& r)
{
    switch (r.plan.form) {
        case run_form::text:
            return r.plan.rule == record_rule::none
                       ? r.loops->text(r.state, r.text)
                       : r.loops->checked_text(r.state, r.checked_text);
        case run_form::rows: return r.loops->rows(r.state, r.rows);
        case run_form::listing: return r.loops->listing(r.state, r.listing);
    }
    return run_loop::loop_end::input_ended;
}

// The loop in a turn of the run's own with the C library's time state. A
// turn after another run's restores mktime's memory of the offset that this
// run's last call left, before its next call. After a read taken outside
// the turn, the zone file is looked at again before what was read is
// converted, as the loop does after its own reads.
run_loop::loop_end loop_in_turn(log_run& r)
{
    const zone_turn turn(r.plan.zone, &r);
    if (!r.started) {
        start_conversion(r);
    } else if (turn.follows_another_run()) {
        r.state.local_time.restore_mktime_offset = true;
    }
    if (r.read_outside) {
        follow_zone_file(r.state.local_time);
        r.read_outside = false;
    }
    return loop(r);
}

const record_tally* tally_of(const log_run& r)
{
    switch (r.plan.form) {
        case run_form::text:
            return r.plan.rule == record_rule::none ? nullptr : &r.checked_text.check.tally;
        case run_form::rows: return &r.rows.check.tally;
        case run_form::listing: return &r.listing.tally;
    }
    return nullptr;
}

bool refused(const log_run& r)
{
    return r.plan.form == run_form::text ? r.checked_text.check.refused
                                         : r.plan.form == run_form::rows && r.rows.check.refused;
}

// The run's one outcome, once the output it converted is written out.
run_outcome finish(log_run& r, run_loop::loop_end end)
{
    run_outcome o{};
    if (const record_tally* tally = tally_of(r)) {
        o.non_records = tally->non_records;
        o.first_non_record = tally->first_non_record;
        o.first_fault = tally->first_fault;
        o.line_number = tally->line_number;
        o.reason = tally->fault;
    }
    const series_writer& writer = r.state.writer;
    const zone_changes& zone = r.state.local_time.zone;
    const int read_error = r.state.reader.error;
    if (r.plan.form != run_form::rows && !flush_series(r.state.writer)) {
        o.end = run_end::output_failed;
        o.error = writer.error;
    } else if (end == run_loop::loop_end::zone_fault) {
        o.end = run_end::zone_fault;
        o.zone_file = zone.fault_file;
        o.fault = zone.fault;
    } else if (refused(r)) {
        o.end = run_end::not_a_record;
    } else if (read_error != 0) {
        o.fault = r.source_fault != nullptr ? r.source_fault(r.source_context, &o.format) : nullptr;
        o.end = o.fault != nullptr ? run_end::compressed_fault : run_end::read_failed;
        o.error = read_error;
    } else {
        o.end = run_end::input_ended;
    }
    return o;
}

}  // namespace

run_choices choose_run()
{
    return {mktime_follows_previous_offset(), best_target(targets_here())};
}

run_source descriptor_source(int fd)
{
    return {byte_source{fd}, fd, false};
}

log_run* start_run(const run_source& source, const run_plan& plan, run_choices choices)
{
    log_run* r = new (std::nothrow) log_run{};
    if (r == nullptr) {
        errno = ENOMEM;
        return nullptr;
    }
    r->plan = plan;
    if (plan.from != nullptr) {
        r->from = *plan.from;
        r->plan.from = &r->from;
    }
    r->choices = choices;
    r->loops = &run_loop::loops_on(choices.target);
    start_reader(r->state.reader, source.bytes, source.waits_on);
    r->state.reader.may_wait = r->state.reader.may_wait || source.always_may_wait;
    r->source_fault = source.bytes.fault;
    r->source_context = source.bytes.context;
    r->state.writer.fd = plan.output_fd;
    r->state.writer.line_by_line = plan.line_by_line;
    r->checked_text.check.rule = plan.rule;
    r->rows.check.rule = plan.rule;
    r->listing.name = plan.log_name;
    if (!plan.shared_process) {
        start_conversion(*r);
    }
    return r;
}

run_outcome drive_run(log_run& r, series_row* rows, std::size_t room, std::size_t* count)
{
    r.rows.rows = rows;
    r.rows.room = room;
    r.rows.count = 0;
    r.rows.waiting = false;
    if (!r.ended) {
        const run_loop::loop_end end = r.plan.shared_process ? loop_in_turn(r) : loop(r);
        const bool rows_stopped = r.plan.form == run_form::rows &&
                                  end == run_loop::loop_end::sink && !r.rows.check.refused;
        if (rows_stopped && r.rows.waiting) {
            refill(r.state.reader);  // outside any turn: other runs convert meanwhile
            r.read_outside = true;
        }
        r.ended = !rows_stopped;
        r.outcome = rows_stopped ? outcome_of(run_end::more) : finish(r, end);
    }
    if (count != nullptr) {
        *count = r.rows.count;
    }
    return r.outcome;
}

boundary_state run_boundary(const log_run& r)
{
    const run_loop::run_state& s = r.state;
    return {s.record,
            s.local_time.calendar_fields.tm_isdst,
            s.local_time.mktime_offset,
            s.local_time.mktime_offset_known,
            s.referenced,
            s.reference_second};
}

void end_run(log_run* r)
{
    delete r;
}

run_outcome run_log(const run_source& source, const run_plan& plan, run_choices choices)
{
    log_run* r = start_run(source, plan, choices);
    if (r == nullptr) {
        return outcome_of(run_end::read_failed, ENOMEM);
    }
    run_outcome outcome = drive_run(*r);
    end_run(r);
    return outcome;
}
