#include "time/local_time.hpp"

#include "time/calendar.hpp"
#include "time/zone_turn.hpp"

// Why a reused answer is exact. Take a request (L, f): a local time L whose
// minute and second are 0 to 59, within the hour that starts at H, and a
// flag f of 0 or 1; and let mktime's previous successful call have left the
// offset d. mktime first tries the instant L + d, and answers it when local
// time there reads back as L with flag f (see local_time.hpp). Let
// a = H + d. If local time at a reads back as H with flag f, and the zone
// changes nothing in (a, a + 3599] (zone_changes.hpp: no offset or flag
// change and no leap second, judged from the same zone file or TZ string the
// C library reads), then local time at a + s reads back as H + s with flag
// f for every s in 0..3599. So every request of that hour, flag and offset
// is answered a + (L - H), and leaves the offset at d: reusing the answer is
// what mktime would do, and the next real call of mktime starts from the
// same offset as it would have had every record called it. The last second
// of the hour is read back too, which costs one call per hour and ties the
// verdict to the C library at both ends.

namespace {

constexpr std::int64_t last_second_of_hour = 3599;

std::int64_t utc_seconds_of(const std::tm& t)
{
    return utc_seconds(t.tm_year, t.tm_mon, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
}

bool same_flag(int a, int b)
{
    return (a != 0) == (b != 0);
}

// Does local time at the instant read back as the given local time, with the
// given daylight-saving flag? localtime_r leaves mktime's offset alone.
bool reads_back(std::int64_t instant, std::int64_t local, int isdst)
{
    const std::time_t t = instant;
    std::tm out{};
    return localtime_r(&t, &out) != nullptr && same_flag(out.tm_isdst, isdst) &&
           utc_seconds_of(out) == local;
}

bool follows_leap_second(std::time_t seconds)
{
    const std::time_t before = seconds - 1;
    std::tm out{};
    return localtime_r(&before, &out) == nullptr || out.tm_sec == 60;
}

std::uint64_t year_and_day(std::int32_t tm_year, std::int32_t tm_mday)
{
    return std::uint64_t{static_cast<std::uint32_t>(tm_year)} << 32 |
           static_cast<std::uint32_t>(tm_mday);
}

std::uint64_t hour_month_flag(std::int32_t tm_hour, std::int32_t tm_mon, int tm_isdst)
{
    constexpr std::uint64_t entry_in_use = 1u << 8;
    return std::uint64_t{static_cast<std::uint32_t>(tm_hour)} << 32 |
           static_cast<std::uint32_t>(tm_mon) << 1 | static_cast<std::uint32_t>(tm_isdst) |
           entry_in_use;
}

bool in_minute_and_second_range(std::int32_t minute, std::int32_t second)
{
    return static_cast<std::uint32_t>(minute) < 60 && static_cast<std::uint32_t>(second) < 60;
}

bool holds(const verified_hour& hour, std::uint64_t date, std::uint64_t time, std::int64_t offset)
{
    return hour.year_and_day == date && hour.hour_month_flag == time && hour.offset == offset;
}

verified_hour check_hour(local_time_state& state, std::uint64_t date, std::uint64_t time)
{
    const std::tm& f = state.calendar_fields;
    const std::int64_t local = utc_seconds(f.tm_year, f.tm_mon, f.tm_mday, f.tm_hour, 0, 0);
    const std::int64_t start = local + state.mktime_offset;
    const std::int64_t end = start + last_second_of_hour;
    const bool usable = reads_back(start, local, f.tm_isdst) &&
                        zone_steady(state.zone, start, end) &&
                        reads_back(end, local + last_second_of_hour, f.tm_isdst);
    return {date, time, state.mktime_offset, start, usable};
}

// The verified hour that holds the request, or nullptr when the request must
// go to mktime itself. Kept out of the loops, which inline all else: once an
// hour of records.
[[gnu::noinline]] const verified_hour* find_hour(local_time_state& state)
{
    const std::tm& f = state.calendar_fields;
    if (!state.mktime_offset_known || (f.tm_isdst != 0 && f.tm_isdst != 1) ||
        !in_minute_and_second_range(f.tm_min, f.tm_sec)) {
        return nullptr;
    }
    const std::uint64_t date = year_and_day(f.tm_year, f.tm_mday);
    const std::uint64_t time = hour_month_flag(f.tm_hour, f.tm_mon, f.tm_isdst);
    if (!holds(state.hours[state.last_hour], date, time, state.mktime_offset)) {
        const std::uint64_t mixed = (date * 0x9E3779B97F4A7C15u) ^ time;
        state.last_hour = (mixed ^ mixed >> 29 ^ mixed >> 47) % verified_hour_slots;
    }
    verified_hour& hour = state.hours[state.last_hour];
    if (!holds(hour, date, time, state.mktime_offset)) {
        hour = check_hour(state, date, time);
    }
    return hour.usable ? &hour : nullptr;
}

// mktime itself, noting the starting offset it leaves for its next call.
// Kept out of the loops, which inline all else.
[[gnu::noinline]] std::time_t call_mktime(local_time_state& state)
{
    std::tm& f = state.calendar_fields;
    const std::tm requested = f;
    if (state.restore_mktime_offset) {
        set_mktime_offset(state.mktime_offset);
        state.restore_mktime_offset = false;
        state.defer_mktime = false;
        state.deferred = false;
    }
    f.tm_yday = -1;  // mktime fills it in only when it succeeds
    const std::time_t seconds = std::mktime(&f);
    if (f.tm_yday < 0) {
        return seconds;  // a failed call leaves mktime's offset as it was
    }
    // A second outside 0..59, or a result next to a leap second, makes mktime
    // adjust its answer after it has noted the offset; stop relying on it.
    state.mktime_offset_known = state.reuse_answers && requested.tm_sec >= 0 &&
                                requested.tm_sec <= 59 &&
                                !(requested.tm_sec == 0 && follows_leap_second(seconds));
    state.mktime_offset = seconds - utc_seconds_of(requested);
    return seconds;
}

// The zone model for the zone the C library has now, and no hour checked
// under an earlier one. The file is read even where answers are not reused,
// to find a zone file that the C library cannot convert with. A zone the
// model cannot follow turns the reuse off, and with it every localtime_r
// call: GNU libc's state for such a zone may depend on the calls made
// before (a zone file whose footer names daylight saving but gives no rule
// has it read its default rules in place of the file after a conversion
// past the file's last transition, until the next mktime), so only the
// calls the plain conversion makes, mktime's own, keep its answers the
// same. mktime's offset is not the zone's: it stays.
void read_zone(local_time_state& state)
{
    load_zone_changes(state.zone);
    // Only where the C library found no zone file there is the model a rule.
    state.watch.every_field = state.zone.kind == zone_changes::source::rule;
    if (!state.reuse_allowed) {
        state.zone.kind = zone_changes::source::unknown;
    }
    state.reuse_answers = state.zone.kind != zone_changes::source::unknown;
    state.mktime_offset_known = state.mktime_offset_known && state.reuse_answers;
    for (verified_hour& hour : state.hours) {
        hour = verified_hour{};
    }
    state.last_hour = 0;
}

}  // namespace

void start_local_time(local_time_state& state, bool reuse_answers)
{
    state.calendar_fields = std::tm{};
    state.calendar_fields.tm_isdst = -1;
    state.reuse_allowed = reuse_answers;
    state.mktime_offset = 0;
    state.mktime_offset_known = false;
    state.restore_mktime_offset = false;
    state.defer_mktime = false;
    state.deferred = false;
    // The stamp before the C library and the model read the file: a change
    // after it shows at the first look.
    start_zone_watch(state.watch);
    tzset();
    read_zone(state);
}

// Kept out of the loops, which inline all else: once a read of input.
[[gnu::noinline]] void follow_zone_file(local_time_state& state)
{
    if (state.watch.active && zone_file_changed(state.watch)) {
        tzset();  // the C library's own check, which now reads the file again
        read_zone(state);
    }
}

converted_time convert_record(const stamped_record& record, local_time_state& state)
{
    const auto tm_year = static_cast<std::int32_t>(static_cast<std::uint32_t>(record.year) - 1900u);
    std::tm& f = state.calendar_fields;
    // Most records fall in the hour of the record before; then the calendar
    // fields need not be set, as no mktime call reads them before the next
    // record sets them again, and the flag stays as it is.
    const verified_hour& last = state.hours[state.last_hour];
    std::time_t seconds = 0;
    if (last.usable && in_minute_and_second_range(record.minute, record.second) &&
        state.mktime_offset_known && last.offset == state.mktime_offset &&
        last.year_and_day == year_and_day(tm_year, record.day) &&
        last.hour_month_flag == hour_month_flag(record.hour, record.month, f.tm_isdst)) {
        seconds = last.start + std::int64_t{60} * record.minute + record.second;
    } else {
        f.tm_sec = record.second;
        f.tm_min = record.minute;
        f.tm_hour = record.hour;
        f.tm_mday = record.day;
        f.tm_mon = record.month;
        f.tm_year = tm_year;
        const verified_hour* hour = find_hour(state);
        if (hour != nullptr) {
            seconds = hour->start + std::int64_t{60} * f.tm_min + f.tm_sec;
        } else if (state.defer_mktime) {
            state.deferred = true;
        } else {
            seconds = call_mktime(state);
        }
    }
    return {seconds, static_cast<double>(seconds) + record.milliseconds * 0.001};
}
