#include "series_writer.hpp"

#include <unistd.h>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

// Room that one output line can take at most: an elapsed time of up to 23
// characters and four 32-bit integers with their separators.
constexpr std::size_t max_line = 128;

constexpr char digit_pairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

unsigned digit_count(std::uint64_t value)
{
    unsigned count = 1;
    for (;;) {
        if (value < 10) {
            return count;
        }
        if (value < 100) {
            return count + 1;
        }
        if (value < 1000) {
            return count + 2;
        }
        if (value < 10000) {
            return count + 3;
        }
        value /= 10000;
        count += 4;
    }
}

// The eight decimal digits of a value below 10^8 as one word, one digit per
// byte, the most significant in the lowest byte (the first in memory).
// Each step splits every lane of the word in two at once: 4+4 digits, then
// 2+2, then 1+1; the quotients by multiplication are exact for lane values
// this small.
std::uint64_t eight_digits(std::uint32_t value)
{
    const std::uint64_t high = value / 10000;
    std::uint64_t x = high | (value - high * 10000) << 32;
    const std::uint64_t hundreds = (x * 5243) >> 19 & 0x0000007F0000007Fu;
    x = hundreds | (x - hundreds * 100) << 16;
    const std::uint64_t tens = (x * 103) >> 10 & 0x000F000F000F000Fu;
    return tens | (x - tens * 10) << 8;
}

// Writes the digits from the last to the first, two at a time, straight into
// place.
char* write_long_unsigned(char* out, std::uint64_t value)
{
    char* const end = out + digit_count(value);
    char* p = end;
    while (value >= 100) {
        p -= 2;
        std::memcpy(p, digit_pairs + 2 * (value % 100), 2);
        value /= 100;
    }
    if (value >= 10) {
        std::memcpy(p - 2, digit_pairs + 2 * value, 2);
    } else {
        p[-1] = static_cast<char>('0' + value);
    }
    return end;
}

// The whole seconds of an elapsed time: up to eight digits in one word, the
// leading zeros shifted out.
char* write_seconds(char* out, std::uint64_t value)
{
    if (value >= 100000000) {
        return write_long_unsigned(out, value);
    }
    const std::uint64_t digits = eight_digits(static_cast<std::uint32_t>(value));
    const unsigned zeros = value == 0 ? 7 : static_cast<unsigned>(std::countr_zero(digits)) / 8;
    const std::uint64_t text = (digits | 0x3030303030303030u) >> (8 * zeros);
    std::memcpy(out, &text, 8);  // the buffer always has room past the line
    return out + 8 - zeros;
}

// Most values in a series are small: below 10000 all four digits are built
// in one word and the leading zeros shifted out, with no branch on the
// number of digits.
[[gnu::always_inline]] inline char* write_unsigned(char* out, std::uint32_t value)
{
    if (value >= 10000) {
        return write_long_unsigned(out, value);
    }
    const std::uint32_t hundreds = value * 5243 >> 19;  // value / 100, exact below 43699
    std::uint16_t high_pair;
    std::uint16_t low_pair;
    std::memcpy(&high_pair, digit_pairs + std::size_t{2} * hundreds, 2);
    std::memcpy(&low_pair, digit_pairs + std::size_t{2} * (value - 100 * hundreds), 2);
    const unsigned digits = 1u + static_cast<unsigned>(value >= 10) +
                            static_cast<unsigned>(value >= 100) +
                            static_cast<unsigned>(value >= 1000);
    const std::uint32_t text = (high_pair | std::uint32_t{low_pair} << 16) >> (32 - 8 * digits);
    std::memcpy(out, &text, 4);  // the buffer always has room past the line
    return out + digits;
}

