// The output buffer, its writes to the descriptor, and their errors.
#pragma once

#include "input/fd_io.hpp"

#include <cstddef>

inline constexpr std::size_t series_buffer_size = std::size_t{1} << 16;

// Output collects here and goes out in large writes. After a failed write the
// writer keeps the errno and takes nothing more. Set fd and line_by_line
// before the first line.
struct series_writer {
    int fd = -1;
    bool line_by_line = false;  // for a terminal, where a person watches each line arrive
    int error = 0;              // errno of the write that failed, 0 while every write succeeded
    write_back back;            // on for a file to be synced when it is whole
    std::size_t used = 0;
    char buffer[series_buffer_size];
};

// Room for `size` more bytes at the end of the buffer, flushing it first
// when it has less; nullptr once a write has failed.
char* series_room(series_writer& writer, std::size_t size);

// Takes the bytes written from the room up to end as the next line; false
// once a write has failed.
bool end_series_line(series_writer& writer, const char* end);

// Takes `size` bytes of other text (a message, a listing) after the lines
// before; false once a write has failed.
bool write_text(series_writer& writer, const char* text, std::size_t size);

// Writes out what the buffer holds. False if a write fails.
bool flush_series(series_writer& writer);
