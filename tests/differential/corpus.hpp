// Seeded generator of stamped-record logs for comparing stamp_series with the
// reference filter. Dates are local times of this process's time zone (TZ as
// set here), and one seed always gives the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Walks across each offset change of the zone from 1900 to 2040, a few dozen
// changes to a log so that many runs start afresh, then random dates; with
// all_kinds also a long well-formed log and mangled lines.
std::vector<std::string> zone_logs(std::uint64_t seed, bool all_kinds);
// Well-formed records, then mangled lines, for the pipe and failure runs.
std::string mixed_log(std::uint64_t seed);

// A TZ string with daylight-saving rules, and logs that walk across its
// changes in a few years, blank lines among them.
struct rule_zone {
    std::string tz;
    std::vector<std::string> logs;
};

// TZ strings of every form the C library reads: Jn, n and Mm.w.d dates,
// times of day at odd minutes, negative or past midnight, offsets at whole,
// half and odd minutes, and periods of daylight saving or of standard time
// shorter than an hour.
std::vector<rule_zone> rule_zones(std::uint64_t seed, int count);