// Writes " <value>". The sign costs no branch: the '-' is always stored and
// kept only for a negative value. The magnitude is taken in unsigned
// arithmetic, so that INT32_MIN needs no care.
[[gnu::always_inline]] inline char* write_field(char* out, std::int32_t value)
{
    const std::uint32_t negative = static_cast<std::uint32_t>(value) >> 31;
    const std::uint32_t flip = 0u - negative;  // all ones for a negative value
    out[0] = ' ';
    out[1] = '-';
    return write_unsigned(out + 1 + negative, (static_cast<std::uint32_t>(value) ^ flip) - flip);
}

// Writes a whole number of thousandths with three decimals.
char* write_thousandths(char* out, bool negative, std::uint64_t thousandths)
{
    out[0] = '-';
    out += negative ? 1 : 0;
    out = write_seconds(out, thousandths / 1000);
    const auto fraction = static_cast<std::uint32_t>(thousandths % 1000);
    std::uint16_t last_two;
    std::memcpy(&last_two, digit_pairs + std::size_t{2} * (fraction % 100), 2);
    const std::uint32_t text = '.' | ('0' + fraction / 100) << 8 | std::uint32_t{last_two} << 16;
    std::memcpy(out, &text, 4);
    return out + 4;
}

}  // namespace

char* format_elapsed(char* out, double elapsed)
{
    // Below 2^40 thousandths the product elapsed * 1000 is off by less than
    // 2^-14 from its exact value. A nearest whole number less than 0.49 away
    // is then the exact value rounded to the nearest, as printf rounds it.
    // Anything closer to a tie, or larger, goes the exact way.
    const double thousandths = std::fabs(elapsed * 1000.0);
    if (thousandths < 1099511627776.0) {
        // Any whole number near enough will do: the distance check decides.
        // NOLINTNEXTLINE(bugprone-incorrect-roundings)
        const auto whole = static_cast<std::int64_t>(thousandths + 0.5);
        const double distance = thousandths - static_cast<double>(whole);
        if (distance < 0.49 && distance > -0.49) {
            // printf keeps the sign of a value that rounds to zero.
            return write_thousandths(out, std::signbit(elapsed), static_cast<std::uint64_t>(whole));
        }
    }
    return std::to_chars(out, out + 32, elapsed, std::chars_format::fixed, 3).ptr;
}

char* format_elapsed(char* out, const converted_time& time, std::time_t reference_second,
                     std::int32_t milliseconds)
{
    // With both whole-second values below 2^39 in size, the three roundings
    // behind record_time - reference_second (the product with 0.001, the
    // sum, the difference) are together off by less than 0.0002 from
    // (record_seconds - reference_second) + milliseconds / 1000, a whole
    // number of thousandths. printf's three decimals of the double are then
    // exactly that number, with a minus sign exactly when it is negative (a
    // zero comes out as +0). So no floating point is needed.
    constexpr std::time_t limit = std::time_t{1} << 39;
    const std::time_t seconds = time.record_seconds;
    if (seconds > -limit && seconds < limit && reference_second > -limit &&
        reference_second < limit) {
        const std::int64_t thousandths = (seconds - reference_second) * 1000 + milliseconds;
        const bool negative = thousandths < 0;
        return write_thousandths(out, negative,
                                 static_cast<std::uint64_t>(negative ? -thousandths : thousandths));
    }
    return format_elapsed(out, time.record_time - static_cast<double>(reference_second));
}

bool write_series_line(series_writer& writer, const converted_time& time,
                       std::time_t reference_second, const stamped_record& record)
{
    if (sizeof writer.buffer - writer.used < max_line && !flush_series(writer)) {
        return false;
    }
    char* out =
        format_elapsed(writer.buffer + writer.used, time, reference_second, record.milliseconds);
    const std::int32_t doubled =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(record.channel_4) * 2u);
    out = write_field(out, record.channel_1);
    out = write_field(out, record.channel_2);
    out = write_field(out, record.channel_3);
    out = write_field(out, doubled);
    *out++ = '\n';
    writer.used = static_cast<std::size_t>(out - writer.buffer);
    return !writer.line_by_line || flush_series(writer);
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
