#include "series/report.hpp"

#include "input/fd_io.hpp"

#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstddef>
#include <cstdio>

namespace {

std::size_t format_line_of(char* out, std::size_t size, const char* format, std::va_list parts)
{
    const int length = std::vsnprintf(out, size - 1, format, parts);
    if (length < 0) {
        return 0;
    }
    const std::size_t kept = std::min(static_cast<std::size_t>(length), size - 2);
    out[kept] = '\n';
    return kept + 1;
}

}  // namespace

// printf's variadic form, so that the compiler checks each format.
// NOLINTNEXTLINE(cert-dcl50-cpp)
void report(int error_fd, const char* program, const char* format, ...)
{
    char message[8192];
    const int prefix = std::snprintf(message, sizeof message, "%s: ", program);
    if (prefix <= 0 || static_cast<std::size_t>(prefix) > sizeof message - 2) {
        return;
    }
    std::va_list parts;
    va_start(parts, format);
    const std::size_t length = format_line_of(
        message + prefix, sizeof message - static_cast<std::size_t>(prefix), format, parts);
    va_end(parts);
    if (length > 0) {
        [[maybe_unused]] const ssize_t written =
            write(error_fd, message, static_cast<std::size_t>(prefix) + length);
    }
}

// NOLINTNEXTLINE(cert-dcl50-cpp)
std::size_t format_line(char* out, std::size_t size, const char* format, ...)
{
    std::va_list parts;
    va_start(parts, format);
    const std::size_t length = format_line_of(out, size, format, parts);
    va_end(parts);
    return length;
}

// NOLINTNEXTLINE(cert-dcl50-cpp)
int print_line(int fd, const char* format, ...)
{
    char line[8192];
    std::va_list parts;
    va_start(parts, format);
    const std::size_t length = format_line_of(line, sizeof line, format, parts);
    va_end(parts);
    return write_all(fd, line, length);
}
