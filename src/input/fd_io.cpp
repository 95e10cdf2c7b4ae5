#include "input/fd_io.hpp"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace {

// After a non-blocking descriptor said EAGAIN: waits until it is ready for
// `events`. False when even that fails.
bool wait_until(int fd, short events)
{
    pollfd watched{fd, events, 0};
    for (;;) {
        if (poll(&watched, 1, -1) >= 0) {
            return true;
        }
        if (errno != EINTR) {
            return false;
        }
    }
}

bool retry(int fd, short events)
{
    const int error = errno;
    if (error == EINTR) {
        return true;
    }
    return (error == EAGAIN || error == EWOULDBLOCK) && wait_until(fd, events);
}

}  // namespace

ssize_t read_some(int fd, char* buffer, std::size_t size)
{
    for (;;) {
        const ssize_t got = read(fd, buffer, size);
        if (got >= 0 || !retry(fd, POLLIN)) {
            return got;
        }
    }
}

int write_all(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0 && retry(fd, POLLOUT)) {
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

void wrote(write_back& back, int fd, std::size_t size)
{
    constexpr long long step = 1LL << 20;
    back.written += static_cast<long long>(size);
    if (back.on && back.written - back.started >= step) {
        static_cast<void>(
            sync_file_range(fd, back.started, back.written - back.started, SYNC_FILE_RANGE_WRITE));
        back.started = back.written;
    }
}

bool input_ready(int fd)
{
    pollfd watched{fd, POLLIN, 0};
    return poll(&watched, 1, 0) != 0;
}
