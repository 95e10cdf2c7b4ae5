#include "time/mktime_check.hpp"

#include "time/calendar.hpp"
#include "time/zone_turn.hpp"

#include <climits>
#include <cstdint>
#include <ctime>

namespace {

// Standard time at UTC, daylight saving an hour ahead from the last Sunday
// of March to the last Sunday of October; the clocks go back at 02:00 BST on
// 28 October 2001, so that 01:30 that night is shown twice.
constexpr const char* probe_zone = "GMT0BST,M3.5.0/1,M10.5.0";

// mktime's answer for the given local time, as an offset from it read as UTC.
std::int64_t offset_of(int year, int month, int day, int hour, int minute)
{
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_isdst = -1;
    return std::mktime(&t) - utc_seconds(t.tm_year, month - 1, day, hour, minute, 0);
}

bool fails()
{
    std::tm t{};
    t.tm_year = INT_MAX;
    t.tm_mday = INT_MAX;
    t.tm_isdst = -1;
    return std::mktime(&t) == -1;
}

bool probe()
{
    constexpr std::int64_t summer = -3600;
    return offset_of(2001, 7, 1, 12, 0) == summer && fails() &&
           offset_of(2001, 10, 28, 1, 30) == summer && offset_of(2001, 1, 15, 12, 0) == 0 &&
           offset_of(2001, 10, 28, 1, 30) == 0;
}

}  // namespace

bool mktime_follows_previous_offset()
{
    const zone_setting saved = process_zone();
    set_zone({false, true, probe_zone});
    const bool follows = probe();
    offset_of(2001, 1, 15, 12, 0);  // whatever the probes found, leave mktime at offset 0
    set_zone(saved);
    return follows;
}
