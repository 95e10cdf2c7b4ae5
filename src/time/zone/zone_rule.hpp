// Daylight-saving rules written as a POSIX TZ string, such as
// "EST5EDT,M3.2.0,M11.1.0": in TZ itself, or at the end of a zone file.
#pragma once

#include <cstdint>

// The day and time of one change, as the string gives it.
struct rule_date {
    enum class form { julian, zero_based, month_week_day };  // Jn, n, Mm.w.d
    form kind;
    int day;            // n of Jn (1-365) or of n (0-365); d of Mm.w.d (0-6, 0 Sunday)
    int month;          // m of Mm.w.d, 1-12
    int week;           // w of Mm.w.d, 1-5, 5 the last
    std::int64_t time;  // seconds after local midnight, possibly negative or beyond a day
};

struct zone_rule {
    bool has_dst;
    std::int64_t std_offset;  // seconds east of UTC
    std::int64_t dst_offset;
    rule_date start;  // into daylight saving, in standard time
    rule_date end;    // out of it, in daylight-saving time
};

// Reads a TZ string of the strict form "std offset [dst [offset],start[/time],end[/time]]"
// and gives false for anything else. The C library accepts more, but it
// reads every string of this form the same way as this function does, so
// what this function accepts can be modelled. A daylight-saving name
// without rules (the C library then borrows the rules of a zone file) is
// refused too.
bool parse_zone_rule(const char* p, zone_rule& rule);

// True where the C library, reading p as a TZ string, finds no standard-time
// name of its form or no sign or digit after the name. GNU libc then stops
// reading and keeps the state it set before it began: UTC, with no daylight
// saving in any year.
bool names_no_standard_offset(const char* p);

// The instant of the change in the given year, computed as the C library
// computes it: from midnight UTC on the day of the rule, plus the time, minus
// the offset in force before the change. For the years up to 1970 the C
// library counts from 1970-01-01 whatever the year; so does this function.
std::int64_t change_instant(const rule_date& date, std::int64_t offset, std::int64_t year);
