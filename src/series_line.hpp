// The text of one output line.
#pragma once

#include "decimal_format.hpp"
#include "local_time.hpp"
#include "stamped_record.hpp"

#include <cstdint>
#include <ctime>

// The longest output line, and the room its writers may use past it.
inline constexpr std::size_t max_series_line = max_elapsed_length + 4 * max_field_length + 1;
inline constexpr std::size_t series_line_room = max_series_line + decimal_slack;

// Writes "<elapsed> <channel_1> <channel_2> <channel_3> <2 x channel_4>\n",
// where elapsed is record_time - reference_second, as printf's
// "%.3f %d %d %d %d\n" writes it; the doubling wraps around in 32 bits.
// out needs series_line_room bytes; gives the end of the line.
inline char* format_series_line(char* out, const converted_time& time, std::time_t reference_second,
                                const stamped_record& record)
{
    out = format_elapsed(out, time.record_seconds, time.record_time, reference_second,
                         record.milliseconds);
    const std::int32_t doubled =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(record.channel_4) * 2u);
    out = write_field(out, record.channel_1);
    out = write_field(out, record.channel_2);
    out = write_field(out, record.channel_3);
    out = write_field(out, doubled);
    *out++ = '\n';
    return out;
}
