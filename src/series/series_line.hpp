// The text of one output line.
#pragma once

#include "data/stage_data.hpp"
#include "series/decimal_format.hpp"
#include "simd/byte_class.hpp"

#include <cstddef>
#include <cstdint>
#include <ctime>

// The longest output line, and the room its writers may use past it.
inline constexpr std::size_t max_series_line = max_elapsed_length + 4 * max_field_length + 1;
inline constexpr std::size_t series_line_room = max_series_line + decimal_slack;

namespace series_line_detail {

// Magnitude and sign of a 32-bit value, in unsigned arithmetic so that
// INT32_MIN needs no care.
inline std::uint32_t magnitude(std::int32_t value, std::uint32_t& negative)
{
    negative = static_cast<std::uint32_t>(value) >> 31;
    return (static_cast<std::uint32_t>(value) ^ (0u - negative)) + negative;
}

// The line the plain way, for an elapsed time that the batch does not take.
inline char* format_plain_line(char* out, const converted_time& time, std::time_t reference_second,
                               std::int32_t milliseconds, const std::int32_t (&channels)[4])
{
    out =
        format_elapsed(out, time.record_seconds, time.record_time, reference_second, milliseconds);
    for (const std::int32_t channel : channels) {
        out = write_field(out, channel);
    }
    *out++ = '\n';
    return out;
}

// The magnitudes of the channels split into their last eight digits, in
// values, and the digits above them (0 to 42), in high; and their signs.
// Gives false, and leaves high as it is, when every channel is below 10^8,
// as they nearly always are.
inline bool split_channels(const std::int32_t (&channels)[4], std::uint32_t (&values)[4],
                           std::uint32_t (&high)[4], std::uint32_t (&negative)[4])
{
    std::uint32_t all = 0;
#pragma GCC unroll 4
    for (int i = 0; i < 4; ++i) {
        values[i] = magnitude(channels[i], negative[i]);
        all |= values[i];
    }
    // Below 2^26 every channel is below 10^8.
    if (all < std::uint32_t{1} << 26) {
        return false;
    }
#pragma GCC unroll 4
    for (int i = 0; i < 4; ++i) {
        high[i] = values[i] / digit_batch_limit;
        values[i] -= high[i] * digit_batch_limit;
    }
    return true;
}

// Writes " <channel>" for the four channels from their digits (digits[2] on)
// and signs, and the newline; with ten_digits, a channel's first two digits
// from high where it has them, else none need them. Gives the end.
template <bool ten_digits>
inline char* write_channels(char* out, const std::uint64_t (&digits)[digit_batch],
                            const std::uint32_t (&high)[4], const std::uint32_t (&negative)[4])
{
#pragma GCC unroll 4
    for (int i = 0; i < 4; ++i) {
        out[0] = ' ';
        out[1] = '-';
        out += 1 + negative[i];
        out = ten_digits && high[i] != 0 ? write_ten_digits(out, high[i], digits[2 + i])
                                         : write_digits(out, digits[2 + i]);
    }
    *out++ = '\n';
    return out;
}

}  // namespace series_line_detail

// Writes "<elapsed> <channel_1> <channel_2> <channel_3> <2 x channel_4>\n",
// where elapsed is record_time - reference_second, as printf's
// "%.3f %d %d %d %d\n" writes it; the doubling wraps around in 32 bits.
// out needs series_line_room bytes; gives the end of the line. When the
// whole seconds are below 10^8, as they nearly always are, the level turns
// the seconds, the thousandths and the last eight digits of every channel
// into digits at once; a channel's first two digits, if it has ten, are
// written apart.
template <class level>
char* format_series_line(char* out, const converted_time& time, std::time_t reference_second,
                         const stamped_record& record)
{
    using namespace series_line_detail;
    const std::int32_t doubled =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(record.channel_4) * 2u);
    const std::int32_t channels[4] = {record.channel_1, record.channel_2, record.channel_3,
                                      doubled};
    std::int64_t thousandths = 0;
    const bool exact =
        exact_thousandths(time.record_seconds, reference_second, record.milliseconds, thousandths);
    const bool elapsed_negative = thousandths < 0;
    const std::uint64_t size = elapsed_negative ? 0 - static_cast<std::uint64_t>(thousandths)
                                                : static_cast<std::uint64_t>(thousandths);
    if (!exact || size >= std::uint64_t{digit_batch_limit} * 1000) {
        return format_plain_line(out, time, reference_second, record.milliseconds, channels);
    }
    std::uint32_t values[4];
    std::uint32_t high[4] = {};  // set where split_channels gives true
    std::uint32_t negative[4];
    const bool ten_digits = split_channels(channels, values, high, negative);
    std::uint64_t digits[digit_batch];
    level::decimal_digits(static_cast<std::uint32_t>(size / 1000),
                          static_cast<std::uint32_t>(size % 1000), values[0], values[1], values[2],
                          values[3], digits);
    out[0] = '-';
    out = write_digits(out + (elapsed_negative ? 1 : 0), digits[0]);
    out = write_fraction(out, digits[1]);
    return ten_digits ? write_channels<true>(out, digits, high, negative)
                      : write_channels<false>(out, digits, high, negative);
}
