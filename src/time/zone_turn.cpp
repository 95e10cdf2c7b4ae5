#include "time/zone_turn.hpp"

#include "time/zone/zone_file.hpp"

#include <pthread.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

void hold_for_fork();
void release_after_fork();

// The one state outside a run's, as what it guards is outside every run
// too: TZ, the zone that tzset loaded and mktime's memory of its last offset
// belong to the process, and two runs converting at once would change them
// under each other. The lock gives runs their turns; last_holder, read and
// written under it, is the run whose turn came last.
//
// A child forked while another thread has a turn (os.fork in a Python
// program that converts on another thread) would have the lock held by a
// thread that it does not have, TZ as the turn set it, and, where the turn
// was in setenv or mktime, the C library's own locks of the environment
// and the zone held for good. So a fork waits for the turn in progress to
// end and holds the lock across it: parent and child both go on from
// between two turns, with the process's TZ, and each frees its lock.
struct c_library_time {
    std::mutex lock;
    const void* last_holder = nullptr;

    c_library_time() { pthread_atfork(hold_for_fork, release_after_fork, release_after_fork); }
} c_library_time_state;

void hold_for_fork()
{
    c_library_time_state.lock.lock();
}

void release_after_fork()
{
    c_library_time_state.lock.unlock();
}

bool same_zone(const zone_setting& a, const zone_setting& b)
{
    return a.set == b.set && (!a.set || a.value == b.value);
}

}  // namespace

zone_setting process_zone()
{
    const char* tz = std::getenv("TZ");
    return {false, tz != nullptr, tz != nullptr ? tz : ""};
}

void set_zone(const zone_setting& setting)
{
    setting.set ? setenv("TZ", setting.value.c_str(), 1) : unsetenv("TZ");
    tzset();
}

zone_setting pinned(const zone_setting& setting)
{
    return setting.set ? setting : zone_setting{false, true, default_zone_file};
}

void set_mktime_offset(std::int64_t offset)
{
    const zone_setting saved = process_zone();
    // A POSIX offset counts hours west of UTC, as mktime's offset does. The
    // magnitude is taken unsigned, so that no offset overflows it.
    const std::uint64_t seconds =
        offset < 0 ? 0 - static_cast<std::uint64_t>(offset) : static_cast<std::uint64_t>(offset);
    char fixed[48];  // "<FIX>", a sign, at most 16 digits of hours, ":mm:ss"
    static_cast<void>(std::snprintf(fixed, sizeof fixed, "<FIX>%c%llu:%02llu:%02llu",
                                    offset < 0 ? '-' : '+',
                                    static_cast<unsigned long long>(seconds / 3600),
                                    static_cast<unsigned long long>(seconds / 60 % 60),
                                    static_cast<unsigned long long>(seconds % 60)));
    setenv("TZ", fixed, 1);
    tzset();
    std::tm request{};
    request.tm_year = 101;
    request.tm_mday = 15;
    request.tm_hour = 12;
    static_cast<void>(std::mktime(&request));  // what it leaves behind is what counts
    set_zone(saved);
}

zone_turn::zone_turn(zone_setting& setting, const void* holder, bool pin)
    : lock_(c_library_time_state.lock),
      saved_(process_zone()),
      changed_(false),
      follows_another_(c_library_time_state.last_holder != holder)
{
    c_library_time_state.last_holder = holder;
    // TZ is read here, under the lock, as another run's turn may have set it
    // for the moment.
    if (setting.from_process) {
        setting = pin ? pinned(saved_) : saved_;
    }
    if (!same_zone(setting, saved_)) {
        set_zone(setting);
        changed_ = true;
    }
}

zone_turn::~zone_turn()
{
    if (changed_) {
        set_zone(saved_);
    }
}
