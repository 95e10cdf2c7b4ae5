// The loop of a run on one thread, driven from one stop to the next, and
// the outcome it ends with.
#include "run/log_run.hpp"

#include "time/local_time.hpp"

namespace {

run_loop::loop_end loop(log_run& r)
{
    switch (r.plan.form->kind) {
        case form_kind::text:
            return r.loops->text != nullptr ? r.loops->text(r.state, r.text)
                                            : r.loops->checked_text(r.state, r.checked_text);
        case form_kind::rows: return r.loops->rows(r.state, r.rows);
        case form_kind::listing: return r.loops->listing(r.state, r.listing);
    }
    return run_loop::loop_end::input_ended;
}

const record_tally* tally_of(const log_run& r)
{
    switch (r.plan.form->kind) {
        case form_kind::text:
            return r.loops->text != nullptr ? nullptr : &r.checked_text.check.tally;
        case form_kind::rows: return &r.rows.check.tally;
        case form_kind::listing: return &r.listing.tally;
    }
    return nullptr;
}

bool refused(const log_run& r)
{
    return r.checked_text.check.refused || r.rows.check.refused;
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
    if (r.plan.form->kind != form_kind::rows && !flush_series(r.state.writer)) {
        o.end = run_end::output_failed;
        o.error = writer.error;
    } else if (end == run_loop::loop_end::zone_fault) {
        o.end = run_end::zone_fault;
        o.zone_file = zone.fault_file;
        o.fault = zone.fault;
    } else if (refused(r)) {
        o.end = run_end::not_a_record;
    } else if (read_error != 0) {
        const byte_source& bytes = r.source.bytes;
        o.fault = bytes.fault != nullptr ? bytes.fault(bytes.context, &o.format) : nullptr;
        o.end = o.fault != nullptr ? run_end::compressed_fault : run_end::read_failed;
        o.error = read_error;
    } else {
        o.end = run_end::input_ended;
    }
    return o;
}

}  // namespace

run_outcome drive_one_thread(log_run& r, bool& wait_outside)
{
    // After a read taken outside the turn, the zone file is looked at again
    // before what was read is converted, as the loop does after its own reads.
    if (r.read_outside) {
        follow_zone_file(r.state.local_time);
        r.read_outside = false;
    }
    const run_loop::loop_end end = loop(r);
    const bool rows_stopped = r.plan.form->kind == form_kind::rows &&
                              end == run_loop::loop_end::sink && !r.rows.check.refused;
    wait_outside = rows_stopped && r.rows.waiting;
    return rows_stopped ? outcome_of(run_end::more) : finish(r, end);
}

void read_outside_turn(log_run& r)
{
    refill(r.state.reader);
    r.read_outside = true;
}
