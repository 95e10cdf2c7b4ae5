#include "record/parse_record.hpp"

#include "simd/byte_class.hpp"

#include <array>
#include <cstddef>
#include <tuple>

namespace {

using byte_class::is_digit;
using byte_class::is_space;

// The text from p to end, or to a NUL before it: what the scan sees.
struct text_view {
    const char* p;
    const char* end;
    char peek() const { return p < end ? *p : '\0'; }
};

void skip_space(text_view& t)
{
    while (is_space(t.peek())) {
        ++t.p;
    }
}

// Reads a run of non-white-space characters into a text field that keeps
// `room` of them and the terminator. What does not fit is skipped, so the
// next token is found where it would be had the token fitted. Only the
// token and its terminator are written; the field's bytes after the
// terminator keep their old values. False when the text ends before a token
// starts.
bool scan_text(text_view& t, char* field, std::size_t room)
{
    skip_space(t);
    if (t.peek() == '\0') {
        return false;
    }
    std::size_t length = 0;
    for (; t.peek() != '\0' && !is_space(t.peek()); ++t.p) {
        if (length < room) {
            field[length++] = *t.p;
        }
    }
    field[length] = '\0';
    return true;
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
// False, leaving the value alone, when no digit follows the sign.
bool scan_integer(text_view& t, std::int32_t& value)
{
    skip_space(t);
    const bool negative = t.peek() == '-';
    if (byte_class::is_sign(t.peek())) {
        ++t.p;
    }
    if (!is_digit(t.peek())) {
        return false;
    }
    constexpr std::uint64_t saturated = std::uint64_t{1} << 32;
    std::uint64_t magnitude = 0;
    for (; is_digit(t.peek()); ++t.p) {
        magnitude = magnitude * 10 + static_cast<std::uint64_t>(*t.p - '0');
        magnitude = magnitude < saturated ? magnitude : saturated;  // stays small
    }
    value = saturate(negative, magnitude);
    return true;
}

template <std::size_t size>
bool scan_slot(text_view& t, const record_slot<char[size]>& slot, stamped_record& r)
{
    return scan_text(t, r.*slot.member, slot.room);
}

bool scan_slot(text_view& t, const record_slot<std::int32_t>& slot, stamped_record& r)
{
    return scan_integer(t, r.*slot.member);
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

namespace parse_record_detail {

// Kept out of the loops, which inline all else: the scan of a line of an
// unusual shape.
[[gnu::noinline]] void scan_tokens(const char* p, const char* end, stamped_record& record)
{
    text_view text{p, end};
    // Slot after slot, up to the first that the text does not fill.
    std::apply([&](const auto&... slot) { (scan_slot(text, slot, record) && ...); }, record_slots);
}

void derive_fields(stamped_record& record)
{
    record.hour = column_pair(record.time_token, 0);
    record.minute = column_pair(record.time_token, 3);
    record.second = column_pair(record.time_token, 6);
    record.month = month_index(record.month_token);
}

}  // namespace parse_record_detail

void parse_record_by_tokens(const record_line& line, stamped_record& record)
{
    parse_record_detail::scan_tokens(line.text, line.text + line.length, record);
    parse_record_detail::derive_fields(record);
}

namespace {

// The month names hashed into sixteen slots: the multiplier and shift below
// give each of the twelve a slot of its own (found by trying them), so one
// comparison decides. A token of fewer than three characters matches no
// name, since every name has three.
constexpr std::uint32_t pack_name(char a, char b, char c)
{
    return static_cast<std::uint32_t>(static_cast<unsigned char>(a)) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 16;
}

constexpr std::uint32_t name_slot(std::uint32_t name)
{
    return (name * 61u) >> 15 & 15;
}

struct month_entry {
    std::uint32_t name;
    std::int32_t month;
};

constexpr std::array<month_entry, 16> month_slots = [] {
    const char* const names[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::array<month_entry, 16> slots{};
    for (month_entry& e : slots) {
        e = {0, 8};
    }
    for (std::int32_t month = 0; month < 12; ++month) {
        const std::uint32_t name = pack_name(names[month][0], names[month][1], names[month][2]);
        slots[name_slot(name)] = {name, month};
    }
    return slots;
}();

}  // namespace

std::int32_t month_index(const char* month_token)
{
    // The token may be shorter than three characters; nothing past its
    // terminator is read.
    if (month_token[0] == '\0' || month_token[1] == '\0') {
        return 8;
    }
    const std::uint32_t name = pack_name(month_token[0], month_token[1], month_token[2]);
    const month_entry& e = month_slots[name_slot(name)];
    return e.name == name ? e.month : 8;
}
