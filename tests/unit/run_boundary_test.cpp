#include "run/run.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

struct memory {
    std::string bytes;
    std::size_t taken = 0;
};

ssize_t read_memory(void* context, char* buffer, std::size_t size)
{
    memory& m = *static_cast<memory*>(context);
    const std::size_t count = std::min(size, m.bytes.size() - m.taken);
    m.bytes.copy(buffer, count, m.taken);
    m.taken += count;
    return static_cast<ssize_t>(count);
}

// The rows of a run over the text from the given state, and the state it
// ends in.
std::vector<series_row> rows_of(const std::string& text, const boundary_state* from,
                                boundary_state& ended)
{
    memory m{text};
    run_plan plan;
    plan.form = &rows_form;
    plan.from = from;
    log_run* r = start_run({byte_source{-1, read_memory, &m}}, plan, choose_run());
    std::vector<series_row> rows(text.size() + 1);
    std::size_t count = 0;
    EXPECT_EQ(drive_run(*r, rows.data(), rows.size(), &count).end, run_end::input_ended);
    ended = run_boundary(*r);
    end_run(r);
    rows.resize(count);
    return rows;
}

bool same_rows(const std::vector<series_row>& a, const std::vector<series_row>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof a[0]) == 0;
}

// Across the New York change to summer time, with blank lines, a short time
// token and a line longer than a piece: cut at every line, the second run
// from the state the first ended in converts as the whole run does.
TEST(run_boundary, a_run_from_another_runs_end_goes_on_as_one_run)
{
    setenv("TZ", "America/New_York", 1);
    tzset();
    const std::vector<std::string> lines = {
        "Sun Apr 1 00:30:00 2001 0 1 2 3 4",
        "Sun Apr 1 01:59:59 2001 5 1 2 3 4",
        "Sun Apr 1 03:00:00 2001 0 1 2 3 4",
        "",
        "Sun Apr 1 9:05 2001 7",
        "Sun Apr 1 02:30:00 2001 9 1 2 3 4 " + std::string(140, 'x'),
        "",
        "Sun Apr 1 03:00:01 2001 0 1 2 3 4"};
    std::string whole;
    for (const std::string& line : lines)
        whole += line + '\n';
    boundary_state ended{};
    const std::vector<series_row> want = rows_of(whole, nullptr, ended);
    for (std::size_t cut = whole.find('\n'); cut != std::string::npos;
         cut = whole.find('\n', cut + 1)) {
        std::vector<series_row> got = rows_of(whole.substr(0, cut + 1), nullptr, ended);
        const boundary_state at_cut = ended;
        const std::vector<series_row> rest = rows_of(whole.substr(cut + 1), &at_cut, ended);
        got.insert(got.end(), rest.begin(), rest.end());
        EXPECT_TRUE(same_rows(got, want)) << "cut after byte " << cut;
    }
    unsetenv("TZ");
    tzset();
}

// What makes two states convert alike, and what does not.
TEST(run_boundary, converts_alike_only_where_no_later_line_can_tell)
{
    boundary_state base{};
    std::strcpy(base.record.time_token, "12:34:56");
    base.record.month = 8;
    base.mktime_offset_known = true;
    base.referenced = true;
    const struct {
        const char* what;
        void (*change)(boundary_state&);
        bool alike;
    } cases[] = {
        {"the weekday", [](boundary_state& s) { std::strcpy(s.record.weekday_token, "Tue"); },
         true},
        {"a separator", [](boundary_state& s) { s.record.time_token[2] = '.'; }, true},
        {"bytes past the columns", [](boundary_state& s) { s.record.time_token[9] = 'x'; }, true},
        {"a column", [](boundary_state& s) { s.record.time_token[7] = '7'; }, false},
        {"a channel", [](boundary_state& s) { s.record.channel_4 = 1; }, false},
        {"the month", [](boundary_state& s) { s.record.month = 9; }, false},
        {"the flag", [](boundary_state& s) { s.isdst = 1; }, false},
        {"mktime's memory", [](boundary_state& s) { s.mktime_offset = 3600; }, false},
        {"a memory not known", [](boundary_state& s) { s.mktime_offset_known = false; }, false},
        {"the reference", [](boundary_state& s) { s.reference_second = 1; }, false},
    };
    for (const auto& c : cases) {
        boundary_state changed = base;
        c.change(changed);
        EXPECT_EQ(converts_alike(base, changed), c.alike) << c.what;
    }
}

}  // namespace

namespace {

// The rows of a run that shares the process, as the Python package's runs
// do, driven a few rows at a time.
std::vector<series_row> shared_rows(const std::string& text, unsigned threads,
                                    std::size_t chunk_size)
{
    memory m{text};
    run_plan plan;
    plan.form = &rows_form;
    plan.shared_process = true;
    plan.zone = {false, true, "America/New_York"};
    plan.threads = threads;
    plan.chunk_size = chunk_size;
    log_run* r = start_run({byte_source{-1, read_memory, &m}}, plan, choose_run());
    std::vector<series_row> rows(text.size() + 1);
    std::size_t count = 0;
    for (run_end end = run_end::more; end == run_end::more;) {
        std::size_t got = 0;
        end = drive_run(*r, rows.data() + count, 3, &got).end;
        count += got;
    }
    end_run(r);
    rows.resize(count);
    return rows;
}

// On two threads, a line a chunk or a few lines, with three rows a drive:
// the rows of one thread. ThreadSanitizer runs this and the log command on
// threads.
TEST(run_on_threads, gives_the_rows_of_one_thread_in_any_chunks)
{
    // Hours 00 to 03 from 29 March to 2 April 2001, across New York's change
    // to summer time, with blank lines.
    std::string log;
    for (int i = 0; i < 60; ++i) {
        const int day = 29 + i / 12;
        log +=
            (day <= 31 ? "Thu Mar " + std::to_string(day) : "Sun Apr " + std::to_string(day - 31)) +
            " 0" + std::to_string(i % 4) + ":" + std::to_string(10 + i % 50) + ":00 2001 7 1 2 3 " +
            std::to_string(i) + "\n" + (i % 9 == 0 ? "\n" : "");
    }
    const std::vector<series_row> want = shared_rows(log, 1, 0);
    EXPECT_EQ(want.size(), 67u);
    for (const std::size_t chunk_size : {1, 50, 200})
        EXPECT_TRUE(same_rows(shared_rows(log, 2, chunk_size), want)) << chunk_size;
}

}  // namespace
