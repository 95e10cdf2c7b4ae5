#include "run/run.hpp"

#include "run/log_run.hpp"
#include "simd/targets.hpp"
#include "time/local_time.hpp"
#include "time/mktime_check.hpp"

#include <sched.h>

#include <cerrno>
#include <new>

namespace {

// Whether the run goes on several threads: asked for, and, where lines are
// converted, in a zone that the model reads, as a chunk converted ahead of
// its turn converts by mktime's reused answers alone. A run on threads reads
// the zone once, as it starts (zone_turn.hpp: pinned).
bool on_threads(const log_run& r)
{
    const local_time_state& local_time = r.state.local_time;
    const bool chunk_loops = r.plan.form->kind != form_kind::text || r.loops->chunk_text != nullptr;
    return r.plan.threads > 1 && chunk_loops &&
           (r.plan.form->kind == form_kind::listing ||
            (local_time.reuse_answers && local_time.zone.fault == nullptr));
}

void start_chunks(log_run& r)
{
    const chunk_plan plan{r.source,
                          r.plan.form,
                          r.plan.rule,
                          r.plan.output_fd,
                          r.plan.log_name,
                          r.plan.threads,
                          r.plan.chunk_size != 0 ? r.plan.chunk_size : default_chunk_size,
                          r.loops,
                          &r.state,
                          r.state.local_time.restore_mktime_offset,
                          r.plan.durable};
    // Without the memory for them, the run goes on one thread.
    r.chunks = start_chunk_run(plan);
}

// The conversion set up, from the plan's state where it gives one.
void start_conversion(log_run& r)
{
    if (r.plan.threads > 1 && !r.plan.shared_process) {
        const zone_setting process = process_zone();
        r.pinned = !process.set;
        set_zone(pinned(process));
    }
    run_loop::run_state& s = r.state;
    start_local_time(s.local_time, r.choices.reuse_mktime_answers);
    // A shared run's first record converts as in a fresh process, whatever
    // the process's other runs left behind; a run from a given state goes on
    // from its memory of mktime's offset, whatever this process's is.
    s.local_time.restore_mktime_offset = r.plan.shared_process || r.plan.from != nullptr;
    if (r.plan.from != nullptr) {
        resume_from(*r.plan.from, s);
    }
    if (on_threads(r)) {
        start_chunks(r);
    }
    r.started = true;
}

run_outcome step(log_run& r, bool& wait_outside)
{
    return r.chunks != nullptr ? drive_chunk_run(*r.chunks, r.rows.rows, r.rows.room, r.rows.count,
                                                 r.plan.shared_process, wait_outside)
                               : drive_one_thread(r, wait_outside);
}

// A step in a turn of the run's own with the C library's time state. A turn
// after another run's restores mktime's memory of the offset that this
// run's last call left, before its next call. A read that may wait is made
// after the turn, so that other runs convert meanwhile.
run_outcome step_in_turn(log_run& r)
{
    bool wait_outside = false;
    run_outcome outcome;
    {
        const zone_turn turn(r.plan.zone, &r, r.plan.threads > 1);
        if (!r.started) {
            start_conversion(r);
        } else if (turn.follows_another_run()) {
            r.state.local_time.restore_mktime_offset = true;
            if (r.chunks != nullptr) {
                mktime_memory_moved(*r.chunks);
            }
        }
        outcome = step(r, wait_outside);
    }
    if (wait_outside) {
        r.chunks != nullptr ? wait_for_chunk(*r.chunks) : read_outside_turn(r);
    }
    return outcome;
}

}  // namespace

run_choices choose_run()
{
    return {mktime_follows_previous_offset(), chosen_target(targets_here())};
}

unsigned processors_available()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    const int count = sched_getaffinity(0, sizeof set, &set) == 0 ? CPU_COUNT(&set) : 1;
    return count > 0 ? static_cast<unsigned>(count) : 1;
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
    r->source = source;
    r->loops = &plan.form->loops_on(choices.target);
    start_reader(r->state.reader, source.bytes, source.waits_on);
    r->state.reader.may_wait = r->state.reader.may_wait || source.always_may_wait;
    r->state.writer.fd = plan.output_fd;
    r->state.writer.line_by_line = plan.line_by_line;
    r->state.writer.back.on = plan.durable;
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
        bool wait_outside = false;
        r.outcome = r.plan.shared_process ? step_in_turn(r) : step(r, wait_outside);
        r.ended = r.outcome.end != run_end::more;
    }
    if (count != nullptr) {
        *count = r.rows.count;
    }
    return r.outcome;
}

boundary_state run_boundary(const log_run& r)
{
    if (r.chunks != nullptr) {
        return chunk_run_boundary(*r.chunks);
    }
    return boundary_of(r.state);
}

void end_run(log_run* r)
{
    if (r == nullptr) {
        return;
    }
    end_chunk_run(r->chunks);
    if (r->pinned) {
        set_zone({});
    }
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
