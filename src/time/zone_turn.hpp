// The C library's time state, which belongs to the whole process: TZ, the
// zone that tzset loaded for it, and mktime's memory of the offset its last
// call found. Here it is changed for a while and put back: by the check of
// mktime at start-up, which probes in a zone of its own, and by runs that
// take turns with it, as several runs of one process (the Python package's)
// may convert at once, each in its own zone.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

// TZ as a run wants it: unset, or a value, of any length; or, until the
// run's first turn reads it under the lock, whatever the process's TZ is
// then.
struct zone_setting {
    bool from_process = false;
    bool set = false;
    std::string value;
};

// TZ as the environment holds it now.
zone_setting process_zone();

// Sets TZ as the setting says and has the C library load its zone.
void set_zone(const zone_setting& setting);

// The setting, with TZ unset taken as TZ naming the zone file that the C
// library reads then: the same zone, which the C library then never reads
// again, so that a run sees no change of the file after it started. (With
// TZ unset, GNU libc's mktime looks at the file at every call, and reads it
// again when it has changed; with TZ set, it compares only TZ's value.)
zone_setting pinned(const zone_setting& setting);

// Leaves mktime's memory at `offset` (the result less the request read as
// UTC), as a call in a zone of that fixed offset leaves it, and TZ and its
// zone as they were. In a repeated hour mktime's answer depends on it.
void set_mktime_offset(std::int64_t offset);

// For as long as it lives: this thread's turn with the C library's time
// state, for the run `holder`, with TZ as the setting says and the C
// library's zone loaded for it. At its end TZ is what it was before, and
// the zone loaded for that. A setting from_process becomes the process's TZ
// as the turn finds it, pinned where `pin` says so.
class zone_turn {
public:
    zone_turn(zone_setting& setting, const void* holder, bool pin = false);
    ~zone_turn();
    zone_turn(const zone_turn&) = delete;
    zone_turn& operator=(const zone_turn&) = delete;

    // Whether the turn before this one was another run's, whose mktime calls
    // moved mktime's memory of the offset its last call found.
    bool follows_another_run() const { return follows_another_; }

private:
    std::unique_lock<std::mutex> lock_;
    zone_setting saved_;
    bool changed_;
    bool follows_another_;
};
