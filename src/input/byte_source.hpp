// Where a reader's bytes come from: a descriptor, or a function of the
// caller's that stands in for one (a decompressed log, a Python file
// object's reads, bytes in memory).
#pragma once

#include "input/fd_io.hpp"

#include <sys/types.h>

#include <cstddef>

struct byte_source {
    int fd = -1;  // read with read_some; with -1, through `read`
    // Reads at most size bytes: gives a count, 0 at the end of the bytes, or
    // -1 with errno set.
    ssize_t (*read)(void* context, char* buffer, std::size_t size) = nullptr;
    void* context = nullptr;
    // After a failed read: the reason when the bytes themselves are at fault
    // (a compressed log cut short or corrupt), with the name of their format
    // in *format; nullptr for any other failure, or where this is null.
    const char* (*fault)(const void* context, const char** format) = nullptr;
    // Whether the bytes are decompressed as they are read, which keeps the
    // reader busy; known after the first read. Where this is null, they are not.
    bool (*unpacks)(const void* context) = nullptr;
};

inline ssize_t read_source(const byte_source& source, char* buffer, std::size_t size)
{
    return source.fd >= 0 ? read_some(source.fd, buffer, size)
                          : source.read(source.context, buffer, size);
}
