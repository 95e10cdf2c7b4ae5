// Writes a seeded instrument log of well-formed records to standard output:
// one record a second (with milliseconds) from 1 March 2021, so the log
// crosses the March change to daylight-saving time in many zones. The shape
// varies what a log may look like:
//   base     "Mon Mar 01 00:00:00 2021 ..." with single spaces
//   padded   ctime-style space-padded days: "Mon Mar  1 ..."
//   tabs     tabs between the fields
//   spaces   runs of one to four spaces between the fields
//   crlf     lines ending in a carriage return and a newline
//   wide     channels of nine and ten digits with a sign
//
// usage: make_log LINES [SHAPE [SEED]]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <string>

int main(int argc, char** argv)
{
    const char* const shapes[] = {"base", "padded", "tabs", "spaces", "crlf", "wide"};
    const std::string shape = argc > 2 ? argv[2] : "base";
    bool known = false;
    for (const char* s : shapes)
        known = known || shape == s;
    if (argc < 2 || !known) {
        std::fprintf(stderr, "usage: make_log LINES [base|padded|tabs|spaces|crlf|wide [SEED]]\n");
        return 2;
    }
    const long long lines = std::atoll(argv[1]);
    std::mt19937_64 random(argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 20010917);
    const auto below = [&](std::uint64_t n) { return static_cast<long long>(random() % n); };
    const auto gap = [&]() -> const char* {
        static const char* const runs[] = {" ", "  ", "   ", "    "};
        return shape == "tabs" ? "\t" : shape == "spaces" ? runs[below(4)] : " ";
    };

    static const char* const weekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::time_t t = 1614556800;  // 2021-03-01 00:00:00 UTC, written as wall-clock time
    long long channel[4] = {1200, -350, 40, 2000};
    static char out[1 << 16];
    std::setvbuf(stdout, out, _IOFBF, sizeof out);
    for (long long i = 0; i < lines; ++i, ++t) {
        std::tm c{};
        gmtime_r(&t, &c);
        for (long long& v : channel) {
            v += below(201) - 100 - v / 256;  // a drifting sensor, pulled back to zero
        }
        const long long scale = shape == "wide" ? 1000003 : 1;
        std::printf(shape == "padded" ? "%s%s%s%s%2d%s%02d:%02d:%02d%s%d%s%lld"
                                      : "%s%s%s%s%02d%s%02d:%02d:%02d%s%d%s%lld",
                    weekdays[c.tm_wday], gap(), months[c.tm_mon], gap(), c.tm_mday, gap(),
                    c.tm_hour, c.tm_min, c.tm_sec, gap(), c.tm_year + 1900, gap(), below(1000));
        for (const long long v : channel)
            std::printf("%s%lld", gap(), v * scale);
        std::fputs(shape == "crlf" ? "\r\n" : "\n", stdout);
    }
    return 0;
}
