// The classes of bytes the scanner tells apart, defined once here. Each
// vector level computes the same classes for a window of bytes at a time,
// and its results must equal these predicates applied byte by byte.
#pragma once

#include <cstdint>

namespace byte_class {

// White space as the C locale has it: space, and the run \t \n \v \f \r.
inline constexpr char space = ' ';
inline constexpr char space_run_first = '\t';
inline constexpr char space_run_last = '\r';

constexpr bool is_space(char c)
{
    return c == space || (c >= space_run_first && c <= space_run_last);
}

constexpr bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

constexpr bool is_sign(char c)
{
    return c == '-' || c == '+';
}

// NUL, the other control characters and the space: the bytes up to ' '.
// Within a token only a NUL matters (it ends the text the scan sees), but
// the window scan leaves every token with any of them to the token scan.
constexpr bool is_control(char c)
{
    return static_cast<unsigned char>(c) <= static_cast<unsigned char>(space);
}

}  // namespace byte_class

// Bit i of each mask tells the class of byte i of a window of
// window_classes::size bytes.
struct window_classes {
    static constexpr unsigned size = 64;
    std::uint64_t space;    // byte_class::is_space
    std::uint64_t control;  // byte_class::is_control
    std::uint64_t digit;    // byte_class::is_digit
    std::uint64_t minus;    // '-'
};

// The number of bytes a level's newline search looks at in one step.
inline constexpr unsigned newline_block = 64;

// The integer tokens that a level converts at once: token i starts at
// starts[i] (below 128) and ends just before ends[i], bytes from a given
// position; it is negative when `signs` has the bit of its start (bits 0 to
// 63 in signs[0], 64 to 127 in signs[1]). Every byte of a token after its
// sign is a digit; the level converts those with one to max_batch_digits.
inline constexpr unsigned max_batch_digits = 8;
inline constexpr unsigned batch_size = 8;
struct batch_tokens {
    unsigned starts[batch_size];
    unsigned ends[batch_size];
    std::uint64_t signs[2];
};

// The values a level turns into decimal digits at once, each below 10^8,
// passed one by one so that they go into a vector from registers: digits[i]
// holds the eight digits of the i-th, one a byte (0 to 9, not yet
// characters), the most significant first in text order.
inline constexpr unsigned digit_batch = 6;
inline constexpr std::uint32_t digit_batch_limit = 100000000;
