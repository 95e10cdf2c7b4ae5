// Decimal text for the output line: 32-bit integers, and the elapsed time
// with three decimals exactly as printf's "%.3f" writes it.
#pragma once

#include "simd/words.hpp"

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

namespace decimal_detail {

inline constexpr char digit_pairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The two digits of a value below 100, first digit in the low byte.
inline std::uint32_t pair_of(std::uint32_t value)
{
    return words::load_16(digit_pairs + std::size_t{2} * value);
}

char* write_long_unsigned(char* out, std::uint64_t value);

// Most values in a series are small: below 10000 all four digits are built
// in one word and the leading zeros shifted out, with no branch on the
// number of digits. (Benchmark "format/line" against "format/printf".)
inline char* write_unsigned(char* out, std::uint32_t value)
{
    if (value >= 10000) {
        return write_long_unsigned(out, value);
    }
    const std::uint32_t hundreds = value * 5243 >> 19;  // value / 100, exact below 43699
    const unsigned digits = 1u + static_cast<unsigned>(value >= 10) +
                            static_cast<unsigned>(value >= 100) +
                            static_cast<unsigned>(value >= 1000);
    const std::uint32_t text =
        (pair_of(hundreds) | pair_of(value - 100 * hundreds) << 16) >> (32 - 8 * digits);
    words::store_32(out, text);
    return out + digits;
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
