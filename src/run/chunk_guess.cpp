#include "run/chunk_guess.hpp"

#include "data/stage_data.hpp"
#include "record/parse_record.hpp"
#include "time/calendar.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

// How many times local time is asked before the search gives up: as many as
// it takes mktime in a steady stretch of any zone, and one more.
constexpr int most_probes = 3;

bool in_minute_range(std::int32_t value)
{
    return static_cast<std::uint32_t>(value) < 60;
}

// The instant whose local time reads back as the record's, found the way
// mktime searches, from the offset at the time read as UTC; false in a gap
// of the clocks, or when no probe reads back.
bool read_back(const stamped_record& r, std::int64_t& offset, int& isdst)
{
    const auto tm_year = static_cast<std::int32_t>(static_cast<std::uint32_t>(r.year) - 1900u);
    const std::int64_t local = utc_seconds(tm_year, r.month, r.day, r.hour, r.minute, r.second);
    std::int64_t instant = local;
    for (int probe = 0; probe < most_probes; ++probe) {
        const std::time_t t = instant;
        std::tm out{};
        if (localtime_r(&t, &out) == nullptr) {
            return false;
        }
        const std::int64_t back =
            utc_seconds(out.tm_year, out.tm_mon, out.tm_mday, out.tm_hour, out.tm_min, out.tm_sec);
        if (back == local) {
            offset = instant - local;
            isdst = out.tm_isdst;
            return true;
        }
        instant += local - back;
    }
    return false;
}

}  // namespace

boundary_state guess_start(const char* prelude, const char* start, std::time_t reference_second)
{
    boundary_state guess{};
    guess.isdst = -1;
    guess.referenced = true;
    guess.reference_second = reference_second;
    const char* newline = static_cast<const char*>(
        std::memchr(prelude, '\n', static_cast<std::size_t>(start - prelude)));
    if (newline == nullptr) {
        return guess;
    }
    // The pieces of whole lines, cut as the reader cuts them.
    for (const char* p = newline + 1; p < start;) {
        const std::size_t available =
            std::min(static_cast<std::size_t>(start - p), record_line::max_length);
        const void* end = std::memchr(p, '\n', available);
        const std::size_t length =
            end != nullptr ? static_cast<std::size_t>(static_cast<const char*>(end) - p) + 1
                           : available;
        parse_record_by_tokens({p, length}, guess.record);
        p += length;
    }
    const stamped_record& r = guess.record;
    guess.mktime_offset_known = in_minute_range(r.minute) && in_minute_range(r.second) &&
                                read_back(r, guess.mktime_offset, guess.isdst);
    return guess;
}
