// The state of a run between two lines: all that decides how the lines
// after it convert. A run can start from one (run_plan::from) and report the
// one it ended in (run_boundary), so that a log cut into chunks converts, a
// chunk at a time, as one run converts it whole.
#pragma once

#include "data/stage_data.hpp"

#include <cstdint>
#include <ctime>

struct boundary_state {
    stamped_record record;       // the carried record, the time token's bytes included
    int isdst;                   // the flag the last conversion left; -1 before the first
    std::int64_t mktime_offset;  // mktime's memory of its last call's offset,
    bool mktime_offset_known;    // where it is known
    bool referenced;             // the first line has fixed the reference second
    std::time_t reference_second;
};

// True when every later line converts the same after a as after b: the same
// integer fields, the same month, the same bytes in the columns of the time
// token that are read (0, 1, 3, 4, 6 and 7), the same flag, the same known
// memory of mktime's offset and the same reference. The weekday and the
// separators of the time token are never read. A memory that is not known
// cannot be shown the same, so a state with one converts alike with none.
bool converts_alike(const boundary_state& a, const boundary_state& b);

// The state of a conversion, a run's or a chunk's: its record, its
// local_time and its reference.
template <class conversion>
boundary_state boundary_of(const conversion& c)
{
    return {c.record,
            c.local_time.calendar_fields.tm_isdst,
            c.local_time.mktime_offset,
            c.local_time.mktime_offset_known,
            c.referenced,
            c.reference_second};
}

// The conversion goes on from the state, its zone and memo of hours kept.
template <class conversion>
void resume_from(const boundary_state& from, conversion& c)
{
    c.record = from.record;
    c.local_time.calendar_fields.tm_isdst = from.isdst;
    c.local_time.mktime_offset = from.mktime_offset;
    c.local_time.mktime_offset_known = from.mktime_offset_known && c.local_time.reuse_answers;
    c.referenced = from.referenced;
    c.reference_second = from.reference_second;
}
