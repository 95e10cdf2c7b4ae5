#include "parse_text.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

using namespace std::literals;

constexpr std::int32_t max32 = INT32_MAX;
constexpr std::int32_t min32 = INT32_MIN;

// The record each row's line is parsed over: weekday Mon, month Sep, time
// token 12:34:56, and the numbers 17 2001 250 -12 34 -5 170.
constexpr const char* first_line = "Mon Sep 17 12:34:56 2001 250 -12 34 -5 170";

struct parse_case {
    std::string_view line;
    const char* weekday;
    const char* month_token;
    const char* time_token;
    // day, year, milliseconds, channels 1-4, hour, minute, second, month
    std::array<std::int32_t, 11> numbers;
};

// clang-format off
const parse_case parse_cases[] = {
    {"", "Mon", "Sep", "12:34:56", {17, 2001, 250, -12, 34, -5, 170, 12, 34, 56, 8}},
    {" \t\r\n\v\f", "Mon", "Sep", "12:34:56", {17, 2001, 250, -12, 34, -5, 170, 12, 34, 56, 8}},
    {"Tue Oct 18 01:02:03 2002\n", "Tue", "Oct", "01:02:03", {18, 2002, 250, -12, 34, -5, 170, 1, 2, 3, 9}},
    {"Tue Oct 18 01:02:03 2002 7 1 2 3 4\r\n", "Tue", "Oct", "01:02:03", {18, 2002, 7, 1, 2, 3, 4, 1, 2, 3, 9}},
    {"Fri\tSep\v17\f12.34.56  2001 250 -12 34 -5 170 9 9", "Fri", "Sep", "12.34.56",
     {17, 2001, 250, -12, 34, -5, 170, 12, 34, 56, 8}},
    {"Mon Sep 17 9:05:00 2001", "Mon", "Sep", "9:05:00", {17, 2001, 250, -12, 34, -5, 170, 100, 60, -48, 8}},
    // Bytes 4 to 7 are what 12:34:56 left behind.
    {"Mon Sep 17 1:2 2001", "Mon", "Sep", "1:2", {17, 2001, 250, -12, 34, -5, 170, 20, -476, 56, 8}},
    {"Fri Oct 5th 01:02:03 2002 9 9 9 9 9", "Fri", "Oct", "th", {5, 1, 250, -12, 34, -5, 170, 736, 34, 56, 9}},
    {"Tue Oct 18\0 01:02:03 2002 7 1 2 3 4"sv, "Tue", "Oct", "12:34:56", {18, 2001, 250, -12, 34, -5, 170, 12, 34, 56, 9}},
    {"Wednesday Octoberfest 18 01:02:03.4567890123 2002 7 1 2 3 4", "Wednesd", "October", "01:02:03.456789",
     {18, 2002, 7, 1, 2, 3, 4, 1, 2, 3, 9}},
    {"Mon Sep 99999999999 12:34:56 -99999999999 2147483648 -2147483649 2147483647 -2147483648 "
     "18446744073709551617", "Mon", "Sep", "12:34:56", {max32, min32, max32, min32, max32, min32, max32, 12, 34, 56, 8}},
    {"Mon Sep +5 12:34:56 +2001 00000000000000000000250 +1 -0 +0 -3", "Mon", "Sep", "12:34:56",
     {5, 2001, 250, 1, 0, 0, -3, 12, 34, 56, 8}},
    {"Tue Oct - 01:02:03 2002", "Tue", "Oct", "12:34:56", {17, 2001, 250, -12, 34, -5, 170, 12, 34, 56, 9}},
    {"Tue Oct + 01:02:03 2002", "Tue", "Oct", "12:34:56", {17, 2001, 250, -12, 34, -5, 170, 12, 34, 56, 9}},
    {"Tue Oct 18 01:02:03 5x 7 7 7 7 7", "Tue", "Oct", "01:02:03", {18, 5, 250, -12, 34, -5, 170, 1, 2, 3, 9}},
    {"Tue Oct 18 01:02:03 2002 +-5 7", "Tue", "Oct", "01:02:03", {18, 2002, 250, -12, 34, -5, 170, 1, 2, 3, 9}},
    {"Tue Oct 18 01:02:03 2002 -", "Tue", "Oct", "01:02:03", {18, 2002, 250, -12, 34, -5, 170, 1, 2, 3, 9}},
};
// clang-format on

TEST(parse_record, keeps_what_the_line_does_not_supply)
{
    for (const parse_case& c : parse_cases) {
        SCOPED_TRACE(std::string(c.line));
        stamped_record r{};
        parse_text(first_line, r);
        parse_text(c.line, r);
        EXPECT_STREQ(r.weekday_token, c.weekday);
        EXPECT_STREQ(r.month_token, c.month_token);
        EXPECT_STREQ(r.time_token, c.time_token);
        const std::array<std::int32_t, 11> got{
            r.day,       r.year, r.milliseconds, r.channel_1, r.channel_2, r.channel_3,
            r.channel_4, r.hour, r.minute,       r.second,    r.month};
        EXPECT_EQ(got, c.numbers);
    }
}

}  // namespace
