#include "time/zone_watch.hpp"

#include "time/zone/zone_file.hpp"

#include <sys/stat.h>

#include <cstdlib>

namespace {

zone_file_stamp stamp_now()
{
    struct stat info {};
    if (stat(default_zone_file, &info) != 0) {
        return {};
    }
    return {true,
            info.st_dev,
            info.st_ino,
            info.st_mtim.tv_sec,
            info.st_mtim.tv_nsec,
            info.st_ctim.tv_sec,
            info.st_ctim.tv_nsec,
            info.st_size};
}

bool same_file(const zone_file_stamp& a, const zone_file_stamp& b, bool every_field)
{
    const bool held = a.found == b.found && a.device == b.device && a.inode == b.inode &&
                      a.modified == b.modified;
    return held && (!every_field || (a.modified_ns == b.modified_ns && a.changed == b.changed &&
                                     a.changed_ns == b.changed_ns && a.size == b.size));
}

}  // namespace

void start_zone_watch(zone_watch& watch)
{
    watch.active = std::getenv("TZ") == nullptr;
    watch.every_field = false;
    watch.seen = watch.active ? stamp_now() : zone_file_stamp{};
}

bool zone_file_changed(zone_watch& watch)
{
    const zone_file_stamp now = stamp_now();
    if (same_file(now, watch.seen, watch.every_field)) {
        return false;
    }
    watch.seen = now;
    return true;
}
