// The reading of a log into chunks for a run on several threads: each chunk
// whole pieces of input, cut as one thread cuts them, and ending after the
// first newline that comes once it holds the chunk size, so that it starts
// where a line starts. A chunk is held in a buffer of its own, with room
// before and after it that the scanner may read, and with the bytes of the
// log just before it, from which the state it starts from is guessed.
#pragma once

#include "run/run.hpp"

#include <cstddef>
#include <memory>

// The bytes of the log just before a chunk that are kept in front of it.
inline constexpr std::size_t chunk_prelude = 512;

// One chunk, as the reader leaves it in its buffer.
struct chunk_bytes {
    const char* start;
    std::size_t size;
    std::size_t prelude;      // bytes of the log just before start, in the buffer
    bool starts_inside_line;  // a line longer than a chunk goes on in it
    bool ends_log;            // the log ends with it: its last piece needs no newline
    bool first;               // the log starts with it
};

struct chunk_reader {
    run_source source;
    std::size_t chunk_size;
    std::size_t longest;  // a chunk ends at a piece boundary once it holds this much
    std::unique_ptr<char[]> carry;
    std::size_t carry_prelude;  // the carry: the last bytes of the chunk before,
    std::size_t carry_size;     // then the bytes read past its end
    std::size_t line_progress;  // bytes of the line that the carried bytes start in, before them
    std::size_t chunks_read;
    bool ended;    // nothing more will be read
    bool failed;   // the read that ended it failed
    int error;     // its errno
    int waits_on;  // the descriptor a read may wait on, -1 for none
    int stop_fd;   // a read that may wait also waits on this; -1 for none
};

// The size of the buffer that holds a chunk, room before and after included.
std::size_t chunk_buffer_size(const chunk_reader& reader);

void start_chunk_reader(chunk_reader& reader, const run_source& source, std::size_t chunk_size,
                        int stop_fd);

// Nothing more is read: a read failed with `error`, or as much.
void stop_reading(chunk_reader& reader, int error);

// Reads the next chunk into `buffer`. False when no chunk follows: the log
// has ended, a read failed, or stop_fd became readable.
bool read_chunk(chunk_reader& reader, char* buffer, chunk_bytes& chunk);
