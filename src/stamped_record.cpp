#include "stamped_record.hpp"

#include "window_scan.hpp"

#include <cstddef>
#include <iterator>

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

std::int32_t saturate(bool negative, std::uint64_t magnitude)
{
    constexpr std::uint64_t min_magnitude = std::uint64_t{1} << 31;
    if (magnitude >= min_magnitude) {
        return negative ? INT32_MIN : INT32_MAX;
    }
    const auto small = static_cast<std::int32_t>(magnitude);
    return negative ? -small : small;
}

// Reads an optional sign and at least one decimal digit; the number ends at
// the first other character. A value beyond the 32-bit range saturates.
// Gives nullptr, and leaves the value alone, when no digit follows the sign.
const char* scan_integer(const char* p, std::int32_t& value)
{
    p = skip_space(p);
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') {
        ++p;
    }
    if (!is_digit(*p)) {
        return nullptr;
    }
    constexpr std::uint64_t saturated = std::uint64_t{1} << 32;
    std::uint64_t magnitude = 0;
    for (; is_digit(*p); ++p) {
        magnitude = magnitude * 10 + static_cast<std::uint64_t>(*p - '0');
        magnitude = magnitude < saturated ? magnitude : saturated;  // stays small
    }
    value = saturate(negative, magnitude);
    return p;
}

// The first five slots one token at a time; false where the scan ends.
bool scan_date(const char*& p, stamped_record& record)
{
    return (p = scan_text(p, record.weekday_token)) != nullptr &&
           (p = scan_text(p, record.month_token)) != nullptr &&
           (p = scan_integer(p, record.day)) != nullptr &&
           (p = scan_text(p, record.time_token)) != nullptr &&
           (p = scan_integer(p, record.year)) != nullptr;
}

// Fills the slots in order and stops at the first one the text does not fit.
// Most lines go through the shortcuts, which see many bytes at once; whatever
// they leave is scanned one token at a time.
void scan_fields(const char* p, stamped_record& record)
{
    if (scan_common_date(p, record)) {
        p += 24;
    } else if (!scan_date(p, record)) {
        return;
    }
    const byte_classes classes = classify_window(p);
    unsigned at = 0;
    std::int32_t* const numbers[] = {
        &record.milliseconds, &record.channel_1, &record.channel_2,
        &record.channel_3,    &record.channel_4,
    };
    constexpr int count = std::size(numbers);
    int slot = scan_integers_in_window(p, classes, at, numbers, count);
    for (p += at; slot < count; ++slot) {
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
