// The output line and the buffer it goes through.
#pragma once

#include "stamped_record.hpp"

#include <cstddef>

inline constexpr std::size_t series_buffer_size = std::size_t{1} << 16;

// Output collects here and goes out in large writes. After a failed write the
// writer keeps the errno and takes nothing more. Declare it without braces
// and set fd: the buffer needs no clearing.
struct series_writer {
    int fd = -1;
    bool line_by_line = false;  // for a terminal, where a person watches each line arrive
    int error = 0;              // errno of the write that failed, 0 while every write succeeded
    std::size_t used = 0;
    char buffer[series_buffer_size];
};

// Appends "<elapsed> <channel_1> <channel_2> <channel_3> <2 x channel_4>\n",
// the elapsed seconds with exactly three decimals, rounded as printf's "%.3f"
// rounds them. False once a write has failed.
bool write_series_line(series_writer& writer, double elapsed, const stamped_record& record);

// Writes out what the buffer holds. False if a write fails.
bool flush_series(series_writer& writer);

// Writes elapsed as printf's "%.3f" would and gives the end of the text.
// out needs room for 32 characters.
char* format_elapsed(char* out, double elapsed);
