#include "parse_text.hpp"
#include "time/calendar.hpp"
#include "time/local_time.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <random>
#include <vector>

namespace {

struct convert_case {
    const char* tz;
    std::vector<const char*> lines;
    std::vector<double> times;  // the first line's record_time, then the others' relative to it
};

// clang-format off
const convert_case convert_cases[] = {
    {"UTC", {"Mon Sep 17 12:34:56 2001 250"}, {1000730096.25}},
    {"UTC", {"Mon Jan 01 00:00:00 01 0"}, {-62135596800}},
    {"UTC", {"Wed Jan 1 00:00:00 1800", "Wed Jan 1 00:00:00 2200"}, {-5364662400, 12622780800}},
    {"UTC", {"Mon Sep 17 12:34:60 2001"}, {1000730100}},
    {"UTC", {"Mon Sep 17 9:.00.00 2001"}, {1001044800}},  // hour 100 of the 17th
    // Daylight saving from 15:10 to 15:40 UTC: the hour from 12:00 standard
    // time reads back at both ends but not in its middle, where 12:20 turns
    // the flag and the blank line is converted again under it.
    {"AAA3BBB,J100/12:10,J100/13:40",
     {"Tue Apr 10 12:00:00 2001", "Tue Apr 10 12:20:00 2001", "", "Tue Apr 10 12:50:00 2001"},
     {986914800, 1200, -2400, 3000}},
};
// clang-format on

// Both with mktime's answers reused and with mktime for every record.
TEST(convert_record, converts_in_the_zone_with_the_carried_flag)
{
    for (const bool reuse : {true, false})
        for (const convert_case& c : convert_cases) {
            SCOPED_TRACE(testing::Message() << "row " << &c - convert_cases << " reuse " << reuse);
            setenv("TZ", c.tz, 1);
            tzset();
            stamped_record record{};
            auto state = std::make_unique<local_time_state>();
            start_local_time(*state, reuse);
            std::vector<double> got;
            for (const char* line : c.lines) {
                parse_text(line, record);
                const double time = convert_record(record, *state).record_time;
                got.push_back(got.empty() ? time : time - got.front());
            }
            EXPECT_EQ(got, c.times);
        }
}

// Days, hours, minutes and seconds far out of range, over twelve millennia.
TEST(utc_seconds, matches_timegm)
{
    std::mt19937 engine(1970);
    const auto pick = [&engine](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(engine);
    };
    for (int i = 0; i < 200000; ++i) {
        std::tm t{};
        t.tm_year = pick(-4000, 8000);
        t.tm_mon = pick(0, 11);
        t.tm_mday = pick(-800, 800);
        t.tm_hour = pick(-200, 200);
        t.tm_min = pick(-2000, 2000);
        t.tm_sec = pick(-5000, 5000);
        const std::int64_t got =
            utc_seconds(t.tm_year, t.tm_mon, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
        ASSERT_EQ(got, timegm(&t)) << i;
    }
}

}  // namespace
