// The parts of a run on several threads (chunk_run.hpp): the slots that
// chunks are read, converted and handed on in, and the run's state, which
// chunk_run.cpp (the threads and their turns) and chunk_handoff.cpp (the
// conversion of a chunk and the handing on of its lines) share.
#pragma once

#include "run/chunk_reader.hpp"
#include "run/chunk_run.hpp"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

struct chunk_slot {
    enum class stage { free, read, claimed, converted };
    stage at = stage::free;
    std::unique_ptr<char[]> buffer;
    chunk_bytes bytes{};
    bool guessed = false;  // converted from a guess of its start
    boundary_state guess{};
    run_loop::chunk_end end{};
    std::unique_ptr<run_loop::chunk_state> conversion;
    run_loop::chunk_output output{};
    std::unique_ptr<char[]> text;
    std::unique_ptr<series_row[]> rows;
};

struct chunk_run {
    chunk_plan plan;
    run_loop::chunk_state start;  // the conversion set up, and the run's start state
    chunk_reader reader;
    std::vector<chunk_slot> slots;  // chunk i goes into slots[i % slots.size()]

    // Shared by the threads, under the lock. The chunks below `claimed` are
    // taken; the one at `handed` is the driving thread's to hand on next,
    // and only chunks after it are converted ahead of their turn.
    std::mutex lock;
    std::condition_variable changed;
    std::uint64_t read = 0;  // chunks read
    bool read_all = false;   // no chunk follows those read
    std::uint64_t claimed = 0;
    std::uint64_t handed = 0;
    bool referenced = false;  // the reference second is fixed, and workers may convert
    std::time_t reference_second = 0;
    bool driven = false;  // the run is being driven: its threads may convert
    unsigned busy = 0;    // threads converting ahead now
    bool stop = false;
    std::vector<std::thread> workers;
    std::thread reading;  // the reader's thread, where the source allows one
    int stop_pipe[2] = {-1, -1};

    // The driving thread's own.
    boundary_state truth{};  // the state the chunks handed on ended in
    bool memory_unsure = false;
    write_back back;                 // the output's, where it is to be synced
    std::uint64_t lines_before = 0;  // lines of the chunks handed on
    std::uint64_t non_records = 0;
    std::uint64_t first_non_record = 0;
    record_fault first_fault{};
    std::uint64_t listed = 0;  // lines listed, of the first ten
    bool current_ready = false;
    std::size_t handed_of_current = 0;  // rows or bytes of the current chunk handed on
    bool finished = false;
    run_outcome outcome;
};

using held_lock = std::unique_lock<std::mutex>;

chunk_slot& slot_of(chunk_run& r, std::uint64_t chunk);

// Converts the next chunk ahead of its turn, the lock released meanwhile.
void take_ahead(chunk_run& r, held_lock& held);

// Fills the free slots from the thread that drives the run, where no reader
// thread does, and starts the threads once the log turns out longer than one
// chunk; it stops at the first chunk read once they run.
void read_ahead(chunk_run& r, held_lock& held);

// A chunk of those after `handed` that may be converted ahead now: read,
// not yet taken, and the reference known where it is needed. Under the lock.
bool may_take_ahead(const chunk_run& r);

// Converts the chunk ahead of its turn, from a guess of its start.
void convert_ahead(chunk_run& r, chunk_slot& slot);

// Converts the chunk from the state the chunk before it ended in, with
// mktime; a first line fixes the reference, which the other threads wait for.
void convert_in_turn(chunk_run& r, chunk_slot& slot);

enum class handed_on {
    chunk,      // every line of the chunk
    rows_full,  // as many rows as room allows
    stopped,    // the run stopped: a write failed or a line was refused (outcome)
};

// Hands on the converted chunk's lines, once its start is checked against
// the state the chunk before it ended in, and converted again in turn where
// it was guessed wrong.
handed_on hand_on(chunk_run& r, chunk_slot& slot, series_row* rows, std::size_t room,
                  std::size_t& count);
