#include "series/series_writer.hpp"

#include "input/fd_io.hpp"

#include <cstring>

char* series_room(series_writer& writer, std::size_t size)
{
    if (sizeof writer.buffer - writer.used < size && !flush_series(writer)) {
        return nullptr;
    }
    return writer.error == 0 ? writer.buffer + writer.used : nullptr;
}

bool end_series_line(series_writer& writer, const char* end)
{
    writer.used = static_cast<std::size_t>(end - writer.buffer);
    return !writer.line_by_line || flush_series(writer);
}

bool write_text(series_writer& writer, const char* text, std::size_t size)
{
    char* out = series_room(writer, size);
    if (out == nullptr) {
        return false;
    }
    std::memcpy(out, text, size);
    return end_series_line(writer, out + size);
}

// Kept out of the loops, which inline all else: a write per 64 KiB of output.
[[gnu::noinline]] bool flush_series(series_writer& writer)
{
    if (writer.error == 0) {
        writer.error = write_all(writer.fd, writer.buffer, writer.used);
        wrote(writer.back, writer.fd, writer.used);
        writer.used = 0;
    }
    return writer.error == 0;
}
