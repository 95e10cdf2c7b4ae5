#include "run/boundary_state.hpp"

namespace {

bool same_integers(const stamped_record& a, const stamped_record& b)
{
    return a.day == b.day && a.year == b.year && a.milliseconds == b.milliseconds &&
           a.channel_1 == b.channel_1 && a.channel_2 == b.channel_2 && a.channel_3 == b.channel_3 &&
           a.channel_4 == b.channel_4 && a.month == b.month;
}

// A later token shorter than eight bytes keeps the rest of the columns, which
// the hour, minute and second are read from.
bool same_time_columns(const stamped_record& a, const stamped_record& b)
{
    for (const int column : {0, 1, 3, 4, 6, 7}) {
        if (a.time_token[column] != b.time_token[column]) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool converts_alike(const boundary_state& a, const boundary_state& b)
{
    return same_integers(a.record, b.record) && same_time_columns(a.record, b.record) &&
           a.isdst == b.isdst && a.mktime_offset_known && b.mktime_offset_known &&
           a.mktime_offset == b.mktime_offset && a.referenced == b.referenced &&
           (!a.referenced || a.reference_second == b.reference_second);
}
