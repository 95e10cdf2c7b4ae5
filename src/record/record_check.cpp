#include "record/record_check.hpp"

#include "record/parse_record.hpp"
#include "simd/byte_class.hpp"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace {

// What each slot's token must be.
enum class token_rule { any, month_name, integer, time_of_day };

struct slot_rule {
    const char* name;
    token_rule rule;
};

constexpr slot_rule slot_rules[] = {
    {"weekday", token_rule::any},       {"month", token_rule::month_name},
    {"day", token_rule::integer},       {"time", token_rule::time_of_day},
    {"year", token_rule::integer},      {"milliseconds", token_rule::integer},
    {"channel 1", token_rule::integer}, {"channel 2", token_rule::integer},
    {"channel 3", token_rule::integer}, {"channel 4", token_rule::integer}};
static_assert(std::size(slot_rules) == slot_count);

constexpr std::size_t longest_line = record_line::max_length - 1;
constexpr std::size_t shown_of_a_token = 16;

struct token {
    const char* text;
    std::size_t length;
};

bool is_digit(char c)
{
    return byte_class::is_digit(c);
}

bool is_integer(token t)
{
    std::size_t i = t.length > 0 && byte_class::is_sign(t.text[0]) ? 1 : 0;
    if (i == t.length) {
        return false;
    }
    for (; i < t.length; ++i) {
        if (!is_digit(t.text[i])) {
            return false;
        }
    }
    return true;
}

bool is_time_of_day(token t)
{
    const char* c = t.text;
    return t.length == 8 && is_digit(c[0]) && is_digit(c[1]) && is_digit(c[3]) && is_digit(c[4]) &&
           is_digit(c[6]) && is_digit(c[7]);
}

bool is_month_name(token t)
{
    if (t.length < 3) {
        return false;
    }
    const char name[4] = {t.text[0], t.text[1], t.text[2], '\0'};
    return month_index(name) != 8 || std::strcmp(name, "Sep") == 0;
}

bool obeys(token_rule rule, token t)
{
    switch (rule) {
        case token_rule::any: return true;
        case token_rule::month_name: return is_month_name(t);
        case token_rule::integer: return is_integer(t);
        case token_rule::time_of_day: return is_time_of_day(t);
    }
    return false;
}

// Puts the reason into why; gives false, the verdict that goes with it.
// printf's variadic form, so that the compiler checks each format.
// NOLINTNEXTLINE(cert-dcl50-cpp)
[[gnu::format(printf, 2, 3)]] bool give(record_fault& why, const char* format, ...)
{
    std::va_list parts;
    va_start(parts, format);
    static_cast<void>(std::vsnprintf(why.reason, sizeof why.reason, format, parts));
    va_end(parts);
    return false;
}

// Splits the text at white space into at most `room` tokens; gives how many
// there are in all.
std::size_t split(const char* p, const char* end, token* tokens, std::size_t room)
{
    std::size_t count = 0;
    while (p < end) {
        while (p < end && byte_class::is_space(*p)) {
            ++p;
        }
        const char* start = p;
        while (p < end && !byte_class::is_space(*p)) {
            ++p;
        }
        if (p > start) {
            if (count < room) {
                tokens[count] = {start, static_cast<std::size_t>(p - start)};
            }
            ++count;
        }
    }
    return count;
}

}  // namespace

void show_text(const char* text, std::size_t length, std::size_t shown, char* out)
{
    constexpr char hex[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < length && i < shown; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F) {
            *out++ = static_cast<char>(c);
        } else {
            *out++ = '\\';
            *out++ = 'x';
            *out++ = hex[c >> 4];
            *out++ = hex[c & 15];
        }
    }
    const char* rest = length > shown ? "..." : "";
    std::memcpy(out, rest, std::strlen(rest) + 1);
}

bool explain_record(const char* text, std::size_t length, record_fault& why)
{
    const std::size_t content = length > 0 && text[length - 1] == '\n' ? length - 1 : length;
    if (content > longest_line) {
        return give(why, "longer than %zu characters", longest_line);
    }
    if (const void* nul = std::memchr(text, '\0', content)) {
        return give(why, "a NUL byte at column %zu",
                    static_cast<std::size_t>(static_cast<const char*>(nul) - text) + 1);
    }
    token tokens[slot_count];
    const std::size_t count = split(text, text + content, tokens, slot_count);
    if (count == 0) {
        return give(why, "blank line");
    }
    if (count != slot_count) {
        return give(why, count == 1 ? "%zu token" : "%zu tokens", count);
    }
    for (std::size_t slot = 0; slot < slot_count; ++slot) {
        const slot_rule& rule = slot_rules[slot];
        if (!obeys(rule.rule, tokens[slot])) {
            char shown[4 * shown_of_a_token + 4];
            show_text(tokens[slot].text, tokens[slot].length, shown_of_a_token, shown);
            return rule.rule == token_rule::month_name
                       ? give(why, "%s '%s' unknown", rule.name, shown)
                   : rule.rule == token_rule::time_of_day
                       ? give(why, "%s '%s' is not hh?mm?ss", rule.name, shown)
                       : give(why, "%s '%s' is not an integer", rule.name, shown);
        }
    }
    return true;
}

namespace record_check_detail {

// Kept out of the loops, which inline all else: the look at a line that
// may not be a record.
[[gnu::noinline]] piece_verdict tally_slowly(record_tally& tally, const record_line& line)
{
    record_fault& why = tally.fault;
    if (explain_record(line.text, line.length, why)) {
        return piece_verdict::record;
    }
    if (tally.non_records++ == 0) {
        tally.first_non_record = tally.line_number;
        tally.first_fault = why;
    }
    return piece_verdict::not_a_record;
}

}  // namespace record_check_detail
