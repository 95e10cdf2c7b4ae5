// Where the C library's local time may change: the instants at which the
// offset from UTC, the daylight-saving flag or the leap-second correction
// can differ from the second before. Read from the same zone file or TZ
// string as the C library reads, it holds every instant at which they do
// change, and perhaps more; an hour free of them converts at one offset.
#pragma once

#include "time/zone/zone_file.hpp"

#include <cstdint>

// Reads what the C library reads for the TZ value now in the environment
// (unset: /etc/localtime; a leading colon; a file under TZDIR or
// /usr/share/zoneinfo; else the value as a TZ string). Sets zone.fault
// where the C library takes a zone file that it cannot convert with.
void load_zone_changes(zone_changes& zone);

// True when the zone is known to change nothing in (first, last].
bool zone_steady(zone_changes& zone, std::int64_t first, std::int64_t last);
