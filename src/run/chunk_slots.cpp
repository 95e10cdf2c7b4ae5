// The slots of a run on several threads, the threads that fill them with
// chunks and convert them ahead of their turn, and the run's start and end.
#include "run/chunk_slots.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>

namespace {

// Rows a chunk's output holds at least, and bytes of text: what its lines
// give where they are not unusually short.
constexpr std::size_t least_output = std::size_t{1} << 16;

void work(chunk_run& r)
{
    held_lock held(r.lock);
    for (;;) {
        r.changed.wait(held, [&r] { return r.stop || may_take_ahead(r); });
        if (r.stop) {
            return;
        }
        take_ahead(r, held);
    }
}

bool slot_free(const chunk_run& r)
{
    return r.read < r.handed + r.slots.size();
}

// Reads the next chunk into its free slot, the lock released meanwhile.
// A slot's memory, made when its first chunk is read: its bytes, cleared,
// as the scanner may read past a chunk's end; and its output.
bool make_slot(chunk_run& r, chunk_slot& slot)
{
    const std::size_t chunk = r.reader.chunk_size;
    run_loop::chunk_output& o = slot.output;
    o.text_room = r.plan.form->kind == form_kind::text ? 2 * chunk + least_output : 0;
    o.rows_room =
        r.plan.form->kind == form_kind::rows ? std::max(chunk / 16, least_output / 16) : 0;
    const std::size_t size = chunk_buffer_size(r.reader);
    slot.buffer.reset(new (std::nothrow) char[size]());
    slot.conversion.reset(new (std::nothrow) run_loop::chunk_state);
    slot.text.reset(new (std::nothrow) char[o.text_room]);
    slot.rows.reset(new (std::nothrow) series_row[o.rows_room]);
    o.text = slot.text.get();
    o.rows = slot.rows.get();
    return slot.buffer && slot.conversion && slot.text && slot.rows;
}

void read_one(chunk_run& r, held_lock& held)
{
    chunk_slot& slot = slot_of(r, r.read);
    held.unlock();
    chunk_bytes bytes{};
    bool got = false;
    if (slot.buffer != nullptr || make_slot(r, slot)) {
        got = read_chunk(r.reader, slot.buffer.get(), bytes);
    } else {
        stop_reading(r.reader, ENOMEM);
    }
    held.lock();
    if (got) {
        slot.bytes = bytes;
        slot.at = chunk_slot::stage::read;
        ++r.read;
    } else {
        r.read_all = true;
    }
    r.changed.notify_all();
}

void read_log(chunk_run& r)
{
    held_lock held(r.lock);
    while (!r.read_all) {
        r.changed.wait(held, [&r] { return r.stop || slot_free(r); });
        if (r.stop) {
            return;
        }
        read_one(r, held);
    }
}

// Once the log turns out longer than one chunk: the threads that convert
// ahead, and the reader's, where the source may be read from another thread.
void start_threads(chunk_run& r)
{
    if (!r.workers.empty() || r.read_all || r.reader.ended) {
        return;
    }
    if (!r.plan.source.always_may_wait) {
        r.reading = std::thread(read_log, std::ref(r));
    }
    // Decompression, on the reader's thread, is slower than conversion on
    // one: it takes one of the run's processors to itself, rather than
    // share it with a thread that converts ahead of it.
    const byte_source& bytes = r.plan.source.bytes;
    const bool unpacking =
        r.reading.joinable() && bytes.unpacks != nullptr && bytes.unpacks(bytes.context);
    const unsigned converting = r.plan.threads - (unpacking ? 1 : 0);
    for (unsigned i = 1; i < converting; ++i) {
        r.workers.emplace_back(work, std::ref(r));
    }
}

}  // namespace

void read_ahead(chunk_run& r, held_lock& held)
{
    while (!r.reading.joinable() && !r.read_all && slot_free(r)) {
        read_one(r, held);
        start_threads(r);
        if (!r.workers.empty() && r.read > r.handed) {
            break;  // the threads convert what was read meanwhile
        }
    }
}

chunk_slot& slot_of(chunk_run& r, std::uint64_t chunk)
{
    return r.slots[chunk % r.slots.size()];
}

bool may_take_ahead(const chunk_run& r)
{
    return r.driven && !r.stop && r.claimed < r.read && r.claimed > r.handed &&
           (r.referenced || r.plan.form->kind == form_kind::listing);
}

chunk_run* start_chunk_run(const chunk_plan& plan)
{
    auto* r = new (std::nothrow) chunk_run{};
    if (r == nullptr || pipe2(r->stop_pipe, O_CLOEXEC) != 0) {
        end_chunk_run(r);
        errno = ENOMEM;
        return nullptr;
    }
    r->plan = plan;
    const run_loop::run_state& s = *plan.start;
    r->start.local_time = s.local_time;
    r->truth = boundary_of(s);
    r->referenced = s.referenced;
    r->reference_second = s.reference_second;
    r->memory_unsure = plan.restore_mktime_offset;
    r->back.on = plan.durable;
    start_chunk_reader(r->reader, plan.source, plan.chunk_size, r->stop_pipe[0]);
    // A fixed number of chunks in flight for each thread, whatever the log's length.
    r->slots.resize(2 * std::size_t{plan.threads} + 2);
    return r;
}

void end_chunk_run(chunk_run* r)
{
    if (r == nullptr) {
        return;
    }
    {
        const std::lock_guard<std::mutex> held(r->lock);
        r->stop = true;
        r->changed.notify_all();
    }
    if (r->stop_pipe[1] >= 0) {
        static_cast<void>(write(r->stop_pipe[1], "", 1));
    }
    for (std::thread& worker : r->workers) {
        worker.join();
    }
    if (r->reading.joinable()) {
        r->reading.join();
    }
    for (const int fd : r->stop_pipe) {
        if (fd >= 0) {
            close(fd);
        }
    }
    delete r;
}
