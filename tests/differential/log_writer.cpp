#include "log_writer.hpp"

#include <cstdio>
#include <ctime>

namespace {

const char* const weekday_names[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const month_names[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const separators[] = {" ", "\t", "  ", " \t ", "\v", "\f", "\r", "\t\t"};

}  // namespace

record_tokens tokens_at(std::int64_t seconds, bool wall, corpus_rng& rng)
{
    const std::time_t at = seconds;
    std::tm t{};
    wall ? gmtime_r(&at, &t) : localtime_r(&at, &t);
    char time[16];
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", t.tm_hour, t.tm_min, t.tm_sec);
    record_tokens line = {weekday_names[t.tm_wday],           month_names[t.tm_mon],
                          std::to_string(t.tm_mday),          time,
                          std::to_string(t.tm_year + 1900LL), std::to_string(rng.between(0, 999))};
    for (std::size_t i = 6; i < line.size(); ++i)
        line[i] = std::to_string(rng.chance(4) ? static_cast<std::int32_t>(rng.raw())
                                               : rng.between(-999, 999));
    return line;
}

std::string joined(const record_tokens& line, std::size_t count, bool odd_separators,
                   corpus_rng& rng)
{
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += i == 0 ? "" : odd_separators ? rng.pick(separators) : " ";
        text += line[i];
    }
    return text;
}

void put_record(std::string& out, std::int64_t seconds, bool wall, corpus_rng& rng,
                int blank_percent)
{
    out += joined(tokens_at(seconds, wall, rng), 10, false, rng) + '\n';
    if (rng.chance(blank_percent)) out += rng.chance(80) ? "\n" : " \t\r\n";  // repeats the record
}
