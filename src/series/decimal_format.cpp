#include "series/decimal_format.hpp"

#include <bit>
#include <charconv>
#include <cmath>

namespace {

// The whole seconds of an elapsed time.
char* write_seconds(char* out, std::uint64_t value)
{
    if (value < 100000000) {
        return write_digits(out, words::eight_digits(static_cast<std::uint32_t>(value)));
    }
    return std::to_chars(out, out + 24, value).ptr;
}

// Writes a whole number of thousandths with three decimals.
char* write_thousandths(char* out, bool negative, std::uint64_t thousandths)
{
    out[0] = '-';
    out += negative ? 1 : 0;
    out = write_seconds(out, thousandths / 1000);
    return write_fraction(out, words::eight_digits(static_cast<std::uint32_t>(thousandths % 1000)));
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
    return std::to_chars(out, out + max_elapsed_length, elapsed, std::chars_format::fixed, 3).ptr;
}

char* format_elapsed(char* out, std::int64_t record_seconds, double record_time,
                     std::int64_t reference_second, std::int32_t milliseconds)
{
    std::int64_t thousandths = 0;
    if (exact_thousandths(record_seconds, reference_second, milliseconds, thousandths)) {
        const bool negative = thousandths < 0;
        return write_thousandths(out, negative,
                                 static_cast<std::uint64_t>(negative ? -thousandths : thousandths));
    }
    return format_elapsed(out, record_time - static_cast<double>(reference_second));
}
