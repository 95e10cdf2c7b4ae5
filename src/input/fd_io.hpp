// Reading and writing a descriptor, with the retries the system asks for in
// one place: after an interruption by a signal, and, on a descriptor that
// another process has made non-blocking, after waiting until it is ready.
#pragma once

#include <sys/types.h>

#include <cstddef>

// Reads at most size bytes. Gives the count, 0 at the end of input, or -1
// with errno set.
ssize_t read_some(int fd, char* buffer, std::size_t size);

// Writes all size bytes, in as many writes as it takes. Gives 0, or the errno
// of the write that failed (EIO for a write that took nothing).
int write_all(int fd, const char* data, std::size_t size);

// A file written out that is to be synced when it is whole: what was written
// goes to the disk as it passes each MiB, so that the sync at the end has
// little left to wait for. Only a hint to the kernel, which a descriptor
// that is not a file ignores.
struct write_back {
    bool on = false;
    long long written = 0;
    long long started = 0;  // the bytes handed to the disk so far
};

// Notes `size` more bytes written to fd.
void wrote(write_back& back, int fd, std::size_t size);

// False when a read on fd would wait: nothing has arrived, and the input has
// not ended. True also when that cannot be told.
bool input_ready(int fd);
