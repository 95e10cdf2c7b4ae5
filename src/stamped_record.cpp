#include "stamped_record.hpp"

#include <bit>
#include <cstddef>
#include <cstring>
#include <iterator>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// White space as the C locale defines it: space, \t, \n, \v, \f and \r.
constexpr bool is_space(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

constexpr bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

const char* skip_space(const char* p)
{
    while (is_space(*p)) {
        ++p;
    }
    return p;
}

// Reads a run of non-white-space characters into a text field. What does not
// fit is skipped, so the next token is found where it would be had the token
// fitted. Only the token and its terminator are written; the field's bytes
// after the terminator keep their old values. Gives nullptr when the text
// ends before a token starts.
template <std::size_t size>
const char* scan_text(const char* p, char (&field)[size])
{
    p = skip_space(p);
    if (*p == '\0') {
        return nullptr;
    }
    std::size_t length = 0;
    for (; *p != '\0' && !is_space(*p); ++p) {
        if (length < size - 1) {
            field[length++] = *p;
        }
    }
    field[length] = '\0';
    return p;
}

constexpr std::uint64_t ones = 0x0101010101010101u;
constexpr std::uint64_t high_bits = 0x8080808080808080u;

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

// The value of eight digit characters, the first in the lowest byte; NUL
// bytes count as leading zeros.
std::uint64_t eight_digit_value(std::uint64_t word)
{
    word &= 0x0F0F0F0F0F0F0F0Fu;
    word = (word * (10 * 256 + 1)) >> 8 & 0x00FF00FF00FF00FFu;
    word = (word * (100 * 65536 + 1)) >> 16 & 0x0000FFFF0000FFFFu;
    return (word * (10000 * 4294967296u + 1)) >> 32;
}

std::int32_t saturate(bool negative, std::uint64_t magnitude)
{
    constexpr std::uint64_t min_magnitude = std::uint64_t{1} << 31;
    if (magnitude >= min_magnitude) {
        return negative ? INT32_MIN : INT32_MAX;
    }
    const auto small = static_cast<std::int32_t>(magnitude);
    return negative ? -small : small;
}

// A number of eight digits or more, one digit at a time.
const char* scan_long_integer(const char* p, bool negative, std::int32_t& value)
{
    std::uint64_t magnitude = 0;
    for (; is_digit(*p); ++p) {
        magnitude = magnitude * 10 + static_cast<std::uint64_t>(*p - '0');
        if (magnitude > std::uint64_t{1} << 32) {
            magnitude = std::uint64_t{1} << 32;  // saturated; stays small
        }
    }
    value = saturate(negative, magnitude);
    return p;
}

// Reads an optional sign and at least one decimal digit; the number ends at
// the first other character. A value beyond the 32-bit range saturates.
// Gives nullptr, and leaves the value alone, when no digit follows the sign.
// Reads eight bytes past the sign at once: a record_line has room for that.
const char* scan_integer(const char* p, std::int32_t& value)
{
    p = skip_space(p);
    const bool negative = *p == '-';
    p += (*p == '-' || *p == '+') ? 1 : 0;
    const std::uint64_t word = load_word(p);
    const auto run = static_cast<unsigned>(std::countr_zero(non_digits(word))) / 8;
    if (run == 0) {
        return nullptr;
    }
    if (run == 8) {
        return scan_long_integer(p, negative, value);
    }
    value = saturate(negative, eight_digit_value(word << (64 - 8 * run)));
    return p + run;
}

// Most lines start "Www Mmm DD HH:MM:SS YYYY": three-character weekday and
// month, two-digit day, eight-character time and four-digit year, each after
// one space. For such a line this fills the first five slots exactly as the
// token-by-token scan would, from three word loads, and gives the position
// after the year; for any other line it changes nothing and gives nullptr.
const char* scan_common_date(const char* p, stamped_record& record)
{
    constexpr std::uint64_t space = ' ' * ones;
    const std::uint64_t w0 = load_word(p);
    const std::uint64_t w1 = load_word(p + 8);
    const std::uint64_t w2 = load_word(p + 16);
    // Bytes 3, 7, 10 and 19 are spaces; 8-9 and 20-23 digits; the rest above ' '.
    const bool fits = (w0 & 0xFF000000FF000000u) == (space & 0xFF000000FF000000u) &&
                      (w1 & 0xFF0000u) == (space & 0xFF0000u) &&
                      (w2 & 0xFF000000u) == (space & 0xFF000000u) &&
                      (above_space(w0) & 0x0080808000808080u) == 0x0080808000808080u &&
                      (above_space(w1) & 0x8080808080000000u) == 0x8080808080000000u &&
                      (above_space(w2) & 0x808080u) == 0x808080u &&
                      (non_digits(w1) & 0x8080u) == 0 && (non_digits(w2) >> 32) == 0 &&
                      !is_digit(p[24]);
    if (!fits) {
        return nullptr;
    }
    std::memcpy(record.weekday_token, p, 3);
    record.weekday_token[3] = '\0';
    std::memcpy(record.month_token, p + 4, 3);
    record.month_token[3] = '\0';
    const auto digit = [p](int i) { return static_cast<std::int32_t>(p[i] - '0'); };
    record.day = 10 * digit(8) + digit(9);
    std::memcpy(record.time_token, p + 11, 8);
    record.time_token[8] = '\0';
    record.year = 1000 * digit(20) + 100 * digit(21) + 10 * digit(22) + digit(23);
    return p + 24;
}

#if defined(__SSE2__)
// Bit i of each mask describes byte i of a 32-byte window; bits 32 and up
// are clear, so runs end at the window's edge.
struct byte_classes {
    std::uint64_t space;
    std::uint64_t sign;
    std::uint64_t minus;
    std::uint64_t digit;
};

byte_classes classify(const char* p)
{
    const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    const auto mask = [&](auto test) {
        return static_cast<std::uint64_t>(static_cast<std::uint32_t>(
            _mm_movemask_epi8(test(first)) | _mm_movemask_epi8(test(second)) << 16));
    };
    const auto equal = [](char c) {
        return [c](__m128i v) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); };
    };
    // Unsigned (b - low) < count, as a signed comparison after moving 0 to -128.
    const auto within = [](char low, char count) {
        return [low, count](__m128i v) {
            const __m128i shifted = _mm_add_epi8(v, _mm_set1_epi8(static_cast<char>(0x80 - low)));
            return _mm_cmplt_epi8(shifted, _mm_set1_epi8(static_cast<char>(count - 0x80)));
        };
    };
    const std::uint64_t minus = mask(equal('-'));
    return {mask(within('\t', 5)) | mask(equal(' ')), minus | mask(equal('+')), minus,
            mask(within('0', 10))};
}

