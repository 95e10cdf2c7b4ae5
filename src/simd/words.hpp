// Word loads and stores of text, and the word-at-a-time (SWAR) digit split
// of the plain formatter: eight bytes of text in one 64-bit integer, the
// first character in the lowest byte.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace words {

// The text order is the arithmetic order only on a little-endian machine;
// elsewhere the bytes are swapped into it.
template <class word>
word in_text_order(word w)
{
    if constexpr (std::endian::native == std::endian::big) {
        if constexpr (sizeof w == 8) {
            return __builtin_bswap64(w);
        } else {
            return __builtin_bswap32(w);
        }
    }
    return w;
}

template <class word>
word load(const char* p)
{
    word w;
    std::memcpy(&w, p, sizeof w);
    return in_text_order(w);
}

inline std::uint64_t load_64(const char* p)
{
    return load<std::uint64_t>(p);
}

inline std::uint32_t load_32(const char* p)
{
    return load<std::uint32_t>(p);
}

// Stores the low bytes of word at p in text order.
template <class word>
void store(char* p, word w)
{
    w = in_text_order(w);
    std::memcpy(p, &w, sizeof w);
}

inline void store_64(char* p, std::uint64_t word)
{
    store(p, word);
}

inline void store_32(char* p, std::uint32_t word)
{
    store(p, word);
}

// The eight decimal digits of a value below 10^8 as one word, one digit per
// byte, the most significant first in text order. Each step splits every
// lane of the word in two at once: 4+4 digits, then 2+2, then 1+1; the
// quotients by multiplication are exact for lane values this small. (The
// SWAR digit split, as in Paul Khuong's and Daniel Lemire's notes on
// integer to string; benchmark "format/line/<TARGET>" against "format/printf".)
inline std::uint64_t eight_digits(std::uint32_t value)
{
    const std::uint64_t high = (std::uint64_t{value} * 109951163) >> 40;  // value / 10000
    std::uint64_t x = high | (value - high * 10000) << 32;
    const std::uint64_t hundreds = (x * 5243) >> 19 & 0x0000007F0000007Fu;
    x = hundreds | (x - hundreds * 100) << 16;
    const std::uint64_t tens = (x * 103) >> 10 & 0x000F000F000F000Fu;
    return tens | (x - tens * 10) << 8;
}

}  // namespace words
