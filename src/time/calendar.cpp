#include "time/calendar.hpp"

namespace {

constexpr std::int64_t days_per_era = 146097;  // 400 years
constexpr std::int64_t seconds_per_day = 86400;

std::int64_t floor_div(std::int64_t a, std::int64_t b)
{
    return a / b - (a % b < 0 ? 1 : 0);
}

}  // namespace

// Counts years from March, so that a leap day falls at a year's end (the
// method of Howard Hinnant's "chrono-compatible low-level date algorithms").
std::int64_t days_from_epoch(std::int64_t year, std::int32_t month)
{
    const std::int64_t y = year - (month < 2 ? 1 : 0);
    const std::int64_t era = floor_div(y, 400);
    const std::int64_t year_of_era = y - era * 400;
    const std::int64_t month_from_march = month < 2 ? month + 10 : month - 2;
    const std::int64_t day_of_year = (153 * month_from_march + 2) / 5;
    const std::int64_t day_of_era =
        year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * days_per_era + day_of_era - 719468;
}

std::int64_t utc_seconds(std::int32_t tm_year, std::int32_t tm_mon, std::int32_t tm_mday,
                         std::int32_t tm_hour, std::int32_t tm_min, std::int32_t tm_sec)
{
    const std::int64_t days = days_from_epoch(std::int64_t{tm_year} + 1900, tm_mon) + tm_mday - 1;
    return ((days * 24 + tm_hour) * 60 + tm_min) * 60 + tm_sec;
}

std::int64_t utc_year_of(std::int64_t seconds)
{
    // Days from 0000-03-01, then the year of the era as the inverse of
    // days_from_epoch, in the same method.
    const std::int64_t days = floor_div(seconds, seconds_per_day) + 719468;
    const std::int64_t era = floor_div(days, days_per_era);
    const std::int64_t day_of_era = days - era * days_per_era;
    const std::int64_t year_of_era =
        (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const std::int64_t day_of_year =
        day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const std::int64_t month_from_march = (5 * day_of_year + 2) / 153;
    return year_of_era + era * 400 + (month_from_march >= 10 ? 1 : 0);
}

bool is_leap_year(std::int64_t year)
{
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int weekday_of(std::int64_t days)
{
    const std::int64_t from_sunday = days + 4;  // 1970-01-01 was a Thursday
    return static_cast<int>(from_sunday - 7 * floor_div(from_sunday, 7));
}
