// Standard input cut into pieces the way fgets(buffer, 131, stream) cuts
// it: at most 130 bytes, ending after the first newline. The pieces are
// handed out in place, in the buffer they were read into.
#pragma once

#include "data/stage_data.hpp"
#include "input/byte_source.hpp"
#include "simd/byte_class.hpp"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>

inline constexpr std::size_t input_buffer_size = std::size_t{1} << 17;

// Construct it zeroed, then start it.
struct line_reader {
    static constexpr std::size_t front = record_line::before;
    static constexpr std::size_t back = record_line::max_length + record_line::after;
    byte_source source;
    int waits_on = -1;      // the descriptor behind the source; -1 for none, never ready
    bool may_wait = true;   // false for a regular file, which a read never waits for, or memory
    int error = 0;          // errno of a failed read, 0 if none failed
    bool at_end = false;    // nothing more will be read: end of input or a read error
    std::size_t begin = 0;  // the unread bytes: data() + begin to data() + end
    std::size_t end = 0;
    char storage[front + input_buffer_size + back];

    char* data() { return storage + front; }
    const char* data() const { return storage + front; }
};

// Sets the reader to read fd.
void start_reader(line_reader& reader, int fd);

// Sets the reader to read through the source's function; a read may wait
// only where it reads the descriptor `waits_on`, which is not a regular file.
void start_reader(line_reader& reader, byte_source source, int waits_on);

// Moves the unread bytes to the front and reads once: as much as the buffer
// takes, or as much as the input has ready. The pieces handed out before
// are no longer valid.
void refill(line_reader& reader);

// False when refilling would wait for the input to bring more.
bool input_ready(const line_reader& reader);

// The newline search reads whole blocks, at most this far past a piece's start.
inline constexpr std::size_t newline_reach =
    (record_line::max_length + newline_block - 1) / newline_block * newline_block;
static_assert(newline_reach <= record_line::max_length + record_line::after);

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

// The length of the piece that starts at `start`, with `available` bytes
// (at most 130) read from there on: it ends after the first newline. NUL
// bytes count as bytes. A piece is complete as soon as its newline has
// arrived, as it is for a line typed at a terminal or appended to a followed
// log; a last piece without one only where input_ended() says the input has
// ended, which is asked only then. 0 when no complete piece has been read.
template <class level, class ended>
std::size_t piece_length(const char* start, std::size_t available, ended input_ended)
{
    const std::size_t newline = find_newline<level>(start, available);
    std::size_t length = newline + 1;
    if (newline == available) {
        length = available == record_line::max_length || input_ended() ? available : 0;
    }
    return length;
}

// The next piece that has been read, handed out in place. A last piece
// without a newline is given at the end of input, but dropped after a read
// error. False when no complete piece has been read: then the input has
// ended (at_end) or must be refilled.
template <class level>
bool take_piece(line_reader& reader, record_line& line)
{
    const char* start = reader.data() + reader.begin;
    const std::size_t length =
        piece_length<level>(start, std::min(reader.end - reader.begin, record_line::max_length),
                            [&reader] { return reader.at_end && reader.error == 0; });
    if (length == 0) {
        return false;
    }
    line = {start, length};
    reader.begin += length;
    return true;
}
