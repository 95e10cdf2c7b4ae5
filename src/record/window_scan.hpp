// The scan of a whole line in one window of bytes: token boundaries from the
// white-space mask, the integer tokens checked as a whole and converted
// together. It either reads the line exactly as the token-by-token scan in
// parse_record.cpp would, or reads nothing and leaves the line to it. It
// gives values; only parse_record.hpp puts them into a record.
#pragma once

#include "data/stage_data.hpp"
#include "simd/byte_class.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

// The fields of a line with all the slots of record_slots, read in one
// window: the tokens of the text slots and the values of the integer slots,
// each kind in line order.
struct window_fields {
    const char* text[count_of(slot_kind::text)];
    unsigned text_length[count_of(slot_kind::text)];
    std::int32_t numbers[count_of(slot_kind::integer)];
};

namespace window_scan_detail {

inline constexpr auto text_slots = slots_of<slot_kind::text>();
inline constexpr auto integer_slots = slots_of<slot_kind::integer>();

// The date is the slots up to the year; the numbers follow it.
inline constexpr int month_slot = slot_of(&stamped_record::month_token);
inline constexpr int day_slot = slot_of(&stamped_record::day);
inline constexpr int time_slot = slot_of(&stamped_record::time_token);
inline constexpr int year_slot = slot_of(&stamped_record::year);
inline constexpr int date_slots = year_slot + 1;
inline constexpr int last_slot = slot_count - 1;
// Only the date has text: the weekday and the month, which lead it, and the
// time.
static_assert(text_slots == std::array{0, month_slot, time_slot} && month_slot == 1);

// Bits 0 to n - 1, for n of 0 to 63.
inline std::uint64_t low_bits(unsigned n)
{
    return (std::uint64_t{1} << n) - 1;
}

// Bits first to last - 1.
inline std::uint64_t bits_between(unsigned first, unsigned last)
{
    return low_bits(last) & ~low_bits(first);
}

// The token bytes of the first 25 bytes of "Www Mmm DD HH:MM:SS YYYY " and
// of "Www Mmm  D HH:MM:SS YYYY ", the usual dates of a log.
inline constexpr unsigned date_shape_length = 25;
inline constexpr std::uint64_t date_shape = 0b0'1111'0'11111111'0'11'0'111'0'111;
inline constexpr std::uint64_t padded_date_shape = date_shape & ~(std::uint64_t{1} << 8);

// The integer slots, and the last of them again in the places of the batch
// that they leave over, which it converts to no purpose.
inline constexpr std::array<int, batch_size> batch_slots = [] {
    static_assert(integer_slots.size() <= batch_size);
    std::array<int, batch_size> slots{};
    for (std::size_t i = 0; i < batch_size; ++i) {
        slots[i] = integer_slots[std::min(i, integer_slots.size() - 1)];
    }
    return slots;
}();

// The tokens of one window of window_classes::size bytes at `base` bytes
// into the line, which holds the line's bytes up to `length` from the base.
struct window {
    window_classes classes;
    std::uint64_t token;        // bytes of tokens
    std::uint64_t first_bytes;  // the first byte of each token
    std::uint64_t signs;        // a '-' that starts a token and precedes a digit
    unsigned base;

    template <class level>
    static window at(const char* line, unsigned base, unsigned length)
    {
        window w{level::classify(line + base), 0, 0, 0, base};
        // A line longer than the window is looked at in its first 63 bytes,
        // and then refused by the caller.
        w.token = ~w.classes.space &
                  low_bits(length < window_classes::size ? length : window_classes::size - 1);
        w.first_bytes = w.token & ~(w.token << 1);
        w.signs = w.classes.minus & w.first_bytes & (w.classes.digit >> 1);
        return w;
    }

