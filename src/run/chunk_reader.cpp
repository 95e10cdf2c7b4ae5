#include "run/chunk_reader.hpp"

#include "data/stage_data.hpp"
#include "input/fd_io.hpp"

#include <poll.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// How far past the chunk size a chunk may reach for its newline, and the
// reads that look for it.
constexpr std::size_t newline_search = std::size_t{1} << 16;
constexpr std::size_t read_step = 4096;
constexpr std::size_t piece = record_line::max_length;

std::size_t capacity_of(const chunk_reader& reader)
{
    return reader.longest + read_step;
}

char* start_in(char* buffer)
{
    return buffer + record_line::before + chunk_prelude;
}

// Where the last line that starts in text[0, size) starts, counted from
// text; or, with none, where the line it goes on started, before text.
std::ptrdiff_t last_line_start(const char* text, std::size_t size, std::size_t progress)
{
    const void* newline = memrchr(text, '\n', size);
    return newline != nullptr ? static_cast<const char*>(newline) - text + 1
                              : -static_cast<std::ptrdiff_t>(progress);
}

// The last piece boundary in text[0, size), or 0: a line start, or 130
// bytes on from one.
std::size_t last_piece_end(const char* text, std::size_t size, std::size_t progress)
{
    constexpr auto piece_length = static_cast<std::ptrdiff_t>(piece);
    const std::ptrdiff_t line = last_line_start(text, size, progress);
    const std::ptrdiff_t pieces = (static_cast<std::ptrdiff_t>(size) - line) / piece_length;
    return static_cast<std::size_t>(std::max<std::ptrdiff_t>(line + pieces * piece_length, 0));
}

// Where the chunk in text[0, size) ends, or 0 while it needs more bytes.
std::size_t cut_of(const chunk_reader& reader, const char* text, std::size_t size)
{
    if (reader.ended) {
        return size;
    }
    if (size >= reader.chunk_size) {
        const std::size_t from = reader.chunk_size - 1;
        if (const void* newline = std::memchr(text + from, '\n', size - from)) {
            return static_cast<std::size_t>(static_cast<const char*>(newline) - text) + 1;
        }
    }
    return size >= reader.longest ? last_piece_end(text, size, reader.line_progress) : 0;
}

// Waits until the source has bytes or stop_fd is readable; false for the
// latter.
bool wait_for_input(const chunk_reader& reader)
{
    if (reader.stop_fd < 0 || reader.waits_on < 0) {
        return true;
    }
    pollfd watched[] = {{reader.waits_on, POLLIN, 0}, {reader.stop_fd, POLLIN, 0}};
    while (poll(watched, 2, -1) < 0) {
        if (errno != EINTR) {
            return true;  // the read itself then tells what is wrong
        }
    }
    return (watched[1].revents & POLLIN) == 0;
}

// One read into text[size, ...): false when the log ended or the read
// failed, or the reader was stopped.
bool read_more(chunk_reader& reader, char* text, std::size_t& size)
{
    const std::size_t want = size < reader.chunk_size ? reader.chunk_size - size : read_step;
    if (!wait_for_input(reader)) {
        return false;
    }
    const ssize_t got =
        read_source(reader.source.bytes, text + size, std::min(want, capacity_of(reader) - size));
    if (got > 0) {
        size += static_cast<std::size_t>(got);
        return true;
    }
    got < 0 ? stop_reading(reader, errno) : static_cast<void>(reader.ended = true);
    return true;
}

// Keeps the bytes past the cut, and those just before it, for the next chunk.
void carry_over(chunk_reader& reader, const char* text, std::size_t cut, std::size_t size,
                std::size_t prelude)
{
    const std::size_t kept = std::min(chunk_prelude, prelude + cut);
    std::memcpy(reader.carry.get(), text + cut - kept, kept);
    std::memcpy(reader.carry.get() + kept, text + cut, size - cut);
    reader.carry_prelude = kept;
    reader.carry_size = size - cut;
    const std::ptrdiff_t line = last_line_start(text, cut, reader.line_progress);
    reader.line_progress = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(cut) - line);
}

}  // namespace

std::size_t chunk_buffer_size(const chunk_reader& reader)
{
    return record_line::before + chunk_prelude + capacity_of(reader) + record_line::max_length +
           record_line::after;
}

void start_chunk_reader(chunk_reader& reader, const run_source& source, std::size_t chunk_size,
                        int stop_fd)
{
    reader.source = source;
    reader.chunk_size = std::max<std::size_t>(chunk_size, 1);
    reader.longest = reader.chunk_size + newline_search;
    reader.carry.reset(new char[chunk_prelude + capacity_of(reader)]);
    reader.stop_fd = stop_fd;
    struct stat info {};
    const int fd = source.waits_on;
    reader.waits_on = fd >= 0 && (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) ? fd : -1;
}

void stop_reading(chunk_reader& reader, int error)
{
    reader.ended = true;
    reader.failed = true;
    reader.error = error;
}

bool read_chunk(chunk_reader& reader, char* buffer, chunk_bytes& chunk)
{
    char* text = start_in(buffer);
    std::memcpy(text - reader.carry_prelude, reader.carry.get(), reader.carry_prelude);
    std::memcpy(text, reader.carry.get() + reader.carry_prelude, reader.carry_size);
    std::size_t size = reader.carry_size;
    const std::size_t prelude = reader.carry_prelude;
    const bool inside_line = reader.line_progress != 0;
    std::size_t cut = cut_of(reader, text, size);
    while (cut == 0 && !reader.ended) {
        // Before a read that would wait, the whole pieces read so far go on,
        // so that a log that is still being written flows through.
        const bool waits = reader.waits_on >= 0 && !input_ready(reader.waits_on);
        cut = waits && size > 0 ? last_piece_end(text, size, reader.line_progress) : 0;
        if (cut == 0 && !read_more(reader, text, size)) {
            return false;
        }
        cut = cut != 0 ? cut : cut_of(reader, text, size);
    }
    if (cut == 0) {
        return false;
    }
    chunk = {text,
             cut,
             prelude,
             inside_line,
             reader.ended && !reader.failed && cut == size,
             reader.chunks_read++ == 0};
    carry_over(reader, text, cut, size, prelude);
    return true;
}
