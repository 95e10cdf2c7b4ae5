// The local date and time of a record to seconds since the epoch, as mktime
// converts them, with the answers of mktime reused where that is exact.
//
// What the reuse rests on is not in the C standard but in this C library's
// mktime (GNU libc): for a request with tm_isdst 0 or 1 it first tries the
// requested time read as UTC plus the offset of its previous successful
// call, keeps that instant when local time there reads back as the request
// with the requested flag, and then leaves the offset as it was; a failed
// call leaves it alone. mktime_check.hpp tests this when the program starts;
// where the C library behaves otherwise, every record goes to mktime.
#pragma once

#include "data/stage_data.hpp"
#include "time/zone/zone_changes.hpp"
#include "time/zone_watch.hpp"

#include <cstddef>
#include <cstdint>
#include <ctime>

static_assert(sizeof(std::time_t) == 8, "seconds beyond the 32-bit range pass through unchanged");

// One hour of local time, under one daylight-saving flag and one starting
// offset of mktime, and whether mktime gives its every second at that
// offset. The key packs the year and day of the month, and the hour, month
// and flag; a zeroed entry matches no key.
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

    bool reuse_allowed;  // what main chose
    bool reuse_answers;  // allowed, and the zone is one the model reads: else mktime
                         // converts every record and localtime_r is called only to read the zone

    // The offset (result minus the requested time read as UTC) of mktime's
    // previous successful call, where it is known.
    std::int64_t mktime_offset;
    bool mktime_offset_known;
    // mktime's memory may have been moved since this conversion's last call
    // (by another run's calls): the next call puts mktime_offset back first.
    bool restore_mktime_offset;
    // A conversion that may not call mktime, as its calls must come in the
    // order of the log's lines (a chunk converted ahead of its turn): a
    // record that needs mktime sets `deferred` instead, and converts to 0.
    bool defer_mktime;
    bool deferred;

    verified_hour hours[verified_hour_slots];
    std::size_t last_hour;  // the slot used last: most records fall in it again

    zone_changes zone;  // where the zone may change, for checking an hour
    zone_watch watch;   // the zone file, with TZ unset
};

// Starts a run: everything zero, tm_isdst -1 so that the zone's rules decide
// the first record, tzset called, and the zone's changes read for the TZ now
// in the environment. zone.fault says whether any record may be converted.
void start_local_time(local_time_state& state, bool reuse_answers);

// With TZ unset, one stat of the zone file. When the C library's next mktime
// would read the file again, has it do so now, reads the zone model again
// (zone.fault included) and drops every reused answer. Called after each
// read of input, before what it brought is converted, so that records read
// after the change convert under the new zone, as they would were each
// given to mktime. A change in the middle of converting one read may show
// in that read's mktime calls before it shows here.
void follow_zone_file(local_time_state& state);

// Sets the six calendar numbers of the record in calendar_fields and converts
// them as mktime does, leaving tm_isdst as mktime would.
converted_time convert_record(const stamped_record& record, local_time_state& state);
