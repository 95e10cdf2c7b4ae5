// Standard input cut into pieces the way fgets(buffer, 131, stream) cuts it.
#pragma once

#include <cstddef>

inline constexpr std::size_t max_piece = 130;
inline constexpr std::size_t input_buffer_size = std::size_t{1} << 17;

// Declare it without braces and set fd: the buffer needs no clearing.
struct line_reader {
    int fd = -1;
    int error = 0;        // errno of a failed read, 0 if none failed
    bool at_end = false;  // nothing more will be read: end of input or a read error
    std::size_t begin = 0;
    std::size_t end = 0;
    char buffer[input_buffer_size];
};

// Copies the next piece into line and ends it with a NUL: at most 130 bytes,
// ending after the first newline. NUL bytes in the input count as bytes. A
// last piece without a newline is given at the end of input, but dropped
// after a read error. False when no piece is left.
bool read_piece(line_reader& reader, char (&line)[max_piece + 1]);
