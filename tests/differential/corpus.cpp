#include "corpus.hpp"

#include <algorithm>
#include <array>
#include <ctime>

namespace {

// clang-format off
const char* const weekday_names[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
// clang-format on
// clang-format off
const char* const month_names[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
// clang-format on
// clang-format off
const char* const odd_months[] = {"Sept", "sep", "SEP", "Ja", "J", "January", "Xyz", "mAY", "Fe", "Nov."};
// clang-format on
// clang-format off
const char* const odd_times[] = {"9:05:00", "12.34.56", "99:99:99", "1:2", "12:34", "23:59:60",
                                 "24:00:00", "-1:-2:-3", "123456789012345678", "::::::::", "T",
                                 "\xff\xfe:\x80\x7f:00", "02:30:00", "01:59:59+01"};
// clang-format on
// clang-format off
const char* const odd_numbers[] = {
    "+", "-", "99999999999999999999999", "-99999999999999999999999", "2147483647", "2147483648",
    "-2147483648", "-2147483649", "1073741824", "-1073741825", "+7", "-0", "007", "0x1A", "12abc",
    "1e3", "--1", "+-1", "01", "0", "32", "-1", "1900", "2038", "1969", "10000", "-5000", "17th"};
// clang-format on
// clang-format off
const char* const separators[] = {" ", "\t", "  ", " \t ", "\v", "\f", "\r", "\t\t"};
// clang-format on
// clang-format off
const char* const odd_lines[] = {"", " ", "\t\r", "\r", "weekday month day time year ms a b c d",
                                 "#", "Mon", "Mon Sep", "Mon Sep 17", "-"};
// clang-format on

using tokens = std::array<std::string, 10>;

tokens record_tokens(const std::tm& t, corpus_rng& rng)
{
    char time[16];
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", t.tm_hour, t.tm_min, t.tm_sec);
    tokens line = {weekday_names[t.tm_wday],           month_names[t.tm_mon],
                   std::to_string(t.tm_mday),          time,
                   std::to_string(t.tm_year + 1900LL), std::to_string(rng.between(0, 999))};
    for (std::size_t i = 6; i < line.size(); ++i) {
        line[i] = std::to_string(rng.chance(4) ? static_cast<std::int32_t>(rng.raw())
                                               : rng.between(-999, 999));
    }
    return line;
}

std::string joined(const tokens& line, std::size_t count, bool odd_separators, corpus_rng& rng)
{
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += i == 0 ? "" : odd_separators ? rng.pick(separators) : " ";
        text += line[i];
    }
    return text;
}

// The record of a local time: an instant's, or one given as seconds of the
// local calendar counted as if they were UTC (a wall time).
std::tm fields_of(std::int64_t seconds, bool wall)
{
    const std::time_t t = seconds;
    std::tm fields{};
    wall ? gmtime_r(&t, &fields) : localtime_r(&t, &fields);
    return fields;
}

void put_record(std::string& out, std::int64_t seconds, bool wall, corpus_rng& rng,
                int blank_percent = 20)
{
    out += joined(record_tokens(fields_of(seconds, wall), rng), 10, false, rng) + '\n';
    if (rng.chance(blank_percent)) out += rng.chance(80) ? "\n" : " \t\r\n";  // repeats the record
}

std::int64_t step_after(corpus_rng& rng)
{
    if (rng.chance(2)) return -rng.between(1, 7200);
    return rng.chance(2) ? rng.between(3600, 90 * 86400) : rng.between(0, 3);
}

void walk(std::string& out, corpus_rng& rng, std::int64_t transition)
{
    const std::int64_t before = fields_of(transition - 1, false).tm_gmtoff;
    const std::int64_t after = fields_of(transition, false).tm_gmtoff;
    // Wall times in [low, high) are skipped, or repeated, at the transition.
    const std::int64_t low = transition + std::min(before, after);
    const std::int64_t high = transition + std::max(before, after);
    const std::int64_t hour = low - (low % 3600 + 3600) % 3600;
    const std::int64_t inside = high > low ? rng.between(low, high - 1) : low;
    // clang-format off
    const std::int64_t points[] = {hour - 3600, hour - 1, hour, low - 1, low, low + 1, inside,
                                   (low + high) / 2, high - 1, high, high + 1, hour + 3599, high + 3600};
    // clang-format on
    if (rng.chance(25)) put_record(out, inside, true, rng);
    for (const std::int64_t point : points) {
        if (rng.chance(85)) put_record(out, point, true, rng);
    }
    for (int revisits = static_cast<int>(rng.between(1, 4)); revisits > 0; --revisits) {
        put_record(out, points[rng.between(3, 10)], true, rng);
    }
}

std::string mangled_text(tokens line, corpus_rng& rng)
{
    static const std::size_t number_slots[] = {2, 4, 5, 6, 7, 8, 9};
    std::size_t count = line.size();
    bool odd_separators = rng.chance(10);
    for (int mutations = static_cast<int>(rng.between(1, 3)); mutations > 0; --mutations) {
        switch (rng.between(0, 4)) {
            case 0: line[1] = rng.pick(odd_months); break;
            case 1: line[3] = rng.pick(odd_times); break;
            case 2: line[rng.pick(number_slots)] = rng.pick(odd_numbers); break;
            case 3: count = static_cast<std::size_t>(rng.between(0, 9)); break;
            default: odd_separators = true;
        }
    }
    return joined(line, count, odd_separators, rng);
}

// Longer than a 130-byte piece, or just about as long.
std::string padded(std::string text, corpus_rng& rng)
{
    static const std::size_t lengths[] = {129, 130, 131, 259, 260, 261};
    const auto length =
        rng.chance(50) ? rng.pick(lengths) : static_cast<std::size_t>(rng.between(132, 700));
    const std::string filler =
        rng.chance(50) ? " " + text : std::string(length, rng.chance(50) ? ' ' : '7');
    while (text.size() < length)
        text += filler;
    text.resize(length);
    return text;
}

std::string mangled_line(const std::tm& t, corpus_rng& rng)
{
    std::string text = mangled_text(record_tokens(t, rng), rng);
    switch (rng.between(0, 9)) {
        case 0: text.insert(static_cast<std::size_t>(rng.between(0, text.size())), 1, '\0'); break;
        case 1: text.resize(static_cast<std::size_t>(rng.between(0, text.size()))); break;
        case 2: text = padded(text, rng); break;
        case 3: text = rng.pick(odd_lines); break;
        case 4: text += '\r'; break;
        case 5: text.insert(0, rng.pick(separators)); break;
        default: break;
    }
    return text + '\n';
}

bool same_rules(const std::tm& a, const std::tm& b)
{
    return a.tm_gmtoff == b.tm_gmtoff && a.tm_isdst == b.tm_isdst;
}

}  // namespace

std::vector<std::int64_t> zone_transitions(std::int64_t from, std::int64_t to)
{
    constexpr std::int64_t step = 12 * 3600;
    std::vector<std::int64_t> found;
    for (std::int64_t t = from; t < to;) {
        const std::tm now = fields_of(t, false);
        if (same_rules(fields_of(t + step, false), now)) {
            t += step;
            continue;
        }
        std::int64_t low = t;  // under the rules of now; high is not
        std::int64_t high = t + step;
        while (high - low > 1) {
            const std::int64_t middle = low + (high - low) / 2;
            (same_rules(fields_of(middle, false), now) ? low : high) = middle;
        }
        found.push_back(high);
        t = high;
    }
    return found;
}

std::string well_formed_log(corpus_rng& rng, int lines)
{
    std::string out;
    std::int64_t instant = rng.between(-100000000, 2100000000);
    for (int i = 0; i < lines; ++i, instant += step_after(rng))
        put_record(out, instant, false, rng, 1);
    return out;
}

std::string mangled_lines(corpus_rng& rng, int lines)
{
    std::string out;
    std::int64_t instant = rng.between(0, 2000000000);
    for (int i = 0; i < lines; ++i, instant += step_after(rng)) {
        const std::tm local = fields_of(instant, false);
        out += rng.chance(30) ? mangled_line(local, rng)
                              : joined(record_tokens(local, rng), 10, false, rng) + '\n';
    }
    out.pop_back();
    return out;
}

std::string transition_walks(corpus_rng& rng, std::span<const std::int64_t> transitions)
{
    std::string out;
    for (const std::int64_t transition : transitions)
        walk(out, rng, transition);
    return out;
}

std::string random_dates(corpus_rng& rng, int lines)
{
    std::string out;
    for (int i = 0; i < lines; ++i)
        put_record(out, rng.between(-5364662400, 7258118399), true, rng);
    return out;
}
