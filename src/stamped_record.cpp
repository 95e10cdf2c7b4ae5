#include "stamped_record.hpp"

#include <cstddef>

namespace {

using byte_class::is_digit;
using byte_class::is_space;

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
    if (byte_class::is_sign(*p)) {
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

const char* scan_slot(const char* p, int slot, stamped_record& r)
{
    switch (slot) {
        case 0: return scan_text(p, r.weekday_token);
        case 1: return scan_text(p, r.month_token);
        case 2: return scan_integer(p, r.day);
        case 3: return scan_text(p, r.time_token);
        case 4: return scan_integer(p, r.year);
        case 5: return scan_integer(p, r.milliseconds);
        case 6: return scan_integer(p, r.channel_1);
        case 7: return scan_integer(p, r.channel_2);
        case 8: return scan_integer(p, r.channel_3);
        default: return scan_integer(p, r.channel_4);
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

namespace stamped_record_detail {

const char* scan_tokens(const char* p, int first, stamped_record& record)
{
    for (int slot = first; slot < slots; ++slot) {
        p = scan_slot(p, slot, record);
        if (p == nullptr) {
            return nullptr;
        }
        if (slot == date_slots - 1) {
            return p;  // the numbers that follow may take the window shortcut
        }
    }
    return p;
}

void derive_fields(stamped_record& record)
{
    record.hour = column_pair(record.time_token, 0);
    record.minute = column_pair(record.time_token, 3);
    record.second = column_pair(record.time_token, 6);
    record.month = month_index(record.month_token);
}

}  // namespace stamped_record_detail

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
