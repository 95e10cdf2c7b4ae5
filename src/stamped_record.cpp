#include "stamped_record.hpp"

#include <cstddef>

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
    constexpr std::uint64_t min_magnitude = std::uint64_t{1} << 31;
    std::uint64_t magnitude = 0;
    for (; is_digit(*p); ++p) {
        magnitude = magnitude * 10 + static_cast<std::uint64_t>(*p - '0');
        if (magnitude > min_magnitude) {
            magnitude = min_magnitude + 1;  // saturated; stays small
        }
    }
    if (negative) {
        value = magnitude >= min_magnitude ? INT32_MIN
                                           : -static_cast<std::int32_t>(magnitude);
    } else {
        value = magnitude >= min_magnitude ? INT32_MAX
                                           : static_cast<std::int32_t>(magnitude);
    }
    return p;
}

// Fills the slots in order and stops at the first one the text does not fit.
void scan_fields(const char* p, stamped_record& record)
{
    if ((p = scan_text(p, record.weekday_token)) == nullptr ||
        (p = scan_text(p, record.month_token)) == nullptr ||
        (p = scan_integer(p, record.day)) == nullptr ||
        (p = scan_text(p, record.time_token)) == nullptr) {
        return;
    }
    std::int32_t* const numbers[] = {
        &record.year,      &record.milliseconds, &record.channel_1,
        &record.channel_2, &record.channel_3,    &record.channel_4,
    };
    for (std::int32_t* number : numbers) {
        if ((p = scan_integer(p, *number)) == nullptr) {
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
    static constexpr char names[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    const char* t = month_token;
    for (std::int32_t month = 0; month < 12; ++month) {
        const char* name = names + 3 * month;
        if (t[0] == name[0] && t[1] == name[1] && t[2] == name[2]) {
            return month;
        }
    }
    return 8;
}

void parse_record(const char* line, stamped_record& record)
{
    scan_fields(line, record);
    record.hour = column_pair(record.time_token, 0);
    record.minute = column_pair(record.time_token, 3);
    record.second = column_pair(record.time_token, 6);
    record.month = month_index(record.month_token);
}
