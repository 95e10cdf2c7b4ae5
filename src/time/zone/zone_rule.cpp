#include "time/zone/zone_rule.hpp"

#include "simd/byte_class.hpp"
#include "time/calendar.hpp"

namespace {

constexpr std::int64_t seconds_per_day = 86400;

// Reads 1 to `most` digits; false when there are none or too many.
bool read_number(const char*& p, int most, int& value)
{
    value = 0;
    int count = 0;
    for (; byte_class::is_digit(*p); ++p, ++count) {
        value = value * 10 + (*p - '0');
        if (count == most) {
            return false;
        }
    }
    return count > 0;
}

// hh[:mm[:ss]] in seconds; hours of up to three digits, the rest of two.
bool read_clock(const char*& p, int clamp_hours, int clamp_rest, std::int64_t& seconds)
{
    int part[3] = {0, 0, 0};
    if (!read_number(p, 3, part[0])) {
        return false;
    }
    for (int i = 1; i < 3 && *p == ':'; ++i) {
        ++p;
        if (!read_number(p, 2, part[i])) {
            return false;
        }
    }
    const auto clamp = [](int v, int most) { return most > 0 && v > most ? most : v; };
    seconds = clamp(part[0], clamp_hours) * std::int64_t{3600} +
              clamp(part[1], clamp_rest) * std::int64_t{60} + clamp(part[2], clamp_rest);
    return true;
}

// A name of three or more letters, or one in angle brackets.
bool read_name(const char*& p)
{
    const char* start = p;
    const auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    while (letter(*p)) {
        ++p;
    }
    if (p - start >= 3) {
        return true;
    }
    p = start;
    if (*p++ != '<') {
        return false;
    }
    start = p;
    while (letter(*p) || byte_class::is_digit(*p) || byte_class::is_sign(*p)) {
        ++p;
    }
    return p - start >= 3 && *p++ == '>';
}

// [+-]hh[:mm[:ss]] west of UTC, given back east of it; hours above 24 and
// minutes or seconds above 59 count as 24 and 59, as the C library has it.
bool read_offset(const char*& p, std::int64_t& east)
{
    const bool east_of_utc = *p == '-';
    p += byte_class::is_sign(*p) ? 1 : 0;
    std::int64_t seconds = 0;
    if (!read_clock(p, 24, 59, seconds)) {
        return false;
    }
    east = east_of_utc ? seconds : -seconds;
    return true;
}

bool read_date(const char*& p, rule_date& date)
{
    date = {rule_date::form::zero_based, 0, 0, 0, std::int64_t{2} * 3600};
    if (*p == 'M') {
        ++p;
        date.kind = rule_date::form::month_week_day;
        if (!read_number(p, 2, date.month) || *p++ != '.' || !read_number(p, 1, date.week) ||
            *p++ != '.' || !read_number(p, 1, date.day)) {
            return false;
        }
        if (date.month < 1 || date.month > 12 || date.week < 1 || date.week > 5 || date.day > 6) {
            return false;
        }
    } else {
        const bool julian = *p == 'J';
        date.kind = julian ? rule_date::form::julian : rule_date::form::zero_based;
        p += julian ? 1 : 0;
        if (!read_number(p, 3, date.day) || date.day > 365 || (julian && date.day == 0)) {
            return false;
        }
    }
    if (*p == '/') {
        ++p;
        const bool negative = *p == '-';
        p += negative ? 1 : 0;
        if (!read_clock(p, 0, 0, date.time)) {
            return false;
        }
        date.time = negative ? -date.time : date.time;
    }
    return true;
}

}  // namespace

bool parse_zone_rule(const char* p, zone_rule& rule)
{
    rule = {};
    if (!read_name(p) || !read_offset(p, rule.std_offset)) {
        return false;
    }
    if (*p == '\0') {
        rule.dst_offset = rule.std_offset;
        return true;
    }
    rule.has_dst = true;
    if (!read_name(p)) {
        return false;
    }
    rule.dst_offset = rule.std_offset + 3600;
    if (*p != ',' && !read_offset(p, rule.dst_offset)) {
        return false;
    }
    return *p++ == ',' && read_date(p, rule.start) && *p++ == ',' && read_date(p, rule.end) &&
           *p == '\0';
}

bool names_no_standard_offset(const char* p)
{
    return !read_name(p) || !(byte_class::is_digit(*p) || byte_class::is_sign(*p));
}

std::int64_t change_instant(const rule_date& date, std::int64_t offset, std::int64_t year)
{
    std::int64_t day = year > 1970 ? days_from_epoch(year, 0) : 0;
    switch (date.kind) {
        case rule_date::form::julian:  // February 29 is never counted
            day += date.day - 1 + (date.day >= 60 && is_leap_year(year) ? 1 : 0);
            break;
        case rule_date::form::zero_based: day += date.day; break;
        case rule_date::form::month_week_day: {
            const std::int64_t first = days_from_epoch(year, date.month - 1);
            const std::int64_t length =
                days_from_epoch(date.month == 12 ? year + 1 : year, date.month % 12) - first;
            std::int64_t in_month = (date.day - weekday_of(first) + 7) % 7;
            for (int week = 1; week < date.week && in_month + 7 < length; ++week) {
                in_month += 7;
            }
            day += first - days_from_epoch(year, 0) + in_month;
            break;
        }
    }
    return day * seconds_per_day - offset + date.time;
}
