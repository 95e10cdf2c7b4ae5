// Runs stamp_series and the reference filter over the same bytes, in one of a
// few time zones picked by the first byte, with mktime's answers reused or
// not as its top bit says and on the vector target the second byte picks
// among those that run here (see fuzzed_targets), and aborts on any
// difference in output, messages or exit status; and aborts where the
// listing of stamp_series_log --check on that target is not the one the
// definition of a record gives, line by line.
#include "child_process.hpp"
#include "reference_filter.hpp"
#include "series_filter.hpp"
#include "simd/targets.hpp"

#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iterator>
#include <sstream>
#include <string>

namespace {

// clang-format off
const char* const zones[] = {
    "UTC", "America/New_York", "Europe/Dublin", "Australia/Lord_Howe", "Pacific/Apia",
    "Africa/Casablanca", "Antarctica/Troll", "Pacific/Chatham", "America/Sao_Paulo",
    "Europe/Moscow", "America/St_Johns", "right/Europe/London", "EST5EDT,M3.2.0,M11.1.0",
    "<+1345>-13:45<+1445>,M9.5.0/2:45,M4.1.0/3:45", "XXX3YYY,J60/-1,J61/25", "Asia/Tehran",
    "AAA3BBB,J100/12:10,J100/13:40", "PQR3STU,J200/5,J200/5:30", "KMI-0:16HOS-0:37,17/4:43:14,17/5:04:15",
    "NYE-10NYD,J365/23:30,J1/0:10", "right/Asia/Kathmandu", "EST5EDT"};
// clang-format on

outcome run_filter(const std::string& input, bool reference, run_choices choices)
{
    // mktime starts each search from the offset that its previous call found,
    // and an ambiguous first record (tm_isdst -1) depends on it: start both
    // runs from the offset of one fixed, unambiguous time.
    std::tm noon{};
    noon.tm_year = 100;
    noon.tm_mday = 1;
    noon.tm_hour = 12;
    noon.tm_isdst = -1;
    std::mktime(&noon);
    const int in = memory_file(input);
    const int out = memory_file("");
    const int err = memory_file("");
    if (in < 0 || out < 0 || err < 0) std::abort();
    int status = 0;
    if (reference) {
        std::FILE* files[] = {fdopen(dup(in), "r"), fdopen(dup(out), "w"), fdopen(dup(err), "w")};
        status = reference_filter(files[0], files[1], files[2]);
        for (std::FILE* file : files)
            std::fclose(file);
    } else {
        status = run_series_filter(in, out, err, choices);
    }
    close(in);
    return {status, contents_of(out), contents_of(err)};
}

// What --check lists for the input on the target, the quick way that takes
// the window scan's word, and the count of lines that are not records.
std::string quick_listing(const std::string& input, std::int64_t target)
{
    const int in = memory_file(input);
    const int out = memory_file("");
    if (in < 0 || out < 0) std::abort();
    run_plan plan;
    plan.form = run_form::listing;
    plan.output_fd = out;
    plan.log_name = "log";
    const run_outcome listed = run_log(descriptor_source(in), plan, {true, target});
    if (listed.end != run_end::input_ended) std::abort();
    close(in);
    return contents_of(out) + std::to_string(listed.non_records);
}

// The same, made with the definition itself, line by line in pieces of the
// filter's length.
std::string defined_listing(const std::string& input)
{
    std::string listing;
    unsigned long long line = 0;
    unsigned long long count = 0;
    bool inside_line = false;
    for (std::size_t at = 0; at < input.size();) {
        const std::size_t newline = input.find('\n', at);
        const std::size_t length =
            std::min(newline == std::string::npos ? input.size() - at : newline - at + 1,
                     record_line::max_length);
        const bool ends_line = input[at + length - 1] == '\n';
        record_fault why{};
        line += inside_line ? 0 : 1;
        const bool listed =
            !inside_line && !explain_record(input.data() + at, length, why) && ++count <= 10;
        if (listed) {
            char text[4 * 60 + 4];
            show_text(input.data() + at, length - (ends_line ? 1 : 0), 60, text);
            listing += "log:" + std::to_string(line) + ": " + why.reason + ": " + text + "\n";
        }
        inside_line = !ends_line;
        at += length;
    }
    return listing + std::to_string(count);
}

// The targets to choose among: those that run here, or, where
// STAMP_SERIES_FUZZ_TARGETS names some ("AVX2 SSE4 EMU128"), those of them
// that run here, so that a fixed run goes the same way on processors with
// more targets.
std::int64_t fuzzed_targets()
{
    const std::int64_t here = targets_here();
    const char* names = std::getenv("STAMP_SERIES_FUZZ_TARGETS");
    if (names == nullptr) return here;
    std::int64_t chosen = 0;
    std::istringstream words(names);
    for (std::string name; words >> name;)
        chosen |= target_named(name, here);
    if (chosen == 0) std::abort();
    return chosen;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::int64_t targets = fuzzed_targets();
    if (size < 2) return 0;
    const char* zone = zones[(data[0] & 0x7F) % std::size(zones)];
    const bool reuse = (data[0] & 0x80) == 0;
    std::int64_t target = targets;
    for (int skip = data[1] % std::popcount(static_cast<std::uint64_t>(target)); skip > 0; --skip)
        target &= target - 1;
    target &= -target;
    setenv("TZ", zone, 1);
    tzset();
    const std::string input(reinterpret_cast<const char*>(data) + 2, size - 2);
    const outcome want = run_filter(input, true, {reuse, target});
    const outcome got = run_filter(input, false, {reuse, target});
    const std::string listed = quick_listing(input, target);
    const std::string defined = defined_listing(input);
    if (listed != defined) {
        std::fprintf(stderr, "CHECK DIFFERS (target %s)\n--- by definition\n%s\n--- --check\n%s\n",
                     target_name(target), defined.c_str(), listed.c_str());
        std::abort();
    }
    if (!(want == got)) {
        std::fprintf(stderr,
                     "DIFFERENCE in TZ=%s (reuse %d, target %s): status %d vs %d\n--- "
                     "reference\n%s%s--- stamp_series\n%s%s",
                     zone, static_cast<int>(reuse), target_name(target), want.status, got.status,
                     want.out.c_str(), want.err.c_str(), got.out.c_str(), got.err.c_str());
        std::abort();
    }
    return 0;
}
