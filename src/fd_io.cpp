#include "fd_io.hpp"

#include <unistd.h>

#include <cerrno>

ssize_t read_some(int fd, char* buffer, std::size_t size)
{
    for (;;) {
        const ssize_t got = read(fd, buffer, size);
        if (got >= 0 || errno != EINTR) {
            return got;
        }
    }
}

int write_all(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            // A write that takes nothing would be retried for ever.
            return written < 0 ? errno : EIO;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return 0;
}
