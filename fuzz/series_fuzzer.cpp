// Runs stamp_series and the reference filter over the same bytes, in one of a
// few time zones picked by the first byte, with mktime's answers reused or
// not as its top bit says and on the vector target the second byte picks
// among those that run here (see fuzzed_targets), and aborts on any
// difference in output, messages or exit status; aborts where the listing of
// stamp_series_log --check on that target, on two threads in tiny chunks, is
// not the one the definition of a record gives, line by line; and aborts
// where the series on two threads in tiny chunks is not the filter's.
#include "child_process.hpp"
#include "input/fd_io.hpp"
#include "reference_filter.hpp"
#include "series_filter.hpp"
#include "simd/targets.hpp"

#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// mktime starts each search from the offset that its previous call found,
// and an ambiguous first record (tm_isdst -1) depends on it: every run starts
// from the offset of one fixed, unambiguous time.
void reset_mktime()
{
    std::tm noon{};
    noon.tm_year = 100;
    noon.tm_mday = 1;
    noon.tm_hour = 12;
    noon.tm_isdst = -1;
    std::mktime(&noon);
}

outcome run_filter(const std::string& input, bool reference, run_choices choices)
{
    reset_mktime();
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

// A run of the plan's form over the input on two threads, in chunks of
// chunk_size bytes: its output, and the count of lines that are not records.
std::string run_in_chunks(const std::string& input, const run_form& form, run_choices choices,
                          std::size_t chunk_size)
{
    reset_mktime();
    const int in = memory_file(input);
    const int out = memory_file("");
    if (in < 0 || out < 0) std::abort();
    run_plan plan;
    plan.form = &form;
    plan.output_fd = out;
    plan.log_name = "log";
    plan.threads = chunk_size != 0 ? 2 : 1;
    plan.chunk_size = chunk_size;
    const run_outcome ended = run_log(descriptor_source(in), plan, choices);
    if (ended.end != run_end::input_ended && ended.end != run_end::zone_fault) {
        std::fprintf(stderr, "run on threads ended with %d, errno %d\n",
                     static_cast<int>(ended.end), ended.error);
        std::abort();
    }
    close(in);
    return contents_of(out) +
           (form.kind == form_kind::listing ? std::to_string(ended.non_records) : "");
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

// The series on two threads runs in a process of its own, forked once:
// its threads convert at once, and the counts of the coverage that steers
// the fuzzer, which they would bump from two threads at a time, are that
// process's, so that a run with a fixed seed goes the same way every time.
struct thread_runs {
    int requests;
    int answers;
};

std::size_t read_exactly(int fd, char* buffer, std::size_t size)
{
    std::size_t got = 0;
    for (ssize_t n = 1; got < size && n > 0; got += n > 0 ? static_cast<std::size_t>(n) : 0)
        n = read_some(fd, buffer + got, size - got);
    return got;
}

// A request: the zone, the choices, the chunk size and the input, each
// behind its length; the answer: the series.
void send(int fd, const std::string& text)
{
    const std::size_t length = text.size();
    if (write_all(fd, reinterpret_cast<const char*>(&length), sizeof length) != 0 ||
        write_all(fd, text.data(), length) != 0)
        std::abort();
}

bool receive(int fd, std::string& text)
{
    std::size_t length = 0;
    if (read_exactly(fd, reinterpret_cast<char*>(&length), sizeof length) != sizeof length)
        return false;
    text.resize(length);
    return read_exactly(fd, text.data(), length) == length;
}

[[noreturn]] void serve(int requests, int answers)
{
    std::string zone;
    std::string choices;
    std::string input;
    while (receive(requests, zone) && receive(requests, choices) && receive(requests, input)) {
        setenv("TZ", zone.c_str(), 1);
        tzset();
        run_choices c{};
        std::size_t chunk_size = 0;
        std::memcpy(&c, choices.data(), sizeof c);
        std::memcpy(&chunk_size, choices.data() + sizeof c, sizeof chunk_size);
        send(answers, run_in_chunks(input, checked_text_form, c, chunk_size));
    }
    _exit(0);
}

thread_runs start_thread_runs()
{
    int requests[2];
    int answers[2];
    if (pipe(requests) != 0 || pipe(answers) != 0) std::abort();
    const pid_t child = fork();
    if (child < 0) std::abort();
    if (child == 0) {
        close(requests[1]);  // so that the fuzzer's end closes the requests
        close(answers[0]);
        serve(requests[0], answers[1]);
    }
    close(requests[0]);
    close(answers[1]);
    return {requests[1], answers[0]};
}

std::string on_threads(const char* zone, run_choices choices, std::size_t chunk_size,
                       const std::string& input)
{
    static const thread_runs runs = start_thread_runs();
    std::string packed(sizeof choices + sizeof chunk_size, '\0');
    std::memcpy(packed.data(), &choices, sizeof choices);
    std::memcpy(packed.data() + sizeof choices, &chunk_size, sizeof chunk_size);
    send(runs.requests, zone);
    send(runs.requests, packed);
    send(runs.requests, input);
    std::string series;
    if (!receive(runs.answers, series)) {
        std::fprintf(stderr, "the process that runs the series on threads ended\n");
        std::abort();
    }
    return series;
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
    // Chunks of 1 to 256 bytes: every line a chunk of its own, up to a few.
    const std::size_t chunk_size = 1 + (data[0] ^ data[1] ^ size) % 256;
    const std::string listed = run_in_chunks(input, listing_form, {reuse, target}, 0);
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
    const std::string threaded =
        got.status == 1 ? on_threads(zone, {reuse, target}, chunk_size, input) : "";
    if (got.status == 1 && threaded != got.out) {
        std::fprintf(stderr,
                     "ON THREADS, chunks of %zu bytes, in TZ=%s (reuse %d, target %s)\n--- one "
                     "thread\n%s--- two\n%s",
                     chunk_size, zone, static_cast<int>(reuse), target_name(target),
                     got.out.c_str(), threaded.c_str());
        std::abort();
    }
    return 0;
}
