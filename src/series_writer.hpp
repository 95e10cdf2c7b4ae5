// The output line and the buffer it goes through.
#pragma once

#include "local_time.hpp"
#include "stamped_record.hpp"

#include <cstddef>
#include <cstdint>
#include <ctime>

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
// where elapsed is record_time - reference_second in double precision,
// written with exactly three decimals as printf's "%.3f" writes it. False
// once a write has failed.
bool write_series_line(series_writer& writer, const converted_time& time,
                       std::time_t reference_second, const stamped_record& record);

// Writes out what the buffer holds. False if a write fails.
bool flush_series(series_writer& writer);

// Writes elapsed as printf's "%.3f" would and gives the end of the text.
// out needs room for 32 characters.
char* format_elapsed(char* out, double elapsed);

// The same for elapsed = time.record_time - reference_second, where
// record_time is record_seconds + milliseconds * 0.001.
char* format_elapsed(char* out, const converted_time& time, std::time_t reference_second,
                     std::int32_t milliseconds);
