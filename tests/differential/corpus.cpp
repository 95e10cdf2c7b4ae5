#include "corpus.hpp"

#include "log_writer.hpp"

#include <algorithm>
#include <ctime>

namespace {

// clang-format off
const char* const odd_months[] = {"Sept", "sep", "SEP", "Ja", "J", "January", "Xyz", "mAY", "Fe", "Nov."};
const char* const odd_times[] = {"9:05:00", "12.34.56", "99:99:99", "1:2", "12:34", "23:59:60",
                                 "24:00:00", "-1:-2:-3", "123456789012345678", "::::::::", "T",
                                 "\xff\xfe:\x80\x7f:00", "02:30:00", "01:59:59+01"};
const char* const odd_numbers[] = {
    "+", "-", "99999999999999999999999", "-99999999999999999999999", "2147483647", "2147483648",
    "-2147483648", "-2147483649", "1073741824", "-1073741825", "+7", "-0", "007", "0x1A", "12abc",
    "1e3", "--1", "+-1", "01", "0", "32", "-1", "1900", "2038", "1969", "10000", "-5000", "17th"};
const char* const lead_space[] = {" ", "\t", "  ", " \t ", "\v", "\f", "\r", "\t\t"};
const char* const odd_lines[] = {"", " ", "\t\r", "\r", "weekday month day time year ms a b c d",
                                 "#", "Mon", "Mon Sep", "Mon Sep 17", "-"};
// clang-format on

std::tm local_fields(std::int64_t seconds)
{
    const std::time_t t = seconds;
    std::tm fields{};
    localtime_r(&t, &fields);
    return fields;
}

std::int64_t step_after(corpus_rng& rng)
{
    if (rng.chance(2)) return -rng.between(1, 7200);
    return rng.chance(2) ? rng.between(3600, std::int64_t{90} * 86400) : rng.between(0, 3);
}

// Records just before and after the transition and in its gap or overlap,
// then back in the gap or overlap from the far side, with blank lines between.
void walk(std::string& out, corpus_rng& rng, std::int64_t transition)
{
    const std::int64_t before = local_fields(transition - 1).tm_gmtoff;
    const std::int64_t after = local_fields(transition).tm_gmtoff;
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
    for (const std::int64_t point : points)
        if (rng.chance(85)) put_record(out, point, true, rng);
    for (int revisits = static_cast<int>(rng.between(1, 4)); revisits > 0; --revisits)
        put_record(out, points[rng.between(3, 10)], true, rng);
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

// A record with one to three odd tokens, a cut, or odd separators, and then
// perhaps a NUL, a cut, padding, a CR or leading white space, or an odd line.
std::string mangled_line(std::int64_t instant, corpus_rng& rng)
{
    static const std::size_t number_slots[] = {2, 4, 5, 6, 7, 8, 9};
    record_tokens line = tokens_at(instant, false, rng);
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
    std::string text = joined(line, count, odd_separators, rng);
    switch (rng.between(0, 9)) {
        case 0:
            text.insert(
                static_cast<std::size_t>(rng.between(0, static_cast<std::int64_t>(text.size()))), 1,
                '\0');
            break;
        case 1:
            text.resize(
                static_cast<std::size_t>(rng.between(0, static_cast<std::int64_t>(text.size()))));
            break;
        case 2: text = padded(text, rng); break;
        case 3: text = rng.pick(odd_lines); break;
        case 4: text += '\r'; break;
        case 5: text.insert(0, rng.pick(lead_space)); break;
        default: break;
    }
    return text + '\n';
}

// Instants in [from, to) at which the zone's UTC offset or daylight-saving
// flag changes: the first second under the new rules.
std::vector<std::int64_t> zone_transitions(std::int64_t from, std::int64_t to)
{
    std::vector<std::int64_t> found;
    for (std::int64_t low = from; low < to;) {
        const std::tm now = local_fields(low);
        const auto same_rules = [&now](std::int64_t at) {
            const std::tm then = local_fields(at);
            return then.tm_gmtoff == now.tm_gmtoff && then.tm_isdst == now.tm_isdst;
        };
        std::int64_t high = low + std::int64_t{12} * 3600;  // low is under the rules of now
        if (!same_rules(high)) {
            while (high - low > 1) {
                const std::int64_t middle = low + (high - low) / 2;
                (same_rules(middle) ? low : high) = middle;
            }
            found.push_back(high);
        }
        low = high;
    }
    return found;
}

// Records a second or so apart, now and then weeks ahead or hours back.
std::string well_formed_log(corpus_rng& rng, int lines)
{
    std::string out;
    std::int64_t instant = rng.between(-100000000, 2100000000);
    for (int i = 0; i < lines; ++i, instant += step_after(rng))
        put_record(out, instant, false, rng, 1);
    return out;
}

// Odd tokens and separators, NUL, CR, cut, overlong and blank lines; no final newline.
std::string mangled_lines(corpus_rng& rng, int lines)
{
    std::string out;
    std::int64_t instant = rng.between(0, 2000000000);
    for (int i = 0; i < lines; ++i, instant += step_after(rng)) {
        out += rng.chance(30) ? mangled_line(instant, rng)
                              : joined(tokens_at(instant, false, rng), 10, false, rng) + '\n';
    }
    out.pop_back();
    return out;
}

// Well-formed records in one of the shapes logs take: space-padded days,
// tabs, runs of spaces, CRLF line ends, or channels of up to sixteen digits.
std::string shaped_log(corpus_rng& rng, int lines)
{
    const auto shape = rng.between(0, 4);
    std::string out;
    std::int64_t instant = rng.between(0, 2000000000);
    for (int i = 0; i < lines; ++i, instant += step_after(rng)) {
        record_tokens t = tokens_at(instant, false, rng);
        if (shape == 0 && t[2].size() == 1) t[2] = " " + t[2];
        if (shape == 4)
            for (std::size_t k = 6; k < t.size(); ++k)
                t[k] = std::to_string(rng.between(-9999999999999999, 9999999999999999) >>
                                      rng.between(0, 40));
        for (std::size_t k = 0; k < t.size(); ++k)
            out += (k == 0       ? ""
                    : shape == 1 ? "\t"
                    : shape == 2 ? std::string(static_cast<std::size_t>(rng.between(1, 4)), ' ')
                                 : " ") +
                   t[k];
        out += shape == 3 ? "\r\n" : "\n";
    }
    return out;
}

}  // namespace

std::vector<std::string> zone_logs(std::uint64_t seed, bool all_kinds)
{
    corpus_rng rng(seed);
    const std::vector<std::int64_t> transitions = zone_transitions(-2208988800, 2208988800);
    std::vector<std::string> logs;
    for (std::size_t i = 0; i < transitions.size();) {
        logs.emplace_back();
        for (auto n = rng.between(1, 48); n > 0 && i < transitions.size(); --n)
            walk(logs.back(), rng, transitions[i++]);
    }
    logs.emplace_back();
    for (int i = 0, lines = all_kinds ? 5000 : 1500; i < lines; ++i)  // random dates 1800-2200
        put_record(logs.back(), rng.between(-5364662400, 7258118399), true, rng);
    if (all_kinds) {
        logs.insert(logs.end(), {well_formed_log(rng, 20000), mangled_lines(rng, 30000),
                                 mangled_lines(rng, 30), shaped_log(rng, 3000)});
    }
    return logs;
}

std::string mixed_log(std::uint64_t seed)
{
    corpus_rng rng(seed);
    const std::string mangled = mangled_lines(rng, 3000);  // drawn first, as it always has been
    return well_formed_log(rng, 3000) + mangled;
}
