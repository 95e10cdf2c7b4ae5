// Feeds the zone model what TZ can point it at: the bytes of a zone file,
// read through a file of its own, or a TZ string. The first byte picks
// which, the next eight an hour to ask about. Where the model reads the
// zone and calls that hour free of changes, the C library, set to the same
// zone, must read every sampled second of it at one offset and one
// daylight-saving flag; anything else aborts, as do the sanitizers.
#include "time/calendar.hpp"
#include "time/zone/zone_changes.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

constexpr std::int64_t hour_end = 3599;
constexpr int samples = 16;

struct reading {
    bool ok;
    std::int64_t offset;  // local time read as UTC, less the instant
    int isdst;
};

reading local_reading(std::int64_t instant)
{
    const std::time_t t = instant;
    std::tm out{};
    if (localtime_r(&t, &out) == nullptr) return {false, 0, 0};
    const std::int64_t local =
        utc_seconds(out.tm_year, out.tm_mon, out.tm_mday, out.tm_hour, out.tm_min, out.tm_sec);
    return {true, local - instant, out.tm_isdst};
}

// An hour the model calls steady must be steady in the C library too.
void check_hour(zone_changes& zone, std::int64_t first, const char* tz)
{
    const std::int64_t last = first + hour_end;
    if (!zone_steady(zone, first, last)) return;
    const reading start = local_reading(first);
    for (int i = 1; i <= samples && start.ok; ++i) {
        const std::int64_t at = first + hour_end * i / samples;
        const reading r = local_reading(at);
        if (r.ok && (r.offset != start.offset || r.isdst != start.isdst)) {
            std::fprintf(stderr,
                         "TZ=%s: steady from %lld to %lld, yet at %lld the offset is %lld "
                         "(dst %d), not %lld (dst %d)\n",
                         tz, static_cast<long long>(first), static_cast<long long>(last),
                         static_cast<long long>(at), static_cast<long long>(r.offset), r.isdst,
                         static_cast<long long>(start.offset), start.isdst);
            std::abort();
        }
    }
}

// The model of a zone file with these bytes, read as the filter reads one.
// The C library is set to the same file only where the model reads it: it
// reads past its buffer, or crashes, on some that the model refuses.
bool load_file(const std::uint8_t* data, std::size_t size, zone_changes& zone, std::string& tz)
{
    // The file is always the same descriptor, so that the name in TZ, which
    // the fuzzer may see compared, is the same in every run.
    constexpr int zone_fd = 200;
    const int made = memfd_create("zone", MFD_CLOEXEC);
    const int fd = made < 0 ? -1 : dup3(made, zone_fd, O_CLOEXEC);
    if (fd < 0 || close(made) != 0 || write(fd, data, size) != static_cast<ssize_t>(size))
        std::abort();
    // The C library reads a zone again only when TZ changes: two spellings of
    // the name, taking turns at each reading.
    static bool dot = false;
    tz = (dot ? "/proc/self/fd/./" : "/proc/self/fd/") + std::to_string(fd);
    setenv("TZ", tz.c_str(), 1);
    load_zone_changes(zone);
    const bool modelled = zone.kind == zone_changes::source::file && zone.fault == nullptr;
    if (modelled) {
        tzset();
        dot = !dot;
    }
    close(fd);
    return modelled;
}

bool load_rule(const std::uint8_t* data, std::size_t size, zone_changes& zone, std::string& tz)
{
    tz.assign(reinterpret_cast<const char*>(data),
              strnlen(reinterpret_cast<const char*>(data), size));
    static_cast<void>(names_no_standard_offset(tz.c_str()));
    if (tz.empty() || tz[0] == ':' || tz[0] == '/' || !parse_zone_rule(tz.c_str(), zone.rule)) {
        return false;
    }
    zone.kind = zone_changes::source::rule;
    zone.transition_count = 0;
    zone.leap_count = 0;
    zone.year = {INT64_MIN, false, {0, 0}};
    setenv("TZ", tz.c_str(), 1);
    tzset();
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 9) return 0;
    std::uint64_t bits = 0;
    for (int i = 1; i < 9; ++i)
        bits = bits << 8 | data[i];
    // 56 bits with their sign: instants of any tm_year in the 32-bit range,
    // the range that the filter asks about.
    const std::int64_t first = static_cast<std::int64_t>(bits << 8) >> 8;
    static zone_changes zone;  // too large for the fuzzer's stack
    std::string tz;
    const bool file = (data[0] & 1) != 0;
    const bool loaded =
        file ? load_file(data + 9, size - 9, zone, tz) : load_rule(data + 9, size - 9, zone, tz);
    if (loaded) check_hour(zone, first, tz.c_str());
    return 0;
}
