#include "line_reader.hpp"

#include <unistd.h>
#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr std::size_t max_piece = record_line::max_length;
constexpr std::size_t block = 64;
static_assert(sizeof(record_line::text) >= 2 * block + 16, "room to copy the longest piece");

// Where the first newline is among the first limit bytes at p; limit if
// there is none. Looks at 64 bytes at a time, so one step covers most lines.
std::size_t find_newline(const char* p, std::size_t limit)
{
#if defined(__SSE2__)
    const __m128i newline = _mm_set1_epi8('\n');
    for (std::size_t offset = 0; offset < limit; offset += block) {
        std::uint64_t hits = 0;
        for (std::size_t part = 0; part < block; part += 16) {
            const __m128i bytes =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + offset + part));
            const auto mask =
                static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, newline)));
            hits |= std::uint64_t{mask} << part;
        }
        if (hits != 0) {
            return std::min(offset + static_cast<std::size_t>(std::countr_zero(hits)), limit);
        }
    }
    return limit;
#else
    const void* found = std::memchr(p, '\n', limit);
    return found != nullptr ? static_cast<std::size_t>(static_cast<const char*>(found) - p) : limit;
#endif
}

// Moves the unread bytes to the front and reads once more: as much as the
// buffer takes, or as much as the input has ready.
void refill(line_reader& reader)
{
    const std::size_t unread = reader.end - reader.begin;
    std::memmove(reader.buffer, reader.buffer + reader.begin, unread);
    reader.begin = 0;
    reader.end = unread;
    for (;;) {
        const ssize_t got =
            read(reader.fd, reader.buffer + reader.end, input_buffer_size - reader.end);
        if (got > 0) {
            reader.end += static_cast<std::size_t>(got);
        } else if (got == 0) {
            reader.at_end = true;
        } else if (errno == EINTR) {
            continue;
        } else {
            reader.error = errno;
            reader.at_end = true;
        }
        return;
    }
}

// The length of the next piece, reading only while none is complete: a
// piece is ready as soon as its newline has arrived, as it is for a line
// typed at a terminal or appended to a followed log. 0 when nothing is left.
std::size_t next_piece_length(line_reader& reader)
{
    for (;;) {
        const std::size_t available = std::min(reader.end - reader.begin, max_piece);
        const std::size_t newline = find_newline(reader.buffer + reader.begin, available);
        if (newline < available) {
            return newline + 1;
        }
        if (available == max_piece) {
            return max_piece;
        }
        if (reader.at_end) {
            // The last piece needs no newline, but one cut short by a failed
            // read is dropped.
            return reader.error == 0 ? available : 0;
        }
        refill(reader);
    }
}

}  // namespace

bool read_piece(line_reader& reader, record_line& line)
{
    const std::size_t length = next_piece_length(reader);
    if (length == 0) {
        return false;
    }
    // A fixed-size copy is quicker than one of the exact length; the bytes
    // past the terminator are never read as text.
    const char* start = reader.buffer + reader.begin;
    if (length < block) {
        std::memcpy(line.text, start, block);
    } else {
        std::memcpy(line.text, start, 2 * block + 16);
    }
    line.text[length] = '\0';
    reader.begin += length;
    return true;
}
