// The conversion of one chunk, ahead of its turn or in it, and the handing
// on of its lines in the log's order.
#include "input/fd_io.hpp"
#include "run/chunk_guess.hpp"
#include "run/chunk_slots.hpp"
#include "series/report.hpp"

#include <algorithm>
#include <cstring>

namespace {

run_loop::chunk_end convert(const chunk_run& r, chunk_slot& slot)
{
    const run_loop::target_loops& loops = *r.plan.loops;
    run_loop::chunk_state& c = *slot.conversion;
    switch (r.plan.form->kind) {
        case form_kind::text: return loops.chunk_text(c, slot.output);
        case form_kind::rows: return loops.chunk_rows(c, slot.output);
        case form_kind::listing: return loops.chunk_listing(c, slot.output);
    }
    return run_loop::chunk_end::done;
}

// The chunk's conversion set up from `from`, with an empty output.
void begin(const chunk_run& r, chunk_slot& slot, const boundary_state& from, bool ahead)
{
    run_loop::chunk_state& c = *slot.conversion;
    c = r.start;
    c.next = slot.bytes.start;
    c.end = slot.bytes.start + slot.bytes.size;
    c.ends_log = slot.bytes.ends_log;
    resume_from(from, c);
    c.local_time.defer_mktime = ahead;
    run_loop::chunk_output& o = slot.output;
    o.check = {r.plan.rule, false, {}, !slot.bytes.first};
    o.check.tally.inside_line = slot.bytes.starts_inside_line;
    o.text_used = o.rows_used = o.listed_count = 0;
}

// The chunk's conversion goes on in turn: with mktime, into an emptied output.
void go_on_in_turn(chunk_run& r, chunk_slot& slot)
{
    run_loop::chunk_state& c = *slot.conversion;
    c.local_time.defer_mktime = false;
    c.local_time.restore_mktime_offset = r.memory_unsure;
    slot.output.text_used = slot.output.rows_used = slot.output.listed_count = 0;
    r.handed_of_current = 0;
    slot.end = convert(r, slot);
    r.memory_unsure = c.local_time.restore_mktime_offset;
}

// The listed lines of the chunk, of the first ten of the log, with their
// line numbers in the log; false when a write failed.
bool list_lines(chunk_run& r, const chunk_slot& slot)
{
    for (std::size_t i = 0; i < slot.output.listed_count && r.listed < 10; ++i, ++r.listed) {
        const run_loop::listed_line& l = slot.output.listed[i];
        const std::uint64_t line = r.lines_before + l.line_in_chunk;
        const int error = print_line(r.plan.output_fd, "%s:%llu: %s: %s", r.plan.log_name,
                                     static_cast<unsigned long long>(line), l.why.reason, l.text);
        if (error != 0) {
            r.outcome = outcome_of(run_end::output_failed, error);
            return false;
        }
    }
    return true;
}

// The lines of the chunk's output not yet handed on; false as hand_on.
bool hand_on_output(chunk_run& r, chunk_slot& slot, series_row* rows, std::size_t room,
                    std::size_t& count)
{
    const run_loop::chunk_output& o = slot.output;
    if (r.plan.form->kind == form_kind::rows) {
        const std::size_t n = std::min(o.rows_used - r.handed_of_current, room - count);
        std::memcpy(rows + count, o.rows + r.handed_of_current, n * sizeof(series_row));
        r.handed_of_current += n;
        count += n;
        return r.handed_of_current == o.rows_used;
    }
    if (r.plan.form->kind == form_kind::listing) {
        return list_lines(r, slot);
    }
    const std::size_t size = o.text_used - r.handed_of_current;
    const int error = write_all(r.plan.output_fd, o.text + r.handed_of_current, size);
    wrote(r.back, r.plan.output_fd, size);
    r.handed_of_current = o.text_used;
    if (error != 0) {
        r.outcome = outcome_of(run_end::output_failed, error);
    }
    return error == 0;
}

// The chunk's lines and their count join those of the log handed on.
void close_chunk(chunk_run& r, const chunk_slot& slot)
{
    const record_tally& tally = slot.output.check.tally;
    if (r.non_records == 0 && tally.non_records > 0) {
        r.first_non_record = r.lines_before + tally.first_non_record;
        r.first_fault = tally.first_fault;
    }
    r.non_records += tally.non_records;
    r.lines_before += tally.line_number;
    r.truth = boundary_of(*slot.conversion);
}

}  // namespace

void convert_ahead(chunk_run& r, chunk_slot& slot)
{
    slot.guessed = r.plan.form->kind != form_kind::listing;
    if (slot.guessed) {
        slot.guess = guess_start(slot.bytes.start - slot.bytes.prelude, slot.bytes.start,
                                 r.reference_second);
    }
    begin(r, slot, slot.guess, true);
    slot.end = convert(r, slot);
}

void convert_in_turn(chunk_run& r, chunk_slot& slot)
{
    begin(r, slot, r.truth, false);
    slot.guessed = false;
    run_loop::chunk_output& o = slot.output;
    run_loop::chunk_state& c = *slot.conversion;
    c.local_time.restore_mktime_offset = r.memory_unsure;
    if (!c.referenced && r.plan.form->kind != form_kind::listing) {
        // The first line alone, so that the reference it fixes lets the
        // other threads convert ahead while this one goes on.
        const std::size_t text_room = o.text_room;
        const std::size_t rows_room = o.rows_room;
        o.text_room = std::min(text_room, o.text_used + series_line_room);
        o.rows_room = std::min<std::size_t>(rows_room, 1);
        slot.end = convert(r, slot);
        o.text_room = text_room;
        o.rows_room = rows_room;
        if (c.referenced) {
            const std::lock_guard<std::mutex> held(r.lock);
            r.referenced = true;
            r.reference_second = c.reference_second;
            r.changed.notify_all();
        }
        if (slot.end != run_loop::chunk_end::full) {
            r.memory_unsure = c.local_time.restore_mktime_offset;
            return;
        }
    }
    slot.end = convert(r, slot);
    r.memory_unsure = c.local_time.restore_mktime_offset;
}

handed_on hand_on(chunk_run& r, chunk_slot& slot, series_row* rows, std::size_t room,
                  std::size_t& count)
{
    if (!r.current_ready) {
        if (slot.guessed && !converts_alike(slot.guess, r.truth)) {
            convert_in_turn(r, slot);
        }
        r.current_ready = true;
        r.handed_of_current = 0;
    }
    for (;;) {
        if (!hand_on_output(r, slot, rows, room, count)) {
            return r.outcome.end == run_end::more ? handed_on::rows_full : handed_on::stopped;
        }
        if (slot.end == run_loop::chunk_end::done) {
            close_chunk(r, slot);
            r.current_ready = false;
            return handed_on::chunk;
        }
        if (slot.end == run_loop::chunk_end::refused) {
            const record_tally& tally = slot.output.check.tally;
            r.outcome = outcome_of(run_end::not_a_record);
            r.outcome.line_number = r.lines_before + tally.line_number;
            r.outcome.reason = tally.fault;
            return handed_on::stopped;
        }
        go_on_in_turn(r, slot);
    }
}
