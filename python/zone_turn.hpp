// The time zone a run converts in, and the turns runs take with the C
// library's time state. The C library keeps one TZ, one loaded zone and one
// memory of mktime's last offset for the whole process, so a run holds them
// for a block at a time: it sets TZ to its own zone, converts, and puts the
// process's TZ back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>

inline constexpr std::size_t zone_setting_room = 4096;

// TZ as a run wants it: unset, or a value; or, until the run's first turn
// reads it under the lock, whatever the process's TZ is then.
struct zone_setting {
    bool from_process;
    bool set;
    char value[zone_setting_room];
};

// The setting for tz (nullptr for unset); false when the value does not fit.
bool zone_setting_of(const char* tz, zone_setting& setting);

// For as long as it lives: this thread's turn with the C library's time
// state, for the run `holder`, with TZ as the setting says and the C
// library's zone loaded for it. At its end TZ is what it was before, and
// the zone loaded for that. A setting from_process becomes the process's TZ
// as the turn finds it. Take it with the GIL released: a thread that holds
// a turn may need the GIL to read its input.
class zone_turn {
public:
    zone_turn(zone_setting& setting, const void* holder);
    ~zone_turn();
    zone_turn(const zone_turn&) = delete;
    zone_turn& operator=(const zone_turn&) = delete;

    // False when the process's TZ was too long to keep: then TZ is left as
    // it is, and the turn must convert nothing.
    bool usable() const { return usable_; }

    // Whether the turn before this one was another run's, whose mktime calls
    // moved mktime's memory of the offset its last call found.
    bool follows_another_run() const { return follows_another_; }

    // Leaves that memory at `offset` (the result less the request read as
    // UTC), as a call in a zone of that fixed offset leaves it, and the
    // turn's zone loaded again. In a repeated hour mktime's answer depends on
    // it.
    void set_mktime_offset(std::int64_t offset);

private:
    zone_setting& setting_;
    std::unique_lock<std::mutex> lock_;
    zone_setting saved_;
    bool changed_;
    bool usable_;
    bool follows_another_;
};
