// Standard input cut into pieces the way fgets(buffer, 131, stream) cuts it.
#pragma once

#include "stamped_record.hpp"

#include <cstddef>

inline constexpr std::size_t input_buffer_size = std::size_t{1} << 17;

// Construct it zeroed, then set fd.
struct line_reader {
    int fd = -1;
    int error = 0;        // errno of a failed read, 0 if none failed
    bool at_end = false;  // nothing more will be read: end of input or a read error
    std::size_t begin = 0;
    std::size_t end = 0;
    // The room past the data lets the newline search and the copy into a
    // record_line move whole blocks.
    char buffer[input_buffer_size + 256];
};

// Copies the next piece into line and ends it with a NUL: at most 130 bytes,
// ending after the first newline. NUL bytes in the input count as bytes. A
// last piece without a newline is given at the end of input, but dropped
// after a read error. False when no piece is left.
bool read_piece(line_reader& reader, record_line& line);
