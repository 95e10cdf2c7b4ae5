#include "time/zone/zone_changes.hpp"

#include "time/calendar.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

constexpr const char* default_zone_dir = "/usr/share/zoneinfo";
constexpr std::int64_t seconds_per_day = 86400;

// Is one of the increasing values in (low, high]?
bool any_in(const std::int64_t* values, std::size_t count, std::int64_t low, std::int64_t high)
{
    const std::int64_t* next = std::upper_bound(values, values + count, low);
    return next != values + count && *next <= high;
}

int flag_at(std::int64_t instant)
{
    const std::time_t t = instant;
    std::tm out{};
    return localtime_r(&t, &out) != nullptr ? out.tm_isdst : -1;
}

// The C library computes a rule's two changes for the UTC year of the
// instant it converts and compares the instant with them, so within one UTC
// year its flag changes at most twice, and its offset only with the flag.
// Where the C library is seen to change its flag at both of the changes
// computed here, inside the year and at or after `from`, those are all the
// changes of that year; otherwise the year is left unchecked.
rule_year check_rule_year(const zone_rule& rule, std::int64_t year, std::int64_t from)
{
    rule_year checked{year,
                      false,
                      {change_instant(rule.start, rule.std_offset, year),
                       change_instant(rule.end, rule.dst_offset, year)}};
    const std::int64_t first = std::max(days_from_epoch(year, 0) * seconds_per_day, from);
    const std::int64_t next_year = days_from_epoch(year + 1, 0) * seconds_per_day;
    const auto inside = [&](std::int64_t c) { return c - 1 >= first && c < next_year; };
    const std::int64_t on = checked.changes[0];
    const std::int64_t off = checked.changes[1];
    checked.checked = on != off && inside(on) && inside(off) && flag_at(on - 1) == 0 &&
                      flag_at(on) == 1 && flag_at(off - 1) == 1 && flag_at(off) == 0;
    return checked;
}

bool rule_steady(zone_changes& zone, std::int64_t first, std::int64_t last, std::int64_t from)
{
    if (!zone.rule.has_dst) {
        return true;
    }
    const std::int64_t year = utc_year_of(first);
    if (utc_year_of(last) != year) {
        return false;  // the C library computes the changes anew at the turn of the year
    }
    if (zone.year.year != year) {
        zone.year = check_rule_year(zone.rule, year, from);
    }
    const auto inside = [first, last](std::int64_t c) { return c > first && c <= last; };
    return zone.year.checked && !inside(zone.year.changes[0]) && !inside(zone.year.changes[1]);
}

bool file_steady(zone_changes& zone, std::int64_t first, std::int64_t last)
{
    const std::size_t count = zone.transition_count;
    if (count == 0 || last < zone.transitions[0]) {
        return true;  // one type throughout; the C library ignores a footer here
    }
    if (any_in(zone.transitions, count, first, last)) {
        return false;
    }
    const std::int64_t last_transition = zone.transitions[count - 1];
    if (first < last_transition || zone.after_last == zone_changes::footer::none) {
        return true;
    }
    return zone.after_last == zone_changes::footer::rule &&
           rule_steady(zone, first, last, last_transition);
}

// Does local time read as UTC, standard time, from 1840 to 2100? The check
// that the C library took the zone as UTC, as the model does.
bool local_time_is_utc()
{
    constexpr std::int64_t instants[] = {-4102444800, INT32_MIN, 0,         15638400,
                                         978307200,   993945600, INT32_MAX, 4118083200};
    for (const std::int64_t instant : instants) {
        const std::time_t t = instant;
        std::tm out{};
        if (localtime_r(&t, &out) == nullptr || out.tm_isdst != 0 || out.tm_gmtoff != 0 ||
            utc_seconds(out.tm_year, out.tm_mon, out.tm_mday, out.tm_hour, out.tm_min,
                        out.tm_sec) != instant) {
            return false;
        }
    }
    return true;
}

// TZ as the C library resolves it to a file name, or "" for none.
const char* zone_file_path(const char* name, char (&path)[zone_file_name_room])
{
    if (*name == '\0' || *name == '/') {
        return name;
    }
    const char* dir = std::getenv("TZDIR");
    dir = dir == nullptr || *dir == '\0' ? default_zone_dir : dir;
    const int length = std::snprintf(path, sizeof path, "%s/%s", dir, name);
    return length > 0 && static_cast<std::size_t>(length) < sizeof path ? path : nullptr;
}

// A zone file that the C library takes and cannot convert with.
void set_fault(zone_changes& zone, const char* file, const char* fault)
{
    zone.fault = fault;
    // A name too long for the buffer is cut short in the message.
    static_cast<void>(std::snprintf(zone.fault_file, sizeof zone.fault_file, "%s", file));
}

}  // namespace

void load_zone_changes(zone_changes& zone)
{
    zone.kind = zone_changes::source::unknown;
    zone.transition_count = 0;
    zone.leap_count = 0;
    zone.after_last = zone_changes::footer::none;
    zone.rule = {};
    zone.year = {INT64_MIN, false, {0, 0}};
    zone.fault = nullptr;

    const char* tz = std::getenv("TZ");
    tz = tz != nullptr && *tz == '\0' ? "Universal" : tz;
    tz = tz != nullptr && *tz == ':' ? tz + 1 : tz;
    const char* name = tz != nullptr ? tz : default_zone_file;
    char path[zone_file_name_room];
    const char* file = zone_file_path(name, path);
    if (file == nullptr) {
        return;
    }
    if (*file != '\0') {
        switch (read_zone_file(file, zone)) {
            case zone_file_result::read:
                // A footer the model cannot read leaves the whole zone to mktime.
                zone.kind = zone.after_last == zone_changes::footer::unknown
                                ? zone_changes::source::unknown
                                : zone_changes::source::file;
                return;
            case zone_file_result::unmodelled: return;
            case zone_file_result::no_local_time_types:
                set_fault(zone, file, "zone file has no local time types");
                return;
            case zone_file_result::unterminated_abbreviation:
                set_fault(zone, file, "zone file has an unterminated abbreviation");
                return;
            case zone_file_result::not_a_zone_file: break;
        }
    }
    // No zone file: the value as a TZ string, or UTC when nothing was named
    // or the C library can make nothing of the string.
    if (parse_zone_rule(name, zone.rule)) {
        zone.kind = zone_changes::source::rule;
        return;
    }
    const bool utc = *name == '\0' || std::strcmp(name, default_zone_file) == 0 ||
                     names_no_standard_offset(name);
    if (utc && local_time_is_utc()) {
        zone.rule = {};
        zone.kind = zone_changes::source::rule;
    }
}

bool zone_steady(zone_changes& zone, std::int64_t first, std::int64_t last)
{
    if (zone.kind == zone_changes::source::unknown ||
        any_in(zone.leaps, zone.leap_count, first - 1, last)) {
        return false;  // a leap second changes the reading at its instant and the next
    }
    return zone.kind == zone_changes::source::rule ? rule_steady(zone, first, last, INT64_MIN)
                                                   : file_steady(zone, first, last);
}
