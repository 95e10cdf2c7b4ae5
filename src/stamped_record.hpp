// The parsed form of one input line and the scanner that fills it.
#pragma once

#include <cstddef>
#include <cstdint>

// One piece of input as the scanner takes it: at most 130 bytes of text,
// ended by a NUL. The room after the terminator lets the scanner and the
// reader move whole words at a time without leaving the buffer; zero it once
// so that those bytes are never indeterminate.
struct record_line {
    static constexpr std::size_t max_length = 130;
    char text[max_length + 46];
};

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

// Scans one piece of input into the record: weekday, month, day, time, year,
// milliseconds and four channels, separated by white space. Scanning stops
// at the first token that does not fit its slot, or at the end of the text;
// the slots from there on keep their values. Then derives the hour, minute
// and second from fixed columns of the time token and the month number from
// the month token. It never fails.
void parse_record(const record_line& line, stamped_record& record);

// 0 to 11 for a token whose first three characters are "Jan" to "Dec"
// (case-sensitive, anything may follow), 8 when none matches.
std::int32_t month_index(const char* month_token);
