// Decimal text for the output line: 32-bit integers, and the elapsed time
// with three decimals exactly as printf's "%.3f" writes it.
#pragma once

#include "simd/words.hpp"

#include <bit>
#include <cstddef>
#include <cstdint>

// Every writer here may store up to this many bytes past the end of the text
// it writes (whole-word stores are quicker than exact ones); the caller
// leaves that much room.
inline constexpr std::size_t decimal_slack = 8;

// The longest texts: an elapsed time below 10^27 in size (the filter's are
// below 2^63: a sign, 19 digits and ".ddd"), and " -2147483648" for a field.
inline constexpr std::size_t max_elapsed_length = 32;
inline constexpr std::size_t max_field_length = 12;

// elapsed as printf("%.3f") writes it, for |elapsed| < 10^27; gives the end
// of the text.
char* format_elapsed(char* out, double elapsed);

// The same for elapsed = record_time - reference_second, where record_time is
// record_seconds + milliseconds * 0.001 in double precision.
char* format_elapsed(char* out, std::int64_t record_seconds, double record_time,
                     std::int64_t reference_second, std::int32_t milliseconds);

// That elapsed time as a whole number of thousandths, where that is exactly
// what printf's "%.3f" shows: with both second counts below 2^39 in size, the
// three roundings behind the double (the product with 0.001, the sum, the
// difference) are together off by less than 0.0002 from
// (record_seconds - reference_second) + milliseconds / 1000, so its three
// decimals are that number, with a minus sign exactly when it is negative (a
// zero comes out as +0), and no floating point is needed. False for larger
// counts.
inline bool exact_thousandths(std::int64_t record_seconds, std::int64_t reference_second,
                              std::int32_t milliseconds, std::int64_t& thousandths)
{
    constexpr std::int64_t limit = std::int64_t{1} << 39;
    const bool small = record_seconds > -limit && record_seconds < limit &&
                       reference_second > -limit && reference_second < limit;
    thousandths = small ? (record_seconds - reference_second) * 1000 + milliseconds : 0;
    return small;
}

// Writes the eight digits of a word from words::eight_digits or a level's
// decimal_digits without their leading zeros (but the last); stores eight
// bytes.
inline char* write_digits(char* out, std::uint64_t digits)
{
    const auto zeros = static_cast<unsigned>(std::countr_zero(digits | std::uint64_t{1} << 56)) / 8;
    words::store_64(out, (digits | 0x3030303030303030u) >> (8 * zeros));
    return out + 8 - zeros;
}

// Writes "." and the last three of the eight digits of a word (a fraction
// below 1000); stores four bytes.
inline char* write_fraction(char* out, std::uint64_t digits)
{
    words::store_32(out, static_cast<std::uint32_t>(
                             '.' | (((digits | 0x3030303030303030u) >> 32) & 0xFFFFFF00u)));
    return out + 4;
}

// Writes high (1 to 42) and then all eight digits of the word; stores ten bytes.
inline char* write_ten_digits(char* out, std::uint32_t high, std::uint64_t digits)
{
    out[0] = static_cast<char>('0' + high / 10);
    out += high >= 10 ? 1 : 0;
    out[0] = static_cast<char>('0' + high % 10);
    words::store_64(out + 1, digits | 0x3030303030303030u);
    return out + 9;
}

namespace decimal_detail {

// Writes any 32-bit value without leading zeros; stores up to ten bytes.
inline char* write_unsigned(char* out, std::uint32_t value)
{
    if (value < 100000000) {
        return write_digits(out, words::eight_digits(value));
    }
    return write_ten_digits(out, value / 100000000, words::eight_digits(value % 100000000));
}

}  // namespace decimal_detail

// Writes " <value>". The sign costs no branch: the '-' is always stored and
// kept only for a negative value. The magnitude is taken in unsigned
// arithmetic, so that INT32_MIN needs no care.
inline char* write_field(char* out, std::int32_t value)
{
    const std::uint32_t negative = static_cast<std::uint32_t>(value) >> 31;
    const std::uint32_t flip = 0u - negative;  // all ones for a negative value
    out[0] = ' ';
    out[1] = '-';
    return decimal_detail::write_unsigned(out + 1 + negative,
                                          (static_cast<std::uint32_t>(value) ^ flip) - flip);
}
