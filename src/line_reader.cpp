#include "line_reader.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

// Moves the unread bytes to the front and reads until a whole piece is
// available or nothing more will come.
void refill(line_reader& reader)
{
    const std::size_t unread = reader.end - reader.begin;
    std::memmove(reader.buffer, reader.buffer + reader.begin, unread);
    reader.begin = 0;
    reader.end = unread;
    while (reader.end < max_piece && !reader.at_end) {
        const ssize_t got = read(reader.fd, reader.buffer + reader.end,
                                 sizeof reader.buffer - reader.end);
        if (got > 0) {
            reader.end += static_cast<std::size_t>(got);
        } else if (got == 0) {
            reader.at_end = true;
        } else if (errno != EINTR) {
            reader.error = errno;
            reader.at_end = true;
        }
    }
}

}  // namespace

bool read_piece(line_reader& reader, char (&line)[max_piece + 1])
{
    if (reader.end - reader.begin < max_piece && !reader.at_end) {
        refill(reader);
    }
    const char* start = reader.buffer + reader.begin;
    std::size_t length = std::min(reader.end - reader.begin, max_piece);
    if (const void* newline = std::memchr(start, '\n', length)) {
        length = static_cast<std::size_t>(static_cast<const char*>(newline) - start) + 1;
    } else if (length < max_piece && reader.error != 0) {
        return false;  // the piece that the failed read cut short
    }
    if (length == 0) {
        return false;
    }
    std::memcpy(line, start, length);
    line[length] = '\0';
    reader.begin += length;
    return true;
}
