#include "zone_turn.hpp"

#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

// The one lock outside a run's state, as the state it guards is outside
// every run too: TZ, the zone that tzset loaded and mktime's memory of its
// last offset belong to the process, and two runs converting at once would
// change them under each other.
std::mutex c_library_time_lock;

bool same_zone(const zone_setting& setting, const char* tz)
{
    return setting.set ? tz != nullptr && std::strcmp(tz, setting.value) == 0 : tz == nullptr;
}

void set_zone(const zone_setting& setting)
{
    setting.set ? setenv("TZ", setting.value, 1) : unsetenv("TZ");
    tzset();
}

}  // namespace

bool zone_setting_of(const char* tz, zone_setting& setting)
{
    setting.set = tz != nullptr;
    setting.value[0] = '\0';
    if (tz == nullptr) {
        return true;
    }
    const std::size_t length = std::strlen(tz);
    if (length >= sizeof setting.value) {
        return false;
    }
    std::memcpy(setting.value, tz, length + 1);
    return true;
}

zone_turn::zone_turn(const zone_setting& setting)
    : lock_(c_library_time_lock), saved_{}, changed_(false), usable_(false)
{
    const char* tz = std::getenv("TZ");
    if (!zone_setting_of(tz, saved_)) {
        return;
    }
    usable_ = true;
    if (!same_zone(setting, tz)) {
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
