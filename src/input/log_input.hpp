// A log's bytes as stamp_series_log and the Python package read them,
// decompressed when their first bytes are those of a gzip, xz or zstd
// stream, whatever the log's name, standard input included. The bytes come
// from a descriptor or from the caller's reads (byte_source.hpp).
#pragma once

#include "input/byte_source.hpp"
#include "input/decompressor.hpp"

#include <sys/types.h>

#include <cstddef>

inline constexpr std::size_t raw_buffer_size = std::size_t{1} << 16;

// Construct it zeroed, then start it; end it to free the decompressor.
struct log_input {
    byte_source source;
    log_format format;
    bool started;          // the first bytes have told the format
    bool raw_ended;        // the source has no more
    decompressor* unpack;  // compressed: the library's state
    int error;             // errno of the read that failed, or ENOMEM
    const char* fault;     // why the compressed data cannot be read, or nullptr
    std::size_t begin;     // raw bytes read ahead and not yet taken: raw + begin to raw + end
    std::size_t end;
    unsigned char raw[raw_buffer_size];
};

// The log at path open for reading, or standard input for nullptr; -1 with
// errno set when it cannot be read, EISDIR for a directory, whose reads
// would fail only later.
int open_log(const char* path);

void start_log_input(log_input& input, byte_source source);

// Reads at most size bytes of the log: gives a count, 0 at its end, or -1
// after a failed read or a decompressor out of memory (error, ENOMEM), or
// with compressed data that is cut short or corrupt (fault), errno then set
// to the error or to EBADMSG.
ssize_t read_log(log_input& input, char* out, std::size_t size);

// read_log as a byte_source reads, for a reader of the decompressed bytes,
// with the fault of compressed data that is cut short or corrupt.
byte_source log_bytes(log_input& input);

void end_log_input(log_input& input);
