#include "line_reader.hpp"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <unistd.h>

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
            const auto mask = static_cast<std::uint32_t>(
                _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, newline)));
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

// Moves the unread bytes to the front and reads until a whole piece is
// available or nothing more will come.
void refill(line_reader& reader)
{
    const std::size_t unread = reader.end - reader.begin;
    std::memmove(reader.buffer, reader.buffer + reader.begin, unread);
    reader.begin = 0;
    reader.end = unread;
    while (reader.end < max_piece && !reader.at_end) {
        const ssize_t got =
            read(reader.fd, reader.buffer + reader.end, input_buffer_size - reader.end);
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

bool read_piece(line_reader& reader, record_line& line)
{
    if (reader.end - reader.begin < max_piece && !reader.at_end) {
        refill(reader);
    }
    const char* start = reader.buffer + reader.begin;
    const std::size_t available = std::min(reader.end - reader.begin, max_piece);
    std::size_t length = find_newline(start, available);
    if (length < available) {
        ++length;  // the newline belongs to the piece
    } else if (length < max_piece && reader.error != 0) {
        return false;  // the piece that the failed read cut short
    }
    if (length == 0) {
        return false;
    }
    // A fixed-size copy is quicker than one of the exact length; the bytes
    // past the terminator are never read as text.
    if (length < block) {
        std::memcpy(line.text, start, block);
    } else {
        std::memcpy(line.text, start, 2 * block + 16);
    }
    line.text[length] = '\0';
    reader.begin += length;
    return true;
}
