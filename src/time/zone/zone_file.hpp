// Zone files (TZif, RFC 8536) read the way the C library reads them.
#pragma once

#include "time/zone/zone_changes.hpp"

enum class zone_file_result {
    not_a_zone_file,  // the C library would not take it either, and reads TZ as a string
    read,             // zone holds its transitions, leap seconds and footer
    unmodelled,       // a zone file this program cannot follow: too large, unordered, odd
};

// Opens path and fills zone from it when the C library would take it as a zone file.
zone_file_result read_zone_file(const char* path, zone_changes& zone);
