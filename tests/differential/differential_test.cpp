// Runs the reference filter and stamp_series over the same generated logs in
// many time zones and requires the same output bytes, messages and exit
// status. A failing input is kept as differential-failure-N.log.
//
// usage: differential_test REFERENCE PRODUCT [--all-zones]
#include "corpus.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

// "-" leaves TZ unset.
// clang-format off
const std::vector<std::string> default_zones = {
    "America/New_York",  "Europe/Dublin",    "Australia/Lord_Howe", "Pacific/Apia",
    "Africa/Casablanca", "Antarctica/Troll", "Pacific/Chatham",     "Asia/Kolkata",
    "America/Sao_Paulo", "Europe/Moscow",    "-"};
// clang-format on

struct outcome {
    int status;
    std::string out, err;
    bool operator==(const outcome&) const = default;
};

struct session {
    std::string reference, product, dir;
    long long inputs = 0, lines = 0, failures = 0;
};

std::string read_all(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_all(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary)
        .write(text.data(), static_cast<std::streamsize>(text.size()));
}

// Paths hold no quote; in "|command" feeds stdin from a pipe, out "" closes stdout.
outcome run(const session& s, const std::string& program, const std::string& in,
            const std::string& out)
{
    const std::string command = (in.starts_with("|") ? in.substr(1) + " | '" + program + "'"
                                                     : "'" + program + "' <'" + in + "'") +
                                (out.empty() ? " >&-" : " >'" + out + "'") + " 2>'" + s.dir +
                                "/err'";
    const int status = std::system(command.c_str());
    return {status, out == s.dir + "/out" ? read_all(out) : "", read_all(s.dir + "/err")};
}

// Shows the first line of output that differs.
void compare(session& s, const std::string& zone, const std::string& input, const std::string& in,
             const std::string& out)
{
    if (in == s.dir + "/in") write_all(in, input);
    const outcome want = run(s, s.reference, in, out), got = run(s, s.product, in, out);
    ++s.inputs;
    s.lines += std::count(want.out.begin(), want.out.end(), '\n');
    if (want == got) return;
    const auto at = static_cast<std::size_t>(
        std::mismatch(want.out.begin(), want.out.end(), got.out.begin(), got.out.end()).first -
        want.out.begin());
    const std::size_t start = want.out.substr(0, at).rfind('\n') + 1;  // npos + 1 is 0
    const auto line = [start](const std::string& text) {
        return text.substr(start, text.find('\n', start) - start);
    };
    const std::string kept =
        fs::absolute("differential-failure-" + std::to_string(++s.failures) + ".log");
    write_all(kept, input);
    std::printf(
        "DIFFERENCE in TZ=%s, input %s\n  wait status %#x vs %#x, stderr \"%s\" vs \"%s\"\n"
        "  output line %td: reference \"%s\", stamp_series \"%s\"\n",
        zone.c_str(), kept.c_str(), want.status, got.status, want.err.c_str(), got.err.c_str(),
        std::count(want.out.begin(), want.out.begin() + at, '\n') + 1, line(want.out).c_str(),
        line(got.out).c_str());
}

// Walks across each offset change, random dates and, with all_kinds, long
// well-formed and mangled logs; seeded by the zone's name (FNV-1a).
void compare_zone(session& s, const std::string& zone, bool all_kinds)
{
    zone == "-" ? unsetenv("TZ") : setenv("TZ", zone.c_str(), 1);
    tzset();
    std::uint64_t seed = 14695981039346656037u;
    for (const char c : zone)
        seed = (seed ^ static_cast<unsigned char>(c)) * 1099511628211u;
    const long long lines = s.lines, inputs = s.inputs;
    for (const std::string& input : zone_logs(seed, all_kinds))
        compare(s, zone, input, s.dir + "/in", s.dir + "/out");
    std::printf("%-32s %5lld inputs %8lld lines\n", zone.c_str(), s.inputs - inputs,
                s.lines - lines);
}

// Stdin a directory or a pipe that brings a few bytes at a time; stdout
// /dev/full or closed.
void compare_io(session& s)
{
    setenv("TZ", "America/New_York", 1);
    tzset();
    const std::string log = s.dir + "/log", out = s.dir + "/out", dd = "|dd status=none if=" + log;
    write_all(log, mixed_log(1));
    const std::string cases[][2] = {
        {"/", out},        {log, "/dev/full"},  {"/dev/null", "/dev/full"}, {log, ""},
        {"/dev/null", ""}, {dd + " bs=7", out}, {dd + " bs=61", out}};
    const long long lines = s.lines;
    for (const auto& [in, to] : cases)
        compare(s, "America/New_York", "(" + in + " to " + to + ")", in, to);
    std::printf("%-32s %5zu inputs %8lld lines\n", "pipes, read and write failures",
                std::size(cases), s.lines - lines);
}

// Every TZif file once: posix/, right/ and names that link to others left out.
std::vector<std::string> all_zones()
{
    const fs::path root = "/usr/share/zoneinfo";
    std::vector<std::string> zones;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
         ++it) {
        const std::string name = it->path().lexically_relative(root);
        if (name == "posix" || name == "right") it.disable_recursion_pending();
        if (!it->is_symlink() && it->is_regular_file() && read_all(it->path()).starts_with("TZif"))
            zones.push_back(name);
    }
    std::sort(zones.begin(), zones.end());
    return zones;
}

}  // namespace

int main(int argc, char** argv)
{
    const bool every_zone = argc == 4 && argv[3] == std::string_view("--all-zones");
    if (argc != 3 && !every_zone) {
        std::fprintf(stderr, "usage: %s REFERENCE PRODUCT [--all-zones]\n", argv[0]);
        return 2;
    }
    const std::vector<std::string> zones = every_zone ? all_zones() : default_zones;
    char dir[] = "/tmp/stamp_series_differential.XXXXXX";
    if (mkdtemp(dir) == nullptr) return 2;
    session s{fs::absolute(argv[1]), fs::absolute(argv[2]), dir};
    for (const std::string& zone : zones)
        compare_zone(s, zone, !every_zone);
    if (!every_zone) compare_io(s);
    std::printf("%zu zones, %lld inputs, %lld output lines compared, %lld differences\n",
                zones.size(), s.inputs, s.lines, s.failures);
    fs::remove_all(dir);
    return s.failures == 0 ? 0 : 1;
}
