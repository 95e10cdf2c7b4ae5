// Zone files (TZif, RFC 8536) read the way the C library reads them, and
// the zone model that they and TZ strings fill (zone_changes.hpp reads TZ
// and answers from the model).
#pragma once

#include "time/zone/zone_rule.hpp"

#include <cstddef>
#include <cstdint>

// The C library's zone file when TZ is unset.
inline constexpr const char* default_zone_file = "/etc/localtime";

// Room for the name of a zone file, terminator included.
inline constexpr std::size_t zone_file_name_room = 4096;

inline constexpr std::size_t max_zone_transitions = 1024;
inline constexpr std::size_t max_zone_leaps = 64;

// The changes of a rule in one UTC year, once checked against the C library.
struct rule_year {
    std::int64_t year;
    bool checked;  // both changes lie inside the year, and the C library changes there
    std::int64_t changes[2];
};

// The zone model: where the C library's local time may change.
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
    // Why the C library cannot convert with the zone file it reads, or
    // nullptr; no record may then be converted.
    const char* fault;
    char fault_file[zone_file_name_room];
};

enum class zone_file_result {
    not_a_zone_file,  // the C library would not take it either, and reads TZ as a string
    read,             // zone holds its transitions, leap seconds and footer
    unmodelled,       // a zone file this program cannot follow: too large, unordered, odd
    // The C library takes it, then reads a local time type that is not
    // there, past the end of its data: mktime may crash or give anything.
    no_local_time_types,
    // The C library takes it, then looks for the end of an abbreviation
    // past the end of the abbreviation characters: over bytes it never
    // wrote, and off the end of its buffer.
    unterminated_abbreviation,
};

// Opens path and fills zone from it when the C library would take it as a zone file.
zone_file_result read_zone_file(const char* path, zone_changes& zone);

// The same for the bytes of a file already read.
zone_file_result parse_zone_file(const unsigned char* data, std::size_t size, zone_changes& zone);
