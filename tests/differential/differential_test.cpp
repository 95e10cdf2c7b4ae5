// Runs the reference filter and stamp_series over the same generated logs in
// many time zones and requires the same output bytes, messages and exit
// status. A failing input is kept as differential-failure-N.log.
//
// usage: differential_test REFERENCE PRODUCT [--all-zones | ZONE...]
// ZONE "-" leaves TZ unset; STAMP_SERIES_SEED=N generates other logs.
#include "corpus.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

// clang-format off
const char* const default_zones[] = {
    "America/New_York",  "Europe/Dublin",   "Australia/Lord_Howe", "Pacific/Apia",
    "Africa/Casablanca", "Antarctica/Troll", "Pacific/Chatham",     "Asia/Kolkata",
    "America/Sao_Paulo", "Europe/Moscow",   "-"};
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

std::string nth_line(const std::string& text, long long n)
{
    std::istringstream in(text);
    std::string line = "(none)";
    for (; n >= 0 && std::getline(in, line); --n) {
    }
    return n < 0 ? line : "(none)";
}

void set_zone(const std::string& zone)
{
    zone == "-" ? unsetenv("TZ") : setenv("TZ", zone.c_str(), 1);
    tzset();
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

void compare(session& s, const std::string& zone, const std::string& input, const std::string& in,
             const std::string& out)
{
    if (in == s.dir + "/in") write_all(in, input);
    const outcome want = run(s, s.reference, in, out), got = run(s, s.product, in, out);
    ++s.inputs;
    s.lines += std::count(want.out.begin(), want.out.end(), '\n');
    if (want == got) return;
    const long long line = std::count(
        want.out.begin(),
        std::mismatch(want.out.begin(), want.out.end(), got.out.begin(), got.out.end()).first,
        '\n');
    const std::string kept =
        fs::absolute("differential-failure-" + std::to_string(++s.failures) + ".log");
    write_all(kept, input);
    std::printf(
        "DIFFERENCE in TZ=%s, input %s\n  wait status %#x vs %#x, stderr \"%s\" vs \"%s\"\n"
        "  output line %lld: reference \"%s\", stamp_series \"%s\"\n",
        zone.c_str(), kept.c_str(), want.status, got.status, want.err.c_str(), got.err.c_str(),
        line + 1, nth_line(want.out, line).c_str(), nth_line(got.out, line).c_str());
}

std::uint64_t seed_of(const std::string& zone)  // FNV-1a of the name, from STAMP_SERIES_SEED
{
    const char* const seed = std::getenv("STAMP_SERIES_SEED");
    std::uint64_t h = seed != nullptr ? std::strtoull(seed, nullptr, 10) : 14695981039346656037u;
    for (const char c : zone)
        h = (h ^ static_cast<unsigned char>(c)) * 1099511628211u;
    return h;
}

// Walks across each transition from 1900 to 2040, a few dozen transitions to
// an input so that many runs start afresh, then random dates; with all_kinds
// also well-formed logs and mangled lines.
void compare_zone(session& s, const std::string& zone, bool all_kinds)
{
    set_zone(zone);
    corpus_rng rng(seed_of(zone));
    const std::vector<std::int64_t> transitions = zone_transitions(-2208988800, 2208988800);
    std::vector<std::string> inputs;
    for (std::size_t i = 0, n = 0; i < transitions.size(); i += n) {
        n = std::min<std::size_t>(transitions.size() - i, rng.between(1, 48));
        inputs.push_back(transition_walks(rng, std::span(transitions).subspan(i, n)));
    }
    inputs.push_back(random_dates(rng, all_kinds ? 5000 : 1500));
    if (all_kinds) {
        for (const std::string& more :
             {well_formed_log(rng, 20000), mangled_lines(rng, 30000), mangled_lines(rng, 30)}) {
            inputs.push_back(more);
        }
    }
    const long long lines = s.lines, count = s.inputs;
    for (const std::string& input : inputs)
        compare(s, zone, input, s.dir + "/in", s.dir + "/out");
    std::printf("%-32s %5lld inputs %8lld lines\n", zone.c_str(), s.inputs - count,
                s.lines - lines);
}

// Stdin a directory or a pipe that brings a few bytes at a time; stdout
// /dev/full or closed.
void compare_io(session& s)
{
    set_zone("America/New_York");
    corpus_rng rng(1);
    write_all(s.dir + "/log", well_formed_log(rng, 3000) + mangled_lines(rng, 3000));
    const std::string log = s.dir + "/log", out = s.dir + "/out", dd = "|dd status=none if=" + log;
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
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s REFERENCE PRODUCT [--all-zones | ZONE...]\n", argv[0]);
        return 2;
    }
    std::vector<std::string> zones(argv + 3, argv + argc);
    const bool every_zone = zones.size() == 1 && zones[0] == "--all-zones";
    if (every_zone) zones = all_zones();
    if (zones.empty()) zones.assign(std::begin(default_zones), std::end(default_zones));
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
