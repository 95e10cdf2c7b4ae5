// Standard input cut into pieces the way fgets(buffer, 131, stream) cuts
// it: at most 130 bytes, ending after the first newline.
#pragma once

#include "simd/byte_class.hpp"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

// One piece as the scanner takes it, ended by a NUL. The scanner reads up to
// scan_reach bytes past any position it reaches, the terminator included,
// so the padding keeps those reads inside the buffer; zero it once, so that
// they never see indeterminate bytes.
struct record_line {
    static constexpr std::size_t max_length = 130;
    static constexpr std::size_t scan_reach = window_classes::size + 8;
    static constexpr std::size_t padding = 46;
    static_assert(padding >= scan_reach, "room for the scanner's reads past the terminator");
    char text[max_length + padding];
};

inline constexpr std::size_t input_buffer_size = std::size_t{1} << 17;

// Construct it zeroed, then start it.
struct line_reader {
    int fd = -1;
    bool may_wait = true;  // false for a regular file, which a read never waits for
    int error = 0;         // errno of a failed read, 0 if none failed
    bool at_end = false;   // nothing more will be read: end of input or a read error
    std::size_t begin = 0;
    std::size_t end = 0;
    // The room past the data lets the newline search and the copy into a
    // record_line move whole blocks.
    char buffer[input_buffer_size + 256];
};

// Sets the reader to read fd.
void start_reader(line_reader& reader, int fd);

// Moves the unread bytes to the front and reads once: as much as the buffer
// takes, or as much as the input has ready.
void refill(line_reader& reader);

// False when refilling would wait for the input to bring more.
bool input_ready(const line_reader& reader);

namespace line_reader_detail {

// The copy into a record_line moves one block for a short piece, or this
// many bytes for any piece: more than the longest piece, and a whole number
// of 16-byte moves.
inline constexpr std::size_t long_copy = 2 * newline_block + 16;
static_assert(long_copy > record_line::max_length && sizeof(record_line::text) >= long_copy);
static_assert(sizeof(line_reader::buffer) - input_buffer_size >= long_copy);

// Where the first newline is among the first limit bytes at p; limit if
// there is none. One block covers most lines.
template <class level>
std::size_t find_newline(const char* p, std::size_t limit)
{
    for (std::size_t offset = 0; offset < limit; offset += newline_block) {
        const std::uint64_t hits = level::newline_mask(p + offset);
        if (hits != 0) {
            return std::min(offset + static_cast<std::size_t>(std::countr_zero(hits)), limit);
        }
    }
    return limit;
}

// The length of the next piece in what has been read, or 0 when there is
// none yet. A piece is complete as soon as its newline has arrived, as it is
// for a line typed at a terminal or appended to a followed log.
template <class level>
std::size_t next_piece_length(const line_reader& reader)
{
    const std::size_t available = std::min(reader.end - reader.begin, record_line::max_length);
    const std::size_t newline = find_newline<level>(reader.buffer + reader.begin, available);
    if (newline < available) {
        return newline + 1;
    }
    if (available == record_line::max_length) {
        return available;
    }
    // The last piece needs no newline, but one cut short by a failed read is
    // dropped.
    return reader.at_end && reader.error == 0 ? available : 0;
}

}  // namespace line_reader_detail

// Copies the next piece that has been read into line and ends it with a
// NUL. NUL bytes in the input count as bytes. A last piece without a newline
// is given at the end of input, but dropped after a read error. False when
// no complete piece has been read: then the input has ended (at_end) or
// must be refilled.
template <class level>
bool take_piece(line_reader& reader, record_line& line)
{
    using namespace line_reader_detail;
    const std::size_t length = next_piece_length<level>(reader);
    if (length == 0) {
        return false;
    }
    // A copy of a fixed size, known when compiling, is a few vector moves;
    // one of the exact length is a call with branches of its own. The bytes
    // past the terminator are never read as text.
    const char* start = reader.buffer + reader.begin;
    if (length < newline_block) {
        std::memcpy(line.text, start, newline_block);
    } else {
        std::memcpy(line.text, start, long_copy);
    }
    line.text[length] = '\0';
    reader.begin += length;
    return true;
}
