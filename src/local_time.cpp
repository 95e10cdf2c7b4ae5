#include "local_time.hpp"

#include <cstddef>

// Why reusing results is safe. For a request with tm_isdst 0 or 1, mktime
// first probes at (requested time read as UTC) + (offset of its previous
// result). When local time at that instant reads back as the request, with a
// matching daylight-saving flag, that probe is its answer and its offset is
// unchanged. An hour is therefore reusable under a given starting offset when
// its first and last second both read back that way: no zone changes its
// offset twice within one hour, so every second in between does too. The
// check uses localtime_r, which leaves mktime's starting offset alone, and a
// reused answer leaves it where it was, so the next real mktime call starts
// from the same place as it would have had every record called it.

namespace {

constexpr std::int64_t last_second_of_hour = 3599;

std::int64_t days_from_epoch(std::int64_t year, std::int32_t month)
{
    // Count years from March, so that a leap day falls at a year's end.
    const std::int64_t y = year - (month < 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t year_of_era = y - era * 400;
    const std::int64_t month_from_march = month < 2 ? month + 10 : month - 2;
    const std::int64_t day_of_year = (153 * month_from_march + 2) / 5;
    const std::int64_t day_of_era =
        year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + day_of_era - 719468;
}

std::int64_t utc_seconds_of(const std::tm& t)
{
    return utc_seconds(t.tm_year, t.tm_mon, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
}

bool same_flag(int a, int b)
{
    return (a != 0) == (b != 0);
}

// Does local time at the instant read back as the given local time, with the
// given daylight-saving flag?
bool reads_back(std::int64_t instant, std::int64_t local, int isdst)
{
    const std::time_t t = instant;
    std::tm out{};
    return localtime_r(&t, &out) != nullptr && same_flag(out.tm_isdst, isdst) &&
           utc_seconds_of(out) == local;
}

bool follows_leap_second(std::time_t seconds)
{
    const std::time_t before = seconds - 1;
    std::tm out{};
    return localtime_r(&before, &out) == nullptr || out.tm_sec == 60;
}

std::uint64_t year_and_day(const std::tm& f)
{
    return std::uint64_t{static_cast<std::uint32_t>(f.tm_year)} << 32 |
           static_cast<std::uint32_t>(f.tm_mday);
}

std::uint64_t hour_month_flag(const std::tm& f)
{
    constexpr std::uint64_t entry_in_use = 1u << 8;
    return std::uint64_t{static_cast<std::uint32_t>(f.tm_hour)} << 32 |
           static_cast<std::uint32_t>(f.tm_mon) << 1 | static_cast<std::uint32_t>(f.tm_isdst) |
           entry_in_use;
}

bool holds(const verified_hour& hour, std::uint64_t date, std::uint64_t time, std::int64_t offset)
{
    return hour.year_and_day == date && hour.hour_month_flag == time && hour.offset == offset;
}

// The verified hour that holds the request, or nullptr when the request must
// go to mktime itself.
const verified_hour* find_hour(local_time_state& state)
{
    const std::tm& f = state.calendar_fields;
    if (!state.mktime_offset_known || (f.tm_isdst != 0 && f.tm_isdst != 1) || f.tm_min < 0 ||
        f.tm_min > 59 || f.tm_sec < 0 || f.tm_sec > 59) {
        return nullptr;
    }
    const std::uint64_t date = year_and_day(f);
    const std::uint64_t time = hour_month_flag(f);
    const std::int64_t offset = state.mktime_offset;
    if (!holds(state.hours[state.last_hour], date, time, offset)) {
        const std::uint64_t mixed = (date * 0x9E3779B97F4A7C15u) ^ time;
        state.last_hour = (mixed ^ mixed >> 29 ^ mixed >> 47) % verified_hour_slots;
    }
    verified_hour& hour = state.hours[state.last_hour];
    if (!holds(hour, date, time, offset)) {
        const std::int64_t local = utc_seconds(f.tm_year, f.tm_mon, f.tm_mday, f.tm_hour, 0, 0);
        const std::int64_t start = local + offset;
        hour = verified_hour{
            date, time, offset, start,
            reads_back(start, local, f.tm_isdst) &&
                reads_back(start + last_second_of_hour, local + last_second_of_hour, f.tm_isdst)};
    }
    return hour.usable ? &hour : nullptr;
}

// mktime itself, noting the starting offset it leaves for its next call.
std::time_t call_mktime(local_time_state& state)
{
    std::tm& f = state.calendar_fields;
    const std::tm requested = f;
    f.tm_yday = -1;  // mktime fills it in only when it succeeds
    const std::time_t seconds = std::mktime(&f);
    if (f.tm_yday < 0) {
        return seconds;  // a failed call leaves mktime's offset as it was
    }
    // A second outside 0..59, or a result next to a leap second, makes mktime
    // adjust its answer after it has noted the offset; stop relying on it.
    state.mktime_offset_known = requested.tm_sec >= 0 && requested.tm_sec <= 59 &&
                                !(requested.tm_sec == 0 && follows_leap_second(seconds));
    state.mktime_offset = seconds - utc_seconds_of(requested);
    return seconds;
}

}  // namespace

std::int64_t utc_seconds(std::int32_t tm_year, std::int32_t tm_mon, std::int32_t tm_mday,
                         std::int32_t tm_hour, std::int32_t tm_min, std::int32_t tm_sec)
{
    const std::int64_t days = days_from_epoch(std::int64_t{tm_year} + 1900, tm_mon) + tm_mday - 1;
    return ((days * 24 + tm_hour) * 60 + tm_min) * 60 + tm_sec;
}

local_time_state make_local_time_state()
{
    local_time_state state{};
    state.calendar_fields.tm_isdst = -1;
    return state;
}

converted_time convert_record(const stamped_record& record, local_time_state& state)
{
    std::tm& f = state.calendar_fields;
    f.tm_sec = record.second;
    f.tm_min = record.minute;
    f.tm_hour = record.hour;
    f.tm_mday = record.day;
    f.tm_mon = record.month;
    f.tm_year = static_cast<std::int32_t>(static_cast<std::uint32_t>(record.year) - 1900u);

    const verified_hour* hour = find_hour(state);
    const std::time_t seconds =
        hour != nullptr ? hour->start + std::int64_t{60} * f.tm_min + f.tm_sec : call_mktime(state);
    return {seconds, static_cast<double>(seconds) + record.milliseconds * 0.001};
}
