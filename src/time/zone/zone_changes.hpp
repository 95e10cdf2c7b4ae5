// Where the C library's local time may change: the instants at which the
// offset from UTC, the daylight-saving flag or the leap-second correction
// can differ from the second before. Read from the same zone file or TZ
// string as the C library reads, it holds every instant at which they do
// change, and perhaps more; an hour free of them converts at one offset.
#pragma once

#include "time/zone/zone_rule.hpp"

#include <cstddef>
#include <cstdint>

// The C library's zone file when TZ is unset.
inline constexpr const char* default_zone_file = "/etc/localtime";

inline constexpr std::size_t max_zone_transitions = 1024;
inline constexpr std::size_t max_zone_leaps = 64;

// The changes of a rule in one UTC year, once checked against the C library.
struct rule_year {
    std::int64_t year;
    bool checked;  // both changes lie inside the year, and the C library changes there
    std::int64_t changes[2];
};

struct zone_changes {
    enum class source {
        unknown,  // nothing is known: every record must go to mktime
        rule,     // a TZ string with no zone file
        file,     // a zone file, perhaps with a rule for the times after its last transition
    };
    enum class footer { none, rule, unknown };
    source kind;
    std::size_t transition_count;
    std::int64_t transitions[max_zone_transitions];  // increasing
    std::size_t leap_count;
    std::int64_t leaps[max_zone_leaps];
    footer after_last;  // a file's rule for the times from its last transition on
    zone_rule rule;     // the TZ string's, or the file's footer
    rule_year year;     // the last year whose rule changes were looked at
};

// Reads what the C library reads for the TZ value now in the environment
// (unset: /etc/localtime; a leading colon; a file under TZDIR or
// /usr/share/zoneinfo; else the value as a TZ string).
void load_zone_changes(zone_changes& zone);

// True when the zone is known to change nothing in (first, last].
bool zone_steady(zone_changes& zone, std::int64_t first, std::int64_t last);
