#include "input/log_input.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr std::size_t magic_length = 6;  // the longest, xz's

ssize_t failed_read(log_input& input)
{
    input.error = errno;
    return -1;
}

ssize_t corrupt(log_input& input, const char* fault)
{
    input.fault = fault;
    errno = EBADMSG;
    return -1;
}

// Reads more raw bytes behind those not yet taken. False after a failed read.
bool read_ahead(log_input& input)
{
    if (input.begin == input.end) {
        input.begin = input.end = 0;
    } else if (input.end == sizeof input.raw) {
        std::memmove(input.raw, input.raw + input.begin, input.end - input.begin);
        input.end -= input.begin;
        input.begin = 0;
    }
    const ssize_t got = read_source(input.source, reinterpret_cast<char*>(input.raw) + input.end,
                                    sizeof input.raw - input.end);
    if (got < 0) {
        return false;
    }
    input.raw_ended = got == 0;
    input.end += static_cast<std::size_t>(got);
    return true;
}

// Reads the first bytes, as many as tell the format or all there are.
bool tell_format(log_input& input)
{
    while (input.end < magic_length && !input.raw_ended) {
        if (!read_ahead(input)) {
            return false;
        }
    }
    input.started = true;
    input.format = format_of(input.raw, input.end);
    if (input.format != log_format::plain) {
        input.unpack = make_decompressor(input.format);
        if (input.unpack == nullptr) {
            errno = ENOMEM;
            return false;
        }
    }
    return true;
}

ssize_t read_plain(log_input& input, char* out, std::size_t size)
{
    if (input.begin < input.end) {
        const std::size_t taken = std::min(size, input.end - input.begin);
        std::memcpy(out, input.raw + input.begin, taken);
        input.begin += taken;
        return static_cast<ssize_t>(taken);
    }
    if (input.raw_ended) {
        return 0;
    }
    const ssize_t got = read_source(input.source, out, size);
    input.raw_ended = got == 0;
    return got < 0 ? failed_read(input) : got;
}

// Decompresses until some bytes come out, reading raw bytes as the
// decompressor takes them. The end of the raw bytes is the log's end only
// where the decompressor has seen whole streams.
ssize_t read_unpacked(log_input& input, char* out, std::size_t size)
{
    for (;;) {
        if (input.begin == input.end && !input.raw_ended && !read_ahead(input)) {
            return failed_read(input);
        }
        const unpack_step step = unpack(*input.unpack, input.raw + input.begin,
                                        input.end - input.begin, out, size, input.raw_ended);
        input.begin += step.used;
        if (step.fault == no_memory) {
            errno = ENOMEM;
            return failed_read(input);
        }
        if (step.fault != nullptr) {
            return corrupt(input, step.fault);
        }
        if (step.produced > 0) {
            return static_cast<ssize_t>(step.produced);
        }
        if (step.used > 0) {
            continue;
        }
        if (input.raw_ended) {
            return step.finished ? 0 : corrupt(input, "unexpected end of file");
        }
        // The decompressor needs more than it has been given to go on.
        if (input.begin == 0 && input.end == sizeof input.raw) {
            return corrupt(input, "corrupt data");
        }
        if (!read_ahead(input)) {
            return failed_read(input);
        }
    }
}

ssize_t read_log_bytes(void* context, char* buffer, std::size_t size)
{
    return read_log(*static_cast<log_input*>(context), buffer, size);
}

const char* log_bytes_fault(const void* context, const char** format)
{
    const log_input& input = *static_cast<const log_input*>(context);
    if (input.fault != nullptr) {
        *format = format_name(input.format);
    }
    return input.fault;
}

bool log_bytes_unpack(const void* context)
{
    return static_cast<const log_input*>(context)->unpack != nullptr;
}

}  // namespace

int open_log(const char* path)
{
    const int fd = path == nullptr ? STDIN_FILENO : open(path, O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || fstat(fd, &info) != 0 || !S_ISDIR(info.st_mode)) {
        return fd;
    }
    if (path != nullptr) {
        close(fd);
    }
    errno = EISDIR;
    return -1;
}

void start_log_input(log_input& input, byte_source source)
{
    input.source = source;
}

ssize_t read_log(log_input& input, char* out, std::size_t size)
{
    if (input.fault != nullptr || input.error != 0) {
        errno = input.fault != nullptr ? EBADMSG : input.error;
        return -1;
    }
    if (!input.started && !tell_format(input)) {
        return input.fault != nullptr ? -1 : failed_read(input);
    }
    return input.format == log_format::plain ? read_plain(input, out, size)
                                             : read_unpacked(input, out, size);
}

byte_source log_bytes(log_input& input)
{
    return {-1, read_log_bytes, &input, log_bytes_fault, log_bytes_unpack};
}

void end_log_input(log_input& input)
{
    free_decompressor(input.unpack);
    input.unpack = nullptr;
}
