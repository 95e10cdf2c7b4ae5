// Shortcuts of the record scanner that look at many bytes of a line at
// once. Each one either reads fields exactly as the token-by-token scan in
// stamped_record.cpp would, or reads nothing and leaves the line to it. They
// give values; only stamped_record.hpp puts them into a record.
#pragma once

#include "line_reader.hpp"
#include "simd/byte_class.hpp"
#include "simd/words.hpp"

#include <bit>
#include <cstdint>

// The first five fields of a line that starts "Www Mmm DD HH:MM:SS YYYY".
struct date_prefix {
    static constexpr unsigned length = 24;
    static_assert(sizeof "Www Mmm DD HH:MM:SS YYYY" - 1 == length);
    static_assert(sizeof(record_line::text) > length, "the byte after the prefix is read too");
    const char* weekday;  // 3 characters
    const char* month;    // 3 characters
    std::int32_t day;
    const char* time;  // 8 characters
    std::int32_t year;
};

// For a line at p that starts with a three-character weekday and month, a
// two-digit day, an eight-character time and a four-digit year, each after
// one space, and has no digit after the year, fills date and gives true.
// The token scan reads such a line the same way: no field is longer than its
// slot, and a digit after the year would belong to it. Reads length + 1
// bytes at p. (Three word tests instead of five token scans; benchmark
// "parse/date_prefix" against "parse/token_by_token".)
inline bool read_date_prefix(const char* p, date_prefix& date)
{
    using namespace words;
    constexpr std::uint64_t space = ' ' * ones;
    const std::uint64_t w0 = load_64(p);
    const std::uint64_t w1 = load_64(p + 8);
    const std::uint64_t w2 = load_64(p + 16);
    // Bytes 3, 7, 10 and 19 are spaces; 8-9 and 20-23 digits; the rest above ' '.
    const bool fits =
        (w0 & 0xFF000000FF000000u) == (space & 0xFF000000FF000000u) &&
        (w1 & 0xFF0000u) == (space & 0xFF0000u) && (w2 & 0xFF000000u) == (space & 0xFF000000u) &&
        (above_space(w0) & 0x0080808000808080u) == 0x0080808000808080u &&
        (above_space(w1) & 0x8080808080000000u) == 0x8080808080000000u &&
        (above_space(w2) & 0x808080u) == 0x808080u && (non_digits(w1) & 0x8080u) == 0 &&
        (non_digits(w2) >> 32) == 0 && !byte_class::is_digit(p[date_prefix::length]);
    if (!fits) {
        return false;
    }
    const auto digit = [p](int i) { return static_cast<std::int32_t>(p[i] - '0'); };
    date = {p, p + 4, 10 * digit(8) + digit(9), p + 11,
            1000 * digit(20) + 100 * digit(21) + 10 * digit(22) + digit(23)};
    return true;
}

// The numeric slots a window is read for: milliseconds and four channels.
inline constexpr int window_slots = 5;

// Reads integers into values from the window at p as the token scan would:
// white space, an optional sign, digits. Stops early at a number that may go
// on past the window or has more than eight digits, which the token scan
// then takes over. Gives the number of values read, and `after`, the bytes
// from p to the end of the last of them; or window_slots + 1 when the text
// of the next slot is not a number, where the scan ends. Values not read
// keep theirs. Reads record_line::scan_reach bytes at p. (Byte classes of a
// whole window instead of a loop per byte; benchmark
// "parse/window_numbers".)
template <class level>
int read_window_numbers(const char* p, std::int32_t (&values)[window_slots], unsigned& after)
{
    static_assert(record_line::scan_reach >= window_classes::size + sizeof(std::uint64_t));
    const window_classes classes = level::classify(p);
    unsigned at = 0;
#pragma GCC unroll 8
    for (int slot = 0; slot < window_slots; ++slot) {
        // Past the window no byte counts as space or digit, so start and
        // first stay at most window_classes::size.
        const auto start = at + static_cast<unsigned>(std::countr_zero(~classes.space >> at));
        const unsigned first = start + static_cast<unsigned>(classes.sign >> start & 1);
        const auto run = static_cast<unsigned>(std::countr_zero(~classes.digit >> first));
        if (first + run >= window_classes::size || run > 8) {
            after = at;
            return slot;
        }
        if (run == 0) {
            return window_slots + 1;
        }
        // The digits moved to the top, so that the bytes shifted in count as
        // leading zeros. One way for every length: a branch on the length
        // would be mispredicted wherever lengths vary.
        const auto magnitude = static_cast<std::uint32_t>(
            words::eight_digit_value(words::load_64(p + first) << (64 - 8 * run)));
        const std::uint32_t flip = 0u - static_cast<std::uint32_t>(classes.minus >> start & 1);
        values[slot] = static_cast<std::int32_t>((magnitude ^ flip) - flip);
        at = first + run;
    }
    after = at;
    return window_slots;
}
