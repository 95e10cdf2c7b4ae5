// The thread that drives a run on several threads: it converts and hands on
// the chunks in order, and helps convert ahead while it waits.
#include "run/chunk_slots.hpp"

void take_ahead(chunk_run& r, held_lock& held)
{
    chunk_slot& slot = slot_of(r, r.claimed++);
    slot.at = chunk_slot::stage::claimed;
    ++r.busy;
    held.unlock();
    convert_ahead(r, slot);
    held.lock();
    slot.at = chunk_slot::stage::converted;
    --r.busy;
    r.changed.notify_all();
}

namespace {

// The chunk to hand on next is converted, in turn or ahead of it; false when
// no chunk follows, or when its bytes are still to be read and the run
// shares the process (needs_input).
bool next_converted(chunk_run& r, held_lock& held, bool shared, bool& needs_input)
{
    const std::uint64_t chunk = r.handed;
    while (chunk >= r.read && !r.read_all) {
        if (shared && (r.reader.waits_on >= 0 || !r.reading.joinable())) {
            needs_input = true;
            return false;
        }
        r.reading.joinable() ? r.changed.wait(held) : read_ahead(r, held);
    }
    if (chunk >= r.read) {
        return false;
    }
    chunk_slot& slot = slot_of(r, chunk);
    // A chunk that no thread took ahead is taken here, in the same way but
    // for the log's first, which starts from the run's state: whichever
    // thread converts a chunk, and whenever, it goes the same way.
    if (r.claimed == chunk) {
        ++r.claimed;
        slot.at = chunk_slot::stage::claimed;
        held.unlock();
        slot.bytes.first ? convert_in_turn(r, slot) : convert_ahead(r, slot);
        held.lock();
        slot.at = chunk_slot::stage::converted;
    }
    while (slot.at != chunk_slot::stage::converted) {
        may_take_ahead(r) ? take_ahead(r, held) : r.changed.wait(held);
    }
    return true;
}

// What the run ended with, once every chunk is handed on.
run_outcome ended(const chunk_run& r)
{
    const chunk_reader& reader = r.reader;
    if (!reader.failed) {
        return outcome_of(run_end::input_ended);
    }
    run_outcome o = outcome_of(run_end::read_failed, reader.error);
    const byte_source& bytes = r.plan.source.bytes;
    o.fault = bytes.fault != nullptr ? bytes.fault(bytes.context, &o.format) : nullptr;
    o.end = o.fault != nullptr ? run_end::compressed_fault : run_end::read_failed;
    return o;
}

void finish(chunk_run& r, const run_outcome& o)
{
    r.finished = true;
    r.outcome = o;
    r.outcome.non_records = r.non_records;
    r.outcome.first_non_record = r.first_non_record;
    r.outcome.first_fault = r.first_fault;
}

// The threads stop converting ahead until the run is driven again.
void pause(chunk_run& r, held_lock& held)
{
    r.driven = false;
    r.changed.wait(held, [&r] { return r.busy == 0; });
}

}  // namespace

run_outcome drive_chunk_run(chunk_run& r, series_row* rows, std::size_t room, std::size_t& count,
                            bool shared, bool& needs_input)
{
    count = 0;
    needs_input = false;
    held_lock held(r.lock);
    r.driven = true;
    r.changed.notify_all();
    while (!r.finished && (r.plan.form->kind != form_kind::rows || count < room)) {
        if (!r.current_ready && !next_converted(r, held, shared, needs_input)) {
            if (!needs_input) {
                finish(r, ended(r));
            }
            break;
        }
        chunk_slot& slot = slot_of(r, r.handed);
        held.unlock();
        const handed_on result = hand_on(r, slot, rows, room, count);
        held.lock();
        if (result == handed_on::stopped) {
            finish(r, r.outcome);
        } else if (result == handed_on::chunk) {
            slot.at = chunk_slot::stage::free;
            ++r.handed;
            r.changed.notify_all();
        }
    }
    pause(r, held);
    return r.finished ? r.outcome : outcome_of(run_end::more);
}

void wait_for_chunk(chunk_run& r)
{
    held_lock held(r.lock);
    r.reading.joinable() ? r.changed.wait(held, [&r] { return r.read > r.handed || r.read_all; })
                         : read_ahead(r, held);
}

void mktime_memory_moved(chunk_run& r)
{
    r.memory_unsure = true;
}

boundary_state chunk_run_boundary(const chunk_run& r)
{
    return r.truth;
}
