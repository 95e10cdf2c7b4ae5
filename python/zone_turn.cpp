#include "zone_turn.hpp"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

// The one state outside a run's, as what it guards is outside every run
// too: TZ, the zone that tzset loaded and mktime's memory of its last offset
// belong to the process, and two runs converting at once would change them
// under each other. The lock gives runs their turns; last_holder, read and
// written under it, is the run whose turn came last.
struct c_library_time {
    std::mutex lock;
    const void* last_holder;
} c_library_time_state;

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
    setting.from_process = false;
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

zone_turn::zone_turn(zone_setting& setting, const void* holder)
    : setting_(setting),
      lock_(c_library_time_state.lock),
      saved_{},
      changed_(false),
      usable_(false),
      follows_another_(c_library_time_state.last_holder != holder)
{
    c_library_time_state.last_holder = holder;
    const char* tz = std::getenv("TZ");
    if (!zone_setting_of(tz, saved_)) {
        return;
    }
    usable_ = true;
    // TZ is read here, under the lock, as another run's turn may have set it
    // for the moment.
    if (setting.from_process) {
        setting = saved_;
    }
    if (!same_zone(setting, tz)) {
        set_zone(setting);
        changed_ = true;
    }
}

void zone_turn::set_mktime_offset(std::int64_t offset)
{
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
    set_zone(setting_);
}

zone_turn::~zone_turn()
{
    if (changed_) {
        set_zone(saved_);
    }
}