    // True when, between first and last, no token byte is a control byte
    // and none but in the allowed bytes is anything but a digit or a sign
    // that starts an integer.
    bool plain(unsigned first, unsigned last, std::uint64_t allowed) const
    {
        const std::uint64_t range = bits_between(first, last);
        const std::uint64_t odd = token & ~classes.digit & ~signs & ~allowed;
        return ((odd | (classes.control & token)) & range) == 0;
    }
};

// Where each slot's token starts and where the white space after it does,
// in line positions.
struct token_positions {
    unsigned start[slot_count];
    unsigned end[slot_count];
};

// The starts and ends of slots first to last - 1, from a window whose
// tokens before the first slot's have been cleared away.
inline void take_tokens(const window& w, std::uint64_t starts, int first, int last,
                        token_positions& at)
{
    std::uint64_t ends =
        ~w.token & (w.token << 1) & ~low_bits(static_cast<unsigned>(std::countr_zero(starts)));
#pragma GCC unroll 10
    for (int slot = first; slot < last; ++slot) {
        at.start[slot] = w.base + static_cast<unsigned>(std::countr_zero(starts));
        at.end[slot] = w.base + static_cast<unsigned>(std::countr_zero(ends));
        starts &= starts - 1;
        ends &= ends - 1;
    }
}

// The slots of a date of one of the two usual shapes, padded when the day
// has one digit.
inline token_positions usual_date(bool padded)
{
    token_positions at{{0, 4, 8, 11, 20}, {3, 7, 10, 19, 24}};
    static_assert(date_slots == 5);
    at.start[day_slot] += padded ? 1 : 0;
    return at;
}

// The slots of a date of any other shape, searched for. False when the
// year may run on past the window.
inline bool take_date(const window& head, token_positions& at)
{
    if (std::popcount(head.first_bytes) < date_slots + 1) {
        return false;
    }
    take_tokens(head, head.first_bytes, 0, date_slots, at);
    return true;
}

// The text and integer fields from the tokens' positions; false when a text
// is longer than its field or an integer has more than sixteen digits.
template <class level>
bool take_fields(const char* p, const window& head, const window& numbers,
                 const token_positions& at, window_fields& fields)
{
    bool fits = true;
    for (std::size_t i = 0; i < text_slots.size(); ++i) {
        const auto slot = static_cast<std::size_t>(text_slots[i]);
        fields.text[i] = p + at.start[slot];
        fields.text_length[i] = at.end[slot] - at.start[slot];
        fits = fits & (fields.text_length[i] <= slot_rooms[slot]);
    }
    // The signs by position in the line: the date's from the first window,
    // the numbers' from theirs.
    const unsigned base = numbers.base;
    batch_tokens integers{{},
                          {},
                          {(head.signs & low_bits(base)) | numbers.signs << base,
                           base == 0 ? 0 : numbers.signs >> (64 - base)}};
#pragma GCC unroll 8
    for (unsigned i = 0; i < batch_size; ++i) {
        integers.starts[i] = at.start[batch_slots[i]];
        integers.ends[i] = at.end[batch_slots[i]];
    }
    std::int64_t values[batch_size];
    fits = level::integer_values(p, integers, values) && fits;
#pragma GCC unroll 7
    for (std::size_t i = 0; i < integer_slots.size(); ++i) {
        fields.numbers[i] = static_cast<std::int32_t>(values[i]);
    }
    return fits;
}

// The rest of read_window_fields, once the date's slots are in `at`.
template <class level>
unsigned read_after_date(const char* p, unsigned line_length, const window& head,
                         token_positions at, window_fields& fields)
{
    constexpr unsigned size = window_classes::size;
    const bool date_fits = head.plain(
        0, at.end[year_slot],
        bits_between(0, at.end[month_slot]) | bits_between(at.start[time_slot], at.end[time_slot]));
    // The numbers, from the same window when the line ends in it, else from
    // a window that starts at the end of the year.
    const window numbers = line_length < size ? head
                                              : window::at<level>(p, at.end[year_slot],
                                                                  line_length - at.end[year_slot]);
    const std::uint64_t later = numbers.first_bytes & ~low_bits(at.end[year_slot] - numbers.base);
    const auto tokens = static_cast<unsigned>(date_slots + std::popcount(later));
    if (tokens < slot_count || line_length - numbers.base >= size) {
        return 0;
    }
    take_tokens(numbers, later, date_slots, slot_count, at);
    const bool numbers_fit =
        numbers.plain(at.start[date_slots] - numbers.base, at.end[last_slot] - numbers.base, 0);
    return take_fields<level>(p, head, numbers, at, fields) && date_fits && numbers_fit ? tokens
                                                                                        : 0;
}

}  // namespace window_scan_detail

// For a line of length bytes at p whose date lies in the window at its
// start and whose numbers lie in the same or the next window, with at least
// ten tokens, at most sixteen digits in each integer, no sign but '-' and no
// control byte in a token: fills fields and gives the count of its tokens;
// gives 0 for any other line. Reads one or two windows, the sixteen bytes before each
// integer's end and sixteen after each text token's start. (One window and
// one conversion for all the integers instead of a scan per token;
// benchmark "parse/window/<TARGET>" against "parse/token_by_token".)
template <class level>
unsigned read_window_fields(const char* p, std::size_t length, window_fields& fields)
{
    using namespace window_scan_detail;
    if (length >= std::size_t{2} * window_classes::size) {
        return 0;
    }
    const auto line_length = static_cast<unsigned>(length);
    const window head = window::at<level>(p, 0, line_length);
    // Most lines start with a date of a usual shape, whose tokens need no
    // search; each shape has its own copy of what follows, with the
    // positions of its date as constants.
    const std::uint64_t date = head.token & low_bits(date_shape_length);
    if (date == date_shape) {
        return read_after_date<level>(p, line_length, head, usual_date(false), fields);
    }
    if (date == padded_date_shape) {
        return read_after_date<level>(p, line_length, head, usual_date(true), fields);
    }
    token_positions at;
    return take_date(head, at) ? read_after_date<level>(p, line_length, head, at, fields) : 0;
}
