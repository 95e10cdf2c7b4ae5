#include "series_writer.hpp"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <unistd.h>

namespace {

// Room that one output line can take at most: an elapsed time of up to 23
// characters and four 32-bit integers with their separators.
constexpr std::size_t max_line = 128;

constexpr char digit_pairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

char* write_unsigned(char* out, std::uint64_t value)
{
    char digits[20];
    char* p = digits + sizeof digits;
    while (value >= 100) {
        p -= 2;
        std::memcpy(p, digit_pairs + 2 * (value % 100), 2);
        value /= 100;
    }
    if (value >= 10) {
        p -= 2;
        std::memcpy(p, digit_pairs + 2 * value, 2);
    } else {
        *--p = static_cast<char>('0' + value);
    }
    const std::size_t count = static_cast<std::size_t>(digits + sizeof digits - p);
    std::memcpy(out, p, count);
    return out + count;
}

char* write_int32(char* out, std::int32_t value)
{
    // The magnitude in unsigned arithmetic, so that INT32_MIN needs no care.
    std::uint32_t magnitude = static_cast<std::uint32_t>(value);
    if (value < 0) {
        *out++ = '-';
        magnitude = 0u - magnitude;
    }
    return write_unsigned(out, magnitude);
}

}  // namespace

char* format_elapsed(char* out, double elapsed)
{
    // Below 2^40 thousandths the product elapsed * 1000 is off by less than
    // 2^-14 from its exact value. A nearest whole number less than 0.49 away
    // is then the exact value rounded to the nearest, as printf rounds it.
    // Anything closer to a tie, or larger, goes the exact way.
    const double thousandths = elapsed * 1000.0;
    if (std::fabs(thousandths) < 1099511627776.0) {
        const auto nearest =
            static_cast<std::int64_t>(thousandths + (thousandths < 0 ? -0.5 : 0.5));
        const double distance = thousandths - static_cast<double>(nearest);
        if (distance < 0.49 && distance > -0.49) {
            if (std::signbit(elapsed)) {
                *out++ = '-';  // printf keeps the sign of a value that rounds to zero
            }
            const auto magnitude = static_cast<std::uint64_t>(nearest < 0 ? -nearest : nearest);
            out = write_unsigned(out, magnitude / 1000);
            const std::uint64_t fraction = magnitude % 1000;
            out[0] = '.';
            out[1] = static_cast<char>('0' + fraction / 100);
            std::memcpy(out + 2, digit_pairs + 2 * (fraction % 100), 2);
            return out + 4;
        }
    }
    return std::to_chars(out, out + 32, elapsed, std::chars_format::fixed, 3).ptr;
}

bool write_series_line(series_writer& writer, double elapsed, const stamped_record& record)
{
    if (sizeof writer.buffer - writer.used < max_line && !flush_series(writer)) {
        return false;
    }
    char* out = format_elapsed(writer.buffer + writer.used, elapsed);
    const std::int32_t doubled =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(record.channel_4) * 2u);
    for (const std::int32_t value : {record.channel_1, record.channel_2, record.channel_3, doubled}) {
        *out++ = ' ';
        out = write_int32(out, value);
    }
    *out++ = '\n';
    writer.used = static_cast<std::size_t>(out - writer.buffer);
    return true;
}

bool flush_series(series_writer& writer)
{
    if (writer.error != 0) {
        return false;
    }
    const char* p = writer.buffer;
    std::size_t left = writer.used;
    while (left > 0) {
        const ssize_t written = write(writer.fd, p, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            // A write that takes nothing from a non-empty buffer would loop
            // for ever; count it as an I/O error.
            writer.error = written < 0 ? errno : EIO;
            return false;
        }
        p += written;
        left -= static_cast<std::size_t>(written);
    }
    writer.used = 0;
    return true;
}
