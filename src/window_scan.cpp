#include "window_scan.hpp"

#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr unsigned window_size = 32;
constexpr std::uint64_t ones = 0x0101010101010101u;
constexpr std::uint64_t high_bits = 0x8080808080808080u;

// The value of eight digit characters, the first in the lowest byte; zero
// bytes count as leading zeros. Each step joins neighbouring lanes: digits
// into pairs, pairs into fours, fours into the whole.
std::uint64_t eight_digit_value(std::uint64_t word)
{
    word &= 0x0F0F0F0F0F0F0F0Fu;
    word = (word * (10 * 256 + 1)) >> 8 & 0x00FF00FF00FF00FFu;
    word = (word * (100 * 65536 + 1)) >> 16 & 0x0000FFFF0000FFFFu;
    return (word * (10000 * 4294967296u + 1)) >> 32;
}

// The value of four digit characters, the first in the lowest byte.
std::uint32_t four_digit_value(std::uint32_t word)
{
    word &= 0x0F0F0F0Fu;
    word = (word * (10 * 256 + 1)) >> 8 & 0x00FF00FFu;
    return (word * (100 * 65536 + 1)) >> 16;
}

std::uint32_t load_quarter(const char* p)
{
    std::uint32_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

std::uint64_t load_word(const char* p)
{
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;  // first character in the lowest byte (x86-64 is little-endian)
}

// The top bit of each byte that is not a decimal digit.
std::uint64_t non_digits(std::uint64_t word)
{
    // Digits become 0 to 9; per byte and with no carry between bytes, adding
    // 0x76 sets the top bit of anything from 10 up.
    const std::uint64_t x = word ^ ('0' * ones);
    return (((x & ~high_bits) + 0x76 * ones) | x) & high_bits;
}

// The top bit of each byte above ' ': no white space, no NUL.
std::uint64_t above_space(std::uint64_t word)
{
    return (((word & ~high_bits) + 0x5F * ones) | word) & high_bits;
}

}  // namespace

#if defined(__SSE2__)
byte_classes classify_window(const char* p)
{
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    const auto mask = [&](auto test) {
        return std::uint32_t{static_cast<std::uint16_t>(_mm_movemask_epi8(test(low)))} |
               std::uint32_t{static_cast<std::uint16_t>(_mm_movemask_epi8(test(high)))} << 16;
    };
    const auto equal = [](char c) {
        return [c](__m128i v) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); };
    };
    // Unsigned b - first < count, as a signed comparison after moving 0 to -128.
    const auto within = [](char first, char count) {
        return [first, count](__m128i v) {
            const __m128i moved = _mm_add_epi8(v, _mm_set1_epi8(static_cast<char>(0x80 - first)));
            return _mm_cmplt_epi8(moved, _mm_set1_epi8(static_cast<char>(count - 0x80)));
        };
    };
    const std::uint32_t minus = mask(equal('-'));
    return {mask(within('\t', 5)) | mask(equal(' ')), minus | mask(equal('+')), minus,
            mask(within('0', 10))};
}
#else
byte_classes classify_window(const char* p)
{
    byte_classes classes{};
    for (unsigned i = 0; i < window_size; ++i) {
        const char c = p[i];
        const std::uint32_t bit = std::uint32_t{1} << i;
        classes.space |= c == ' ' || (c >= '\t' && c <= '\r') ? bit : 0;
        classes.sign |= c == '-' || c == '+' ? bit : 0;
        classes.minus |= c == '-' ? bit : 0;
        classes.digit |= c >= '0' && c <= '9' ? bit : 0;
    }
    return classes;
}
#endif

bool scan_common_date(const char* p, stamped_record& record)
{
    constexpr std::uint64_t space = ' ' * ones;
    const std::uint64_t w0 = load_word(p);
    const std::uint64_t w1 = load_word(p + 8);
    const std::uint64_t w2 = load_word(p + 16);
    // Bytes 3, 7, 10 and 19 are spaces; 8-9 and 20-23 digits; the rest above ' '.
    const bool fits =
        (w0 & 0xFF000000FF000000u) == (space & 0xFF000000FF000000u) &&
        (w1 & 0xFF0000u) == (space & 0xFF0000u) && (w2 & 0xFF000000u) == (space & 0xFF000000u) &&
        (above_space(w0) & 0x0080808000808080u) == 0x0080808000808080u &&
        (above_space(w1) & 0x8080808080000000u) == 0x8080808080000000u &&
        (above_space(w2) & 0x808080u) == 0x808080u && (non_digits(w1) & 0x8080u) == 0 &&
        (non_digits(w2) >> 32) == 0 && (p[24] < '0' || p[24] > '9');
    if (!fits) {
        return false;
    }
    const auto digit = [p](int i) { return static_cast<std::int32_t>(p[i] - '0'); };
    std::memcpy(record.weekday_token, p, 3);
    record.weekday_token[3] = '\0';
    std::memcpy(record.month_token, p + 4, 3);
    record.month_token[3] = '\0';
    record.day = 10 * digit(8) + digit(9);
    std::memcpy(record.time_token, p + 11, 8);
    record.time_token[8] = '\0';
    record.year = 1000 * digit(20) + 100 * digit(21) + 10 * digit(22) + digit(23);
    return true;
}

int scan_integers_in_window(const char* window, const byte_classes& classes, unsigned& at,
                            std::int32_t* const slots[], int count)
{
#pragma GCC unroll 8
    for (int slot = 0; slot < count; ++slot) {
        // As the token-by-token scan: white space, an optional sign, digits.
        // Past the window no byte counts as space or digit, so start and
        // first stay at most window_size.
        const unsigned start = at + static_cast<unsigned>(std::countr_zero(~classes.space >> at));
        const unsigned first = start + static_cast<unsigned>(classes.sign >> start & 1);
        const auto run = static_cast<unsigned>(std::countr_zero(~classes.digit >> first));
        if (first + run >= window_size || run > 8) {
            return slot;  // the digits may go on past the window
        }
        if (run == 0) {
            return count + 1;
        }
        // The bytes from the first digit, the digits moved to the top so that
        // the bytes shifted in count as leading zeros. Most numbers in a log
        // have at most four digits and take the shorter way.
        const std::uint32_t magnitude =
            run <= 4 ? four_digit_value(load_quarter(window + first) << (32 - 8 * run))
                     : static_cast<std::uint32_t>(
                           eight_digit_value(load_word(window + first) << (64 - 8 * run)));
        const std::uint32_t flip = 0u - static_cast<std::uint32_t>(classes.minus >> start & 1);
        *slots[slot] = static_cast<std::int32_t>((magnitude ^ flip) - flip);
        at = first + run;
    }
    return count;
}
