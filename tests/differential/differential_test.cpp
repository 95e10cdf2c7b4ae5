// Runs the reference filter and stamp_series (and any further builds of it)
// over the same generated logs in many time zones and TZ strings, and
// requires the same output bytes, messages and exit status. A failing input
// is kept as differential-failure-N.log.
//
// usage: differential_test [--all-zones] [--every N] [--write-inputs DIR] REFERENCE PRODUCT...
//   where a PRODUCT may carry arguments: "path arg", and --every N takes
//   every Nth zone and rule, for builds whose processes run many times slower.
//   --write-inputs writes each input with its TZ and the reference's output
//   to DIR, for products that are not programs (the Python package's tests);
//   then no PRODUCT is needed.
#include "child_process.hpp"
#include "corpus.hpp"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

namespace fs = std::filesystem;

using program = std::vector<std::string>;

// std::nullopt leaves TZ unset; the C library reads the two misspelt names as UTC.
const std::vector<std::optional<std::string>> default_zones = {
    "America/New_York",     "Europe/Dublin",    "Australia/Lord_Howe", "Pacific/Apia",
    "Africa/Casablanca",    "Antarctica/Troll", "Pacific/Chatham",     "Asia/Kolkata",
    "America/Sao_Paulo",    "Europe/Moscow",    "right/Europe/London", "right/America/New_York",
    "right/Asia/Kathmandu", "Nowhere/Such",     "Europe/Londn",        std::nullopt};

struct session {
    program reference;
    std::vector<program> products;
    fs::path write_dir;
    long long inputs = 0, lines = 0, failures = 0;
};

std::string zone_name(const std::optional<std::string>& tz)
{
    return tz ? *tz : "(TZ unset)";
}

// Shows the first line of output that differs, and keeps the input.
void report(session& s, const std::string& what, const std::string& input, const outcome& want,
            const outcome& got, const program& product)
{
    const auto at = static_cast<std::size_t>(
        std::mismatch(want.out.begin(), want.out.end(), got.out.begin(), got.out.end()).first -
        want.out.begin());
    const std::size_t start = want.out.substr(0, at).rfind('\n') + 1;  // npos + 1 is 0
    const auto line = [start](const std::string& text) {
        return text.substr(start, text.find('\n', start) - start);
    };
    const std::string kept =
        fs::absolute("differential-failure-" + std::to_string(++s.failures) + ".log");
    std::ofstream(kept, std::ios::binary) << input;
    std::printf(
        "DIFFERENCE for %s in %s, input %s\n  wait status %#x vs %#x, stderr \"%s\" vs \"%s\"\n"
        "  output line %td: reference \"%s\", product \"%s\"\n",
        product[0].c_str(), what.c_str(), kept.c_str(), want.status, got.status, want.err.c_str(),
        got.err.c_str(),
        std::count(want.out.begin(), want.out.begin() + static_cast<std::ptrdiff_t>(at), '\n') + 1,
        line(want.out).c_str(), line(got.out).c_str());
}

// DIR/N.log, the input; DIR/N.tz, its TZ, absent for TZ unset; DIR/N.out,
// the reference's output.
void write_input(const session& s, const std::optional<std::string>& tz, const std::string& input,
                 const std::string& output)
{
    const std::string base = (s.write_dir / std::to_string(s.inputs)).string();
    const auto put = [](const std::string& path, const std::string& text) {
        std::ofstream file(path, std::ios::binary);
        if (!(file << text).flush()) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            std::exit(2);
        }
    };
    put(base + ".log", input);
    put(base + ".out", output);
    if (tz) put(base + ".tz", *tz);
}

void compare(session& s, const std::optional<std::string>& tz, const std::string& input)
{
    const outcome want = run_on(s.reference, tz, input);
    if (!s.write_dir.empty()) write_input(s, tz, input, want.out);
    ++s.inputs;
    s.lines += std::count(want.out.begin(), want.out.end(), '\n');
    for (const program& product : s.products) {
        const outcome got = run_on(product, tz, input);
        if (!(want == got)) report(s, zone_name(tz), input, want, got, product);
    }
}

// Walks across each offset change, random dates and, with all_kinds, long
// well-formed and mangled logs; seeded by the zone's name (FNV-1a).
void compare_zone(session& s, const std::optional<std::string>& tz, bool all_kinds)
{
    tz ? setenv("TZ", tz->c_str(), 1) : unsetenv("TZ");
    tzset();
    std::uint64_t seed = 14695981039346656037u;
    for (const char c : zone_name(tz))
        seed = (seed ^ static_cast<unsigned char>(c)) * 1099511628211u;
    const long long lines = s.lines;
    const long long inputs = s.inputs;
    for (const std::string& input : zone_logs(seed, all_kinds))
        compare(s, tz, input);
    std::printf("%-32s %5lld inputs %8lld lines\n", zone_name(tz).c_str(), s.inputs - inputs,
                s.lines - lines);
}

void compare_rules(session& s, int count)
{
    const long long lines = s.lines;
    const long long inputs = s.inputs;
    const std::vector<rule_zone> zones = rule_zones(20011028, count);
    for (const rule_zone& zone : zones)
        for (const std::string& log : zone.logs)
            compare(s, zone.tz, log);
    std::printf("%-32s %5lld inputs %8lld lines\n",
                (std::to_string(zones.size()) + " TZ strings with rules").c_str(),
                s.inputs - inputs, s.lines - lines);
}

