#include "input/line_reader.hpp"

#include "input/fd_io.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

void start_reader(line_reader& reader, int fd)
{
    start_reader(reader, byte_source{fd}, fd);
}

void start_reader(line_reader& reader, byte_source source, int waits_on)
{
    reader.source = source;
    reader.waits_on = waits_on;
    struct stat info {};
    reader.may_wait = waits_on >= 0 && (fstat(waits_on, &info) != 0 || !S_ISREG(info.st_mode));
}

// Kept out of the loops, which inline all else: a read per 128 KiB of input.
[[gnu::noinline]] void refill(line_reader& reader)
{
    const std::size_t unread = reader.end - reader.begin;
    std::memmove(reader.data(), reader.data() + reader.begin, unread);
    reader.begin = 0;
    reader.end = unread;
    const ssize_t got =
        read_source(reader.source, reader.data() + unread, input_buffer_size - unread);
    if (got > 0) {
        reader.end += static_cast<std::size_t>(got);
    } else {
        reader.error = got < 0 ? errno : 0;
        reader.at_end = true;
    }
}

bool input_ready(const line_reader& reader)
{
    return !reader.may_wait || input_ready(reader.waits_on);
}