// Fills integer slots the way scan_integer does, but finds every token from
// the classes of a 32-byte window, so that no number waits for the previous
// one to be read. Gives the index of the first slot left to the one-by-one
// scan (count when all are done) and moves p to where that scan goes on; a
// slot that the text does not fit ends the scan with count + 1.
int scan_integers_in_window(const char*& p, std::int32_t* const slots[], int count)
{
    const byte_classes classes = classify(p);
    unsigned at = 0;
#pragma GCC unroll 8
    for (int slot = 0; slot < count; ++slot) {
        const auto start = at + static_cast<unsigned>(std::countr_zero(~classes.space >> at));
        const unsigned first = start + static_cast<unsigned>(classes.sign >> start & 1);
        const auto run = static_cast<unsigned>(std::countr_zero(~classes.digit >> first));
        if (first >= 32 || first + run >= 32 || run > 8) {
            p += at;  // not sure where this number ends: leave it to the slow scan
            return slot;
        }
        if (run == 0) {
            return count + 1;
        }
        const auto magnitude = static_cast<std::uint32_t>(
            eight_digit_value(load_word(p + first) << (64 - 8 * run)));
        const auto flip = static_cast<std::uint32_t>(0 - (classes.minus >> start & 1));
        *slots[slot] = static_cast<std::int32_t>((magnitude ^ flip) - flip);
        at = first + run;
    }
    return count;
}
#else
int scan_integers_in_window(const char*&, std::int32_t* const[], int)
{
    return 0;
}
#endif

// Fills the slots in order and stops at the first one the text does not fit.
void scan_fields(const char* p, stamped_record& record)
{
    if (const char* after_year = scan_common_date(p, record)) {
        p = after_year;
    } else if ((p = scan_text(p, record.weekday_token)) == nullptr ||
               (p = scan_text(p, record.month_token)) == nullptr ||
               (p = scan_integer(p, record.day)) == nullptr ||
               (p = scan_text(p, record.time_token)) == nullptr ||
               (p = scan_integer(p, record.year)) == nullptr) {
        return;
    }
    std::int32_t* const numbers[] = {
        &record.milliseconds, &record.channel_1, &record.channel_2,
        &record.channel_3,    &record.channel_4,
    };
    constexpr int count = std::size(numbers);
    for (int slot = scan_integers_in_window(p, numbers, count); slot < count; ++slot) {
        if ((p = scan_integer(p, *numbers[slot])) == nullptr) {
            return;
        }
    }
}

// Two fixed columns of the time token as a two-digit number. The bytes are
// not checked: each counts as its signed character code minus that of '0'.
std::int32_t column_pair(const char* token, int first)
{
    const auto digit = [](char c) {
        return static_cast<std::int32_t>(static_cast<signed char>(c)) - '0';
    };
    return 10 * digit(token[first]) + digit(token[first + 1]);
}

}  // namespace

std::int32_t month_index(const char* month_token)
{
    const auto* t = reinterpret_cast<const unsigned char*>(month_token);
    if (t[0] == 0 || t[1] == 0) {
        return 8;
    }
    constexpr auto pack = [](unsigned a, unsigned b, unsigned c) { return a | b << 8 | c << 16; };
    switch (pack(t[0], t[1], t[2])) {
    case pack('J', 'a', 'n'): return 0;
    case pack('F', 'e', 'b'): return 1;
    case pack('M', 'a', 'r'): return 2;
    case pack('A', 'p', 'r'): return 3;
    case pack('M', 'a', 'y'): return 4;
    case pack('J', 'u', 'n'): return 5;
    case pack('J', 'u', 'l'): return 6;
    case pack('A', 'u', 'g'): return 7;
    case pack('S', 'e', 'p'): return 8;
    case pack('O', 'c', 't'): return 9;
    case pack('N', 'o', 'v'): return 10;
    case pack('D', 'e', 'c'): return 11;
    default: return 8;
    }
}

void parse_record(const record_line& line, stamped_record& record)
{
    scan_fields(line.text, record);
    record.hour = column_pair(record.time_token, 0);
    record.minute = column_pair(record.time_token, 3);
    record.second = column_pair(record.time_token, 6);
    record.month = month_index(record.month_token);
}
