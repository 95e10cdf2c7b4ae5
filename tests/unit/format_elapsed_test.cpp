#include "series/decimal_format.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

namespace {

void expect_printf_text(double value)
{
    char want[400];
    char got[64];
    std::snprintf(want, sizeof want, "%.3f", value);
    ASSERT_EQ(std::string(got, format_elapsed(got, value)), want) << std::hexfloat << value;
}

TEST(format_elapsed, rounds_hard_values_as_printf_does)
{
    // Exact ties, values a hair either side of x.xxx5, negative values that
    // round to zero, and the largest magnitudes a 64-bit time_t can give.
    // clang-format off
    const double values[] = {0.0,          -0.0,         0.0625,          -0.0625,        0.0005,
                             -0.0005,      -0.0004,      0.0015,          0.1235,         0.4995,
                             0.9995,       1.0005,       2.675,           999.9995,       -1.5,
                             1e17,         -1e17,        1099511627.776,  1099511627.7755, 1000730096.25,
                             4503599627370495.5,         9007199254740993.0, 2147483647.9995, -2147483648.0005,
                             9.2e18,       -9.2e18,      0.00049999999999, 1e-300,        -1e-300};
    // clang-format on
    for (const double v : values)
        for (const double x : {v, std::nextafter(v, INFINITY), std::nextafter(v, -INFINITY)})
            expect_printf_text(x);
}

// Elapsed times built as the filter builds them: whole seconds plus
// milliseconds * 0.001, minus the reference second; through both forms, the
// one from the double and the one from the whole seconds and milliseconds.
TEST(format_elapsed, matches_printf_over_generated_elapsed_times)
{
    std::mt19937_64 rng(17);
    std::uniform_int_distribution<std::int64_t> seconds(-(std::int64_t{1} << 40),
                                                        std::int64_t{1} << 40);
    std::uniform_int_distribution<std::int64_t> nearby(-100000, 100000);
    std::uniform_int_distribution<std::int32_t> milliseconds(INT32_MIN, INT32_MAX);
    std::uniform_int_distribution<std::int32_t> small_milliseconds(-2000, 2000);
    for (int i = 0; i < 300000; ++i) {
        const std::int64_t s = seconds(rng);
        const std::int64_t reference = i % 2 == 0 ? seconds(rng) : s - nearby(rng);
        const std::int32_t ms = i % 3 == 0 ? milliseconds(rng) : small_milliseconds(rng);
        const double record_time = static_cast<double>(s) + ms * 0.001;
        const double elapsed = record_time - static_cast<double>(reference);
        ASSERT_NO_FATAL_FAILURE(expect_printf_text(elapsed));
        char want[400];
        char got[64];
        std::snprintf(want, sizeof want, "%.3f", elapsed);
        ASSERT_EQ(std::string(got, format_elapsed(got, s, record_time, reference, ms)), want)
            << s << " " << reference << " " << ms;
    }
}

}  // namespace
