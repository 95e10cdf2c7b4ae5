// Plain calendar arithmetic in the proleptic Gregorian calendar, with no
// time zone: what the C library's own conversions do before they look at a
// zone.
#pragma once

#include <cstdint>

// Days from 1970-01-01 to the first of the month; month 0 to 11.
std::int64_t days_from_epoch(std::int64_t year, std::int32_t month);

// Seconds from the epoch to the given time read as UTC, with no range check
// on the day, hour, minute or second; tm_mon must be 0 to 11.
std::int64_t utc_seconds(std::int32_t tm_year, std::int32_t tm_mon, std::int32_t tm_mday,
                         std::int32_t tm_hour, std::int32_t tm_min, std::int32_t tm_sec);

// The year, in UTC, of an instant; exact over the whole range of int64_t.
std::int64_t utc_year_of(std::int64_t seconds);

bool is_leap_year(std::int64_t year);

// 0 for Sunday to 6 for Saturday.
int weekday_of(std::int64_t days_from_epoch);
