// TZ strings with daylight-saving rules, and logs that walk across their
// changes. Wall times are written as seconds of the local calendar counted
// as if they were UTC, so no zone is needed to write the logs.
#include "corpus.hpp"
#include "log_writer.hpp"

#include <cstdio>
#include <ctime>

namespace {

constexpr std::int64_t day_seconds = 86400;

struct change {
    char form;  // 'J' (1-365, no February 29), 'n' (0-365) or 'M' (month, week, weekday)
    int day, month, week, weekday;
    int time;  // seconds after local midnight; 7200 is left out of the text
};

struct rule {
    int std_east, dst_east;
    change start, end;  // start in standard time, end in daylight-saving time
};

std::string clock_text(int seconds)
{
    const int size = seconds < 0 ? -seconds : seconds;
    char text[32];
    std::snprintf(text, sizeof text, "%s%d", seconds < 0 ? "-" : "", size / 3600);
    std::string out = text;
    if (size % 3600 != 0) {
        std::snprintf(text, sizeof text, ":%02d", size / 60 % 60);
        out += text;
    }
    if (size % 60 != 0) {
        std::snprintf(text, sizeof text, ":%02d", size % 60);
        out += text;
    }
    return out;
}

std::string change_text(const change& c)
{
    std::string out = c.form == 'J' ? "J" + std::to_string(c.day)
                      : c.form == 'n'
                          ? std::to_string(c.day)
                          : "M" + std::to_string(c.month) + "." + std::to_string(c.week) + "." +
                                std::to_string(c.weekday);
    return c.time == 7200 ? out : out + "/" + clock_text(c.time);
}

std::string name(corpus_rng& rng)
{
    static const char* const quoted[] = {"<+0330>", "<-03>", "<+1345>", "<UTC+5>", "<A-1>"};
    if (rng.chance(25)) return rng.pick(quoted);
    std::string text;
    for (auto n = rng.between(3, 5); n > 0; --n)
        text += static_cast<char>('A' + rng.between(0, 25));
    return text;
}

std::string tz_text(const rule& r, corpus_rng& rng)
{
    std::string out = name(rng) + clock_text(-r.std_east) + name(rng);
    if (r.dst_east != r.std_east + 3600 || rng.chance(20)) out += clock_text(-r.dst_east);
    return out + "," + change_text(r.start) + "," + change_text(r.end);
}

change random_change(corpus_rng& rng)
{
    static const int times[] = {7200, 0, 3600, 5400, 86399, -3600, -7322, 90000, 45 * 60, 601201};
    change c{
        "JnM"[rng.between(0, 2)],
        0,
        static_cast<int>(rng.between(1, 12)),
        static_cast<int>(rng.between(1, 5)),
        static_cast<int>(rng.between(0, 6)),
        rng.chance(50) ? rng.pick(times) % (168 * 3600) : static_cast<int>(rng.between(0, 86399))};
    c.day = static_cast<int>(c.form == 'J' ? rng.between(1, 365) : rng.between(0, 365));
    return c;
}

// Daylight saving for a few months, for less than an hour, or standard time
// for less than an hour; offsets at whole, half and odd minutes.
rule random_rule(corpus_rng& rng)
{
    static const int shifts[] = {3600, 3600, 1800, 7200, -3600, 2700, 1260, 3600 + 17};
    static const int short_periods[] = {1, 60, 1799, 1800, 3599, 3600, 5400};
    const int std_east = static_cast<int>(rng.between(-12, 14) * 3600 +
                                          (rng.chance(30) ? rng.between(-59, 59) * 60 : 0));
    rule r{std_east, std_east + rng.pick(shifts), random_change(rng), random_change(rng)};
    const int shift = r.dst_east - r.std_east;
    const int period = rng.pick(short_periods);
    switch (rng.between(0, 3)) {
        case 0: r.end = r.start, r.end.time = r.start.time + shift + period; break;  // short DST
        case 1:
            r.start = r.end, r.start.time = r.end.time - shift + period;
            break;  // short standard
        default: break;
    }
    return r;
}

// Days from the epoch to the local date of the change in the given year.
std::int64_t change_day(const change& c, int year)
{
    const auto days = [year](int month, int day) {
        std::tm t{};
        t.tm_year = year - 1900;
        t.tm_mon = month;
        t.tm_mday = day;
        return static_cast<std::int64_t>(timegm(&t)) / day_seconds;
    };
    const bool leap = days(2, 1) - days(1, 1) == 29;
    if (c.form == 'J') return days(0, 1) + c.day - 1 + (leap && c.day >= 60 ? 1 : 0);
    if (c.form == 'n') return days(0, 1) + c.day;
    const std::int64_t first = days(c.month - 1, 1);
    const std::int64_t length = days(c.month, 1) - first;
    std::int64_t day = ((c.weekday - (first + 4) % 7) % 7 + 7) % 7;  // 1970-01-01 was a Thursday
    for (int week = 1; week < c.week && day + 7 < length; ++week)
        day += 7;
    return first + day;
}

// Wall times around a change by `jump` seconds at wall time `at`.
void walk(std::string& out, std::int64_t at, std::int64_t jump, corpus_rng& rng)
{
    const std::int64_t size = jump < 0 ? -jump : jump;
    const std::int64_t points[] = {at - 3600,     at - 1,        at,        at + 1,
                                   at + size / 2, at + size - 1, at + size, at + size + 1,
                                   at + 1800,     at + 3599,     at + 3600};
    for (const std::int64_t point : points)
        if (rng.chance(85)) put_record(out, point, true, rng);
    for (auto n = rng.between(1, 3); n > 0; --n)
        put_record(out, rng.pick(points), true, rng);
}

}  // namespace

std::vector<rule_zone> rule_zones(std::uint64_t seed, int count)
{
    corpus_rng rng(seed);
    std::vector<rule_zone> zones;
    for (int i = 0; i < count; ++i) {
        const rule r = random_rule(rng);
        rule_zone zone{tz_text(r, rng), {}};
        for (auto logs = rng.between(1, 3); logs > 0; --logs) {
            std::string log;
            for (auto years = rng.between(1, 3); years > 0; --years) {
                const int year = static_cast<int>(rng.chance(15) ? rng.between(1960, 1971)
                                                                 : rng.between(1972, 2045));
                const int shift = r.dst_east - r.std_east;
                walk(log, change_day(r.start, year) * day_seconds + r.start.time, shift, rng);
                walk(log, change_day(r.end, year) * day_seconds + r.end.time, -shift, rng);
            }
            zone.logs.push_back(log);
        }
        zones.push_back(zone);
    }
    return zones;
}
