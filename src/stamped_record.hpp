// The parsed form of one input line, and parse_record, which fills it. Every
// way of scanning a line sits behind parse_record: the shortcuts of
// window_scan.hpp where the line has the common shape, and the
// token-by-token scan of stamped_record.cpp for the rest.
#pragma once

#include "line_reader.hpp"
#include "simd/level.hpp"
#include "window_scan.hpp"

#include <cstdint>
#include <cstring>

// One record, kept for the whole run. A line overwrites only the fields it
// supplies; every other field keeps what an earlier line put there. The text
// fields also keep their old bytes past a new, shorter token's terminator,
// and the time-of-day columns read those bytes.
struct stamped_record {
    char weekday_token[8];
    char month_token[8];
    std::int32_t day;
    char time_token[16];
    std::int32_t year;
    std::int32_t milliseconds;
    std::int32_t channel_1;
    std::int32_t channel_2;
    std::int32_t channel_3;
    std::int32_t channel_4;

    // Derived on every call of parse_record.
    std::int32_t hour;
    std::int32_t minute;
    std::int32_t second;
    std::int32_t month;  // 0 to 11
};

// 0 to 11 for a token whose first three characters are "Jan" to "Dec"
// (case-sensitive, anything may follow), 8 when none matches.
std::int32_t month_index(const char* month_token);

namespace stamped_record_detail {

// The ten slots of a line in order: weekday, month, day, time, year,
// milliseconds and the four channels.
inline constexpr int date_slots = 5;
inline constexpr int slots = 10;
static_assert(slots - date_slots == window_slots);

// Fills slots from `first` on, one token at a time from p, and stops where a
// token does not fit its slot or the text ends; then gives nullptr. Started
// among the date slots, it stops after the last of them and gives the
// position there, so that the numbers can take the window shortcut.
const char* scan_tokens(const char* p, int first, stamped_record& record);

// Hour, minute and second from the time token's columns, and the month number.
void derive_fields(stamped_record& record);

inline void store_date(const date_prefix& date, stamped_record& record)
{
    std::memcpy(record.weekday_token, date.weekday, 3);
    record.weekday_token[3] = '\0';
    std::memcpy(record.month_token, date.month, 3);
    record.month_token[3] = '\0';
    record.day = date.day;
    std::memcpy(record.time_token, date.time, 8);
    record.time_token[8] = '\0';
    record.year = date.year;
}

// Reads the numeric slots from the window at p, and from where it stops one
// token at a time.
template <class level>
void scan_numbers(const char* p, stamped_record& record)
{
    std::int32_t values[window_slots] = {record.milliseconds, record.channel_1, record.channel_2,
                                         record.channel_3, record.channel_4};
    unsigned after = 0;
    const int read = read_window_numbers<level>(p, values, after);
    record.milliseconds = values[0];
    record.channel_1 = values[1];
    record.channel_2 = values[2];
    record.channel_3 = values[3];
    record.channel_4 = values[4];
    if (read < window_slots) {
        scan_tokens(p + after, date_slots + read, record);
    }
}

}  // namespace stamped_record_detail

// Scans one piece of input into the record: the ten slots, separated by
// white space. Scanning stops at the first token that does not fit its slot,
// or at the end of the text; the slots from there on keep their values. Then
// derives the hour, minute and second from fixed columns of the time token
// and the month number from the month token. It never fails.
template <class level>
void parse_record(const record_line& line, stamped_record& record)
{
    using namespace stamped_record_detail;
    const char* p = line.text;
    date_prefix date;
    if (read_date_prefix(p, date)) {
        store_date(date, record);
        p += date_prefix::length;
    } else {
        p = scan_tokens(p, 0, record);
    }
    if (p != nullptr) {
        scan_numbers<level>(p, record);
    }
    derive_fields(record);
}

inline void parse_record(const record_line& line, stamped_record& record)
{
    parse_record<default_level>(line, record);
}
