// Writes a seeded instrument log of well-formed records to standard output:
// one record a second (with milliseconds) from 1 March 2021, so the log
// crosses the March change to daylight-saving time in many zones.
//
// usage: make_log LINES [SEED]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_log LINES [SEED]\n");
        return 2;
    }
    const long long lines = std::atoll(argv[1]);
    std::mt19937_64 random(argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 20010917);
    const auto below = [&](std::uint64_t n) { return static_cast<long long>(random() % n); };

    static const char* const weekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::time_t t = 1614556800;  // 2021-03-01 00:00:00 UTC, written as wall-clock time
    long long channel[4] = {1200, -350, 40, 2000};
    static char out[1 << 16];
    std::setvbuf(stdout, out, _IOFBF, sizeof out);
    for (long long i = 0; i < lines; ++i) {
        std::tm c{};
        gmtime_r(&t, &c);
        for (long long& v : channel) {
            v += below(201) - 100 - v / 256;  // a drifting sensor, pulled back to zero
        }
        std::printf("%s %s %02d %02d:%02d:%02d %d %lld %lld %lld %lld %lld\n", weekdays[c.tm_wday],
                    months[c.tm_mon], c.tm_mday, c.tm_hour, c.tm_min, c.tm_sec, c.tm_year + 1900,
                    below(1000), channel[0], channel[1], channel[2], channel[3]);
        t += 1;
    }
    return 0;
}
