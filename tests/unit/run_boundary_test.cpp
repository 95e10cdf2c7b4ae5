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
    plan.form = run_form::rows;
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
