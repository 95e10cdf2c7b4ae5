// The scan of a whole line in one window of bytes: token boundaries from the
// white-space mask, the integer tokens checked as a whole and converted
// together. It either reads the line exactly as the token-by-token scan in
// stamped_record.cpp would, or reads nothing and leaves the line to it. It
// gives values; only stamped_record.hpp puts them into a record.
#pragma once

#include "line_reader.hpp"
#include "simd/byte_class.hpp"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <utility>

// The fields of a line with all ten slots, read in one window: weekday,
// month, day, time, year, milliseconds and four channels.
struct window_fields {
    static constexpr int slots = 10;
    const char* text[3];  // weekday, month and time
    unsigned text_length[3];
    std::int32_t numbers[7];  // day, year, milliseconds and the channels
};

namespace window_scan_detail {

// Bits 0 to n - 1, for n of 0 to 63.
inline std::uint64_t low_bits(unsigned n)
{
    return (std::uint64_t{1} << n) - 1;
}

// Where each slot's token goes: its kind and its index among its kind.
inline constexpr bool is_text_slot[window_fields::slots] = {true,  true,  false, true,  false,
                                                            false, false, false, false, false};
inline constexpr int kind_index[window_fields::slots] = {0, 1, 0, 2, 1, 2, 3, 4, 5, 6};
inline constexpr unsigned text_room[3] = {7, 7, 15};  // the fields' sizes less the terminator

// What the tokens of one line have shown so far.
struct token_walk {
    std::uint64_t starts;  // the first byte of each token not yet taken
    std::uint64_t ends;    // the byte after each
    std::uint64_t minus;
    std::uint64_t integer_bytes;  // the bytes after any sign of the integer tokens
    std::uint64_t negative;       // bit i: integer i has a minus sign
    unsigned run_ends[batch_size];
    unsigned digits[batch_size];
    bool fits;
};

template <int slot>
void take_token(const char* p, token_walk& w, window_fields& fields)
{
    const auto start = static_cast<unsigned>(std::countr_zero(w.starts));
    const auto end = static_cast<unsigned>(std::countr_zero(w.ends));
    w.starts &= w.starts - 1;
    w.ends &= w.ends - 1;
    constexpr int index = kind_index[slot];
    if constexpr (is_text_slot[slot]) {
        fields.text[index] = p + start;
        fields.text_length[index] = end - start;
        w.fits = w.fits && end - start <= text_room[index];
    } else {
        const unsigned sign = static_cast<unsigned>(w.minus >> start) & 1;
        w.negative |= std::uint64_t{sign} << index;
        w.integer_bytes |= low_bits(end) & ~low_bits(start + sign);
        w.run_ends[index] = end;
        w.digits[index] = end - start - sign;
        w.fits = w.fits && w.digits[index] - 1 < max_batch_digits;  // also refuses a lone sign
    }
}

}  // namespace window_scan_detail

// For a line of length bytes at p that the window covers, with at least ten
// tokens, at most max_batch_digits digits in each integer, no sign but '-'
// and no control byte in a token: fills fields and gives true; gives false
// for any other line. Reads window_classes::size bytes at p, and eight
// before each integer's end. (One window and one conversion for all the
// integers instead of a scan per token; benchmark "parse/window" against
// "parse/token_by_token".)
template <class level>
bool read_window_fields(const char* p, std::size_t length, window_fields& fields)
{
    using namespace window_scan_detail;
    if (length >= window_classes::size) {
        return false;  // the last token might run on past the window
    }
    const window_classes c = level::classify(p);
    const std::uint64_t token = ~(c.space | ~low_bits(static_cast<unsigned>(length)));
    token_walk w{
        token & ~(token << 1),    ~token & (token << 1),   c.minus, 0, 0, {8, 8, 8, 8, 8, 8, 8, 8},
        {1, 1, 1, 1, 1, 1, 1, 1}, (c.control & token) == 0};
    if (std::popcount(w.starts) < window_fields::slots) {
        return false;
    }
    [&]<std::size_t... slot>(std::index_sequence<slot...>)
    {
        (take_token<slot>(p, w, fields), ...);
    }
    (std::make_index_sequence<window_fields::slots>{});
    if (!w.fits || (w.integer_bytes & ~c.digit) != 0) {
        return false;
    }
    std::uint32_t magnitudes[batch_size];
    level::digit_values(p, w.run_ends, w.digits, magnitudes);
#pragma GCC unroll 8
    for (int i = 0; i < 7; ++i) {
        const std::uint32_t flip = 0u - static_cast<std::uint32_t>(w.negative >> i & 1);
        fields.numbers[i] = static_cast<std::int32_t>((magnitudes[i] ^ flip) - flip);
    }
    return true;
}