// Stdin a pipe fed `chunk` bytes at a time, so that records arrive cut
// anywhere. (Failing input and output are tests/cli's fault cases.)
outcome run_piped(const program& p, const std::string& log, int chunk)
{
    const fed_pipe fed = feed_pipe(log, chunk);
    const int out = memory_file("");
    const int err = memory_file("");
    const int status = run_child(p, "America/New_York", fed.read_fd, out, err);
    close(fed.read_fd);
    wait_for(fed.writer);
    return {status, contents_of(out), contents_of(err)};
}

void compare_pipes(session& s)
{
    const std::string log = mixed_log(1);
    const int chunks[] = {7, 61};
    const long long lines = s.lines;
    for (const int chunk : chunks) {
        const outcome want = run_piped(s.reference, log, chunk);
        ++s.inputs;
        s.lines += std::count(want.out.begin(), want.out.end(), '\n');
        for (const program& product : s.products) {
            const outcome got = run_piped(product, log, chunk);
            if (!(want == got)) report(s, "a pipe", log, want, got, product);
        }
    }
    std::printf("%-32s %5zu inputs %8lld lines\n", "pipes", std::size(chunks), s.lines - lines);
}

// Every TZif file once: posix/, right/ and names that link to others left out.
std::vector<std::optional<std::string>> all_zones()
{
    const fs::path root = "/usr/share/zoneinfo";
    std::vector<std::optional<std::string>> zones;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
         ++it) {
        const std::string name = it->path().lexically_relative(root);
        if (name == "posix" || name == "right") it.disable_recursion_pending();
        std::ifstream file(it->path(), std::ios::binary);
        char magic[4] = {};
        if (!it->is_symlink() && it->is_regular_file() && file.read(magic, 4) &&
            std::string_view(magic, 4) == "TZif")
            zones.push_back(name);
    }
    std::sort(zones.begin(), zones.end());
    return zones;
}

// Europe/Berlin with a footer that names daylight saving but gives no rule,
// in a TZDIR whose default rules, which the C library then reads in place of
// the file, are New York's; the last input is the one that first showed it.
void compare_footer_without_rule(session& s)
{
    const fs::path dir = fs::temp_directory_path() / ("made_zones_" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::ifstream zone("/usr/share/zoneinfo/Europe/Berlin", std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(zone), {}};
    std::ofstream(dir / "footer_without_rule", std::ios::binary)
        << bytes.substr(0, bytes.rfind('\n', bytes.size() - 2)) << "\nAAA5BBB\n";
    fs::create_symlink("/usr/share/zoneinfo/America/New_York", dir / "posixrules");
    setenv("TZDIR", dir.c_str(), 1);
    compare_zone(s, "footer_without_rule", true);
    compare(s, "footer_without_rule",
            "Mon Oct 11 08:10:10 2094 0 1 2 3 4\nFri Oct 23 23:45:10 2015 0 1 2 3 4\n"
            "Tue Feb 19 10:38:42 1935 0 1 2 3 4\n");
    unsetenv("TZDIR");
    fs::remove_all(dir);
}

program split(const std::string& text)
{
    std::istringstream words(text);
    program p{std::istream_iterator<std::string>(words), {}};
    p[0] = fs::absolute(p[0]);
    return p;
}

// The product, or for a product whose last word is EACH (a filter_variant
// command), one product for each vector target that `--targets` lists.
std::vector<program> products_of(const std::string& text)
{
    program p = split(text);
    if (p.back() != "EACH") return {p};
    std::vector<program> each;
    const outcome listed = run_on({p[0], "--targets"}, std::nullopt, "");
    std::istringstream names(listed.out);
    for (std::string name; names >> name;) {
        p.back() = name;
        each.push_back(p);
    }
    if (listed.status != 0 || each.empty()) {
        std::fprintf(stderr, "cannot list the vector targets of %s\n", p[0].c_str());
        std::exit(2);
    }
    return each;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    std::size_t first = 0;
    const bool every_zone = args.size() > first && args[first] == "--all-zones";
    first += every_zone ? 1 : 0;
    std::size_t every = 1;
    if (args.size() > first + 1 && args[first] == "--every") {
        every = std::max<std::size_t>(1, std::strtoul(args[first + 1].data(), nullptr, 10));
        first += 2;
    }
    fs::path write_dir;
    if (args.size() > first + 1 && args[first] == "--write-inputs") {
        write_dir = args[first + 1];
        first += 2;
    }
    if (args.size() < first + (write_dir.empty() ? 2 : 1)) {
        std::fprintf(stderr,
                     "usage: %s [--all-zones] [--every N] [--write-inputs DIR] REFERENCE "
                     "PRODUCT...\n",
                     argv[0]);
        return 2;
    }
    session s{split(std::string(args[first])), {}, write_dir};
    for (std::size_t i = first + 1; i < args.size(); ++i)
        for (program& p : products_of(std::string(args[i])))
            s.products.push_back(std::move(p));
    const auto zones = every_zone ? all_zones() : default_zones;
    for (std::size_t i = 0; i < zones.size(); i += every)
        compare_zone(s, zones[i], !every_zone);
    // Written inputs leave out the zone directory made for the run, gone when
    // it ends, and the pipes, which feed the same bytes in pieces.
    if (!every_zone) {
        if (write_dir.empty()) compare_footer_without_rule(s);
        compare_rules(s, static_cast<int>(150 / every));
        if (write_dir.empty()) compare_pipes(s);
    }
    std::printf("%zu zones, %lld inputs, %lld output lines compared, %lld differences\n",
                (zones.size() + every - 1) / every, s.inputs, s.lines, s.failures);
    return s.failures == 0 ? 0 : 1;
}
