// Local date and time of a record to seconds since the epoch.
#pragma once

#include "stamped_record.hpp"

#include <cstddef>
#include <cstdint>
#include <ctime>

struct converted_time {
    std::time_t record_seconds;  // whole seconds, as mktime gives them
    double record_time;          // record_seconds + milliseconds * 0.001
};

// One hour of local time, under one daylight-saving flag and one starting
// offset of mktime, whose every second was found to convert at a single
// offset; see convert_record. The key packs the year and day of the month,
// and the hour, month and flag; a zeroed entry matches no key.
struct verified_hour {
    std::uint64_t year_and_day;
    std::uint64_t hour_month_flag;
    std::int64_t offset;  // mktime's starting offset when it was checked
    std::time_t start;    // seconds at minute 0, second 0
    bool usable;
};

inline constexpr std::size_t verified_hour_slots = 64;

// What the conversion keeps from one record to the next.
struct local_time_state {
    // The broken-down time handed to mktime. Only the six calendar numbers
    // are set per record; tm_isdst carries mktime's verdict on the previous
    // record into the next conversion.
    std::tm calendar_fields;

    // mktime starts each search at the offset (result minus the requested
    // time read as UTC) of its previous successful call. Where that offset is
    // known, a verified hour gives exactly what mktime would.
    std::int64_t mktime_offset;
    bool mktime_offset_known;

    verified_hour hours[verified_hour_slots];
    std::size_t last_hour;  // the slot used last: most records fall in it again
};

// A fresh state: everything zero, and tm_isdst -1 so that the zone's rules
// decide the first record.
local_time_state make_local_time_state();

// Sets the six calendar numbers of the record in calendar_fields and converts
// them as mktime does, leaving tm_isdst as mktime would. Results that mktime
// has already given for the same hour, flag and starting offset are reused.
converted_time convert_record(const stamped_record& record, local_time_state& state);

// Seconds from the epoch to the given time read as UTC, with no range check
// on the day, hour, minute or second; tm_mon must be 0 to 11.
std::int64_t utc_seconds(std::int32_t tm_year, std::int32_t tm_mon, std::int32_t tm_mday,
                         std::int32_t tm_hour, std::int32_t tm_min, std::int32_t tm_sec);
