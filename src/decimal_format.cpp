#include "decimal_format.hpp"

#include <bit>
#include <charconv>
#include <cmath>

using decimal_detail::pair_of;

namespace {

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
// byte, the most significant first in text order. Each step splits every
// lane of the word in two at once: 4+4 digits, then 2+2, then 1+1; the
// quotients by multiplication are exact for lane values this small.
std::uint64_t eight_digits(std::uint32_t value)
{
    const std::uint64_t high = value / 10000;
    std::uint64_t x = high | (value - high * 10000) << 32;
    const std::uint64_t hundreds = (x * 5243) >> 19 & 0x0000007F0000007Fu;
    x = hundreds | (x - hundreds * 100) << 16;
    const std::uint64_t tens = (x * 103) >> 10 & 0x000F000F000F000Fu;
    return tens | (x - tens * 10) << 8;
}

// The whole seconds of an elapsed time: up to eight digits in one word, the
// leading zeros shifted out.
char* write_seconds(char* out, std::uint64_t value)
{
    if (value >= 100000000) {
        return decimal_detail::write_long_unsigned(out, value);
    }
    const std::uint64_t digits = eight_digits(static_cast<std::uint32_t>(value));
    const unsigned zeros = value == 0 ? 7 : static_cast<unsigned>(std::countr_zero(digits)) / 8;
    words::store_64(out, (digits | 0x3030303030303030u) >> (8 * zeros));
    return out + 8 - zeros;
}

// Writes a whole number of thousandths with three decimals.
char* write_thousandths(char* out, bool negative, std::uint64_t thousandths)
{
    out[0] = '-';
    out += negative ? 1 : 0;
    out = write_seconds(out, thousandths / 1000);
    const auto fraction = static_cast<std::uint32_t>(thousandths % 1000);
    words::store_32(out, '.' | ('0' + fraction / 100) << 8 | pair_of(fraction % 100) << 16);
    return out + 4;
}

}  // namespace

// Writes the digits from the last to the first, two at a time, straight into
// place.
char* decimal_detail::write_long_unsigned(char* out, std::uint64_t value)
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
    return std::to_chars(out, out + max_elapsed_length, elapsed, std::chars_format::fixed, 3).ptr;
}

char* format_elapsed(char* out, std::int64_t record_seconds, double record_time,
                     std::int64_t reference_second, std::int32_t milliseconds)
{
    // With both whole-second values below 2^39 in size, the three roundings
    // behind record_time - reference_second (the product with 0.001, the
    // sum, the difference) are together off by less than 0.0002 from
    // (record_seconds - reference_second) + milliseconds / 1000, a whole
    // number of thousandths. printf's three decimals of the double are then
    // exactly that number, with a minus sign exactly when it is negative (a
    // zero comes out as +0). So no floating point is needed.
    constexpr std::int64_t limit = std::int64_t{1} << 39;
    if (record_seconds > -limit && record_seconds < limit && reference_second > -limit &&
        reference_second < limit) {
        const std::int64_t thousandths = (record_seconds - reference_second) * 1000 + milliseconds;
        const bool negative = thousandths < 0;
        return write_thousandths(out, negative,
                                 static_cast<std::uint64_t>(negative ? -thousandths : thousandths));
    }
    return format_elapsed(out, record_time - static_cast<double>(reference_second));
}
