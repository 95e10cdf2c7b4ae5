// The model of where a zone changes: TZ strings read as the C library reads
// them, and no hour called steady in which the C library's local time in
// fact changes, checked second by second.
#include "time/zone/zone_changes.hpp"
#include "time/calendar.hpp"
#include "time/mktime_check.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

struct rule_case {
    const char* text;
    bool has_dst;
    std::int64_t std_offset, dst_offset, start_time, end_time;
};

// clang-format off
const rule_case rule_cases[] = {
    {"UTC0", false, 0, 0, 0, 0},
    {"<+0330>-3:30", false, 12600, 12600, 0, 0},
    {"ABC99", false, -86400, -86400, 0, 0},  // the C library takes hours above 24 as 24
    {"EST5EDT,M3.2.0,M11.1.0", true, -18000, -14400, 7200, 7200},
    {"AAA3BBB,J100/12:10,J100/13:40", true, -10800, -7200, 43800, 49200},
    {"XXX3YYY,J60/-1,J61/25", true, -10800, -7200, -3600, 90000},
    {"<-03>+3<+02>-2:30:15,0/0,365/167", true, -10800, 9015, 0, std::int64_t{167} * 3600},
};
// "EST5EDT" has no rules: the C library borrows them from a zone file.
const char* const refused[] = {"EST5EDT", "EST5EDT,", "EST5 EDT,M3.2.0,M11.1.0", "America/New_York",
                               "EST5EDT,M3.2.0,M11.1.0x", "EST5EDT,M13.2.0,M11.1.0",
                               "EST5EDT,J0,J365", "AB5", "<AB>5"};
// clang-format on

TEST(parse_zone_rule, reads_the_strict_form_and_refuses_the_rest)
{
    for (const rule_case& c : rule_cases) {
        SCOPED_TRACE(c.text);
        zone_rule rule{};
        ASSERT_TRUE(parse_zone_rule(c.text, rule));
        EXPECT_EQ(rule.has_dst, c.has_dst);
        EXPECT_EQ(rule.std_offset, c.std_offset);
        EXPECT_EQ(rule.dst_offset, c.dst_offset);
        EXPECT_EQ(rule.start.time, c.has_dst ? c.start_time : 0);
        EXPECT_EQ(rule.end.time, c.has_dst ? c.end_time : 0);
    }
    for (const char* text : refused) {
        zone_rule rule{};
        EXPECT_FALSE(parse_zone_rule(text, rule)) << text;
    }
}

struct window {
    const char* tz;
    int year, month, day;  // the first of the two days looked at
    bool some_steady;      // false where the model cannot check the year and gives up
};

// Short daylight saving, short standard time, a rule across the new year
// and the years before 1971 (both of which the model leaves to mktime),
// zone files in both their parts, leap seconds.
// clang-format off
const window windows[] = {
    {"AAA3BBB,J100/12:10,J100/13:40", 2001, 4, 9, true}, {"AAA3BBB,J100/12:10,J100/13:40", 2004, 4, 9, true},
    {"AAA3BBB,J100/12:10,J100/13:40", 1970, 4, 9, true}, {"AAA3BBB,J100/12:10,J100/13:40", 1969, 4, 9, false},
    {"XXX-5:30YYY-6,M3.5.0/1:05:17,M3.5.0/2:05:20", 2021, 3, 27, true},
    {"PQR3STU,J200/5,J200/5:30", 2010, 7, 18, true}, {"PQR3STU1,J200/5,J200/6:00:01", 2010, 7, 18, true},
    {"NYE-10NYD,J365/23:30,J1/0:10", 2012, 12, 30, false}, {"NYE-10NYD,J365/23:30,J1/0:10", 2013, 12, 31, false},
    {"America/New_York", 2001, 3, 31, true}, {"America/New_York", 2040, 11, 3, true},
    {"Australia/Lord_Howe", 2001, 10, 6, true}, {"Europe/Dublin", 2001, 3, 24, true},
    {"right/Europe/London", 2016, 12, 31, true}, {"right/Asia/Kathmandu", 2016, 12, 31, true},
};
// clang-format on

// Local time read as UTC, less the instant: constant where nothing changes.
struct reading {
    std::int64_t shift;
    int isdst;
    bool operator==(const reading&) const = default;
};

reading read_at(std::int64_t instant)
{
    const std::time_t t = instant;
    std::tm out{};
    localtime_r(&t, &out);
    return {utc_seconds(out.tm_year, out.tm_mon, out.tm_mday, out.tm_hour, out.tm_min, out.tm_sec) -
                instant,
            out.tm_isdst};
}

TEST(zone_steady, calls_no_hour_steady_in_which_local_time_changes)
{
    constexpr std::int64_t span = std::int64_t{2} * 86400;
    auto zone = std::make_unique<zone_changes>();
    for (const window& w : windows) {
        SCOPED_TRACE(testing::Message() << w.tz << " " << w.year << "-" << w.month << "-" << w.day);
        setenv("TZ", w.tz, 1);
        tzset();
        load_zone_changes(*zone);
        ASSERT_NE(zone->kind, zone_changes::source::unknown);
        const std::int64_t begin = (days_from_epoch(w.year, w.month - 1) + w.day - 1) * 86400;
        std::vector<reading> readings;
        for (std::int64_t t = begin; t < begin + span + 3600; ++t)
            readings.push_back(read_at(t));
        int steady = 0;
        for (std::int64_t at = 0; at < span; at += 307) {
            if (!zone_steady(*zone, begin + at, begin + at + 3599)) continue;
            ++steady;
            for (std::int64_t s = 1; s < 3600; ++s)
                ASSERT_EQ(readings[at + s], readings[at])
                    << "hour from " << begin + at << " + " << s;
        }
        EXPECT_EQ(steady > 0, w.some_steady);
    }
}

TEST(mktime_follows_previous_offset, holds_here_and_leaves_tz_and_mktime_as_they_were)
{
    for (const std::optional<std::string>& tz :
         {std::optional<std::string>("Europe/London"), std::optional<std::string>()}) {
        tz ? setenv("TZ", tz->c_str(), 1) : unsetenv("TZ");
        EXPECT_TRUE(mktime_follows_previous_offset());
        const char* now = std::getenv("TZ");
        EXPECT_EQ(now ? std::optional<std::string>(now) : std::nullopt, tz);
    }
    // As in a fresh process, 01:30 on the night the clocks go back in London
    // is taken as GMT when no flag is given.
    setenv("TZ", "Europe/London", 1);
    tzset();
    std::tm t{};
    t.tm_year = 101;
    t.tm_mon = 9;
    t.tm_mday = 28;
    t.tm_hour = 1;
    t.tm_min = 30;
    t.tm_isdst = -1;
    EXPECT_EQ(std::mktime(&t), 1004232600);
}

}  // namespace
