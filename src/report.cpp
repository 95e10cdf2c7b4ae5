#include "report.hpp"

#include <unistd.h>

#include <cstdarg>
#include <cstddef>
#include <cstdio>

// printf's variadic form, so that the compiler checks each format.
// NOLINTNEXTLINE(cert-dcl50-cpp)
void report(int error_fd, const char* program, const char* format, ...)
{
    char message[8192];
    int length = std::snprintf(message, sizeof message, "%s: ", program);
    std::va_list parts;
    va_start(parts, format);
    if (length > 0) {
        length += std::vsnprintf(message + length,
                                 sizeof message - static_cast<std::size_t>(length), format, parts);
    }
    va_end(parts);
    if (length <= 0) {
        return;
    }
    const auto size = static_cast<std::size_t>(length) < sizeof message - 1
                          ? static_cast<std::size_t>(length)
                          : sizeof message - 2;
    message[size] = '\n';
    [[maybe_unused]] const ssize_t written = write(error_fd, message, size + 1);
}
