// Each stage of one line timed on its own, over lines of a generated log held
// in memory, and each shortcut against the plain way it stands in for. The
// comments in src/ name the benchmark that justifies each trick.
#include "line_reader.hpp"
#include "local_time.hpp"
#include "series_line.hpp"
#include "stamped_record.hpp"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int sample_lines = 1 << 16;

// One hour and more of one-second records, as bench/make_log writes them.
std::vector<record_line> sample_log()
{
    std::vector<record_line> lines(sample_lines);
    const char* const weekdays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    unsigned seed = 17;
    const auto next = [&seed](int n) {
        return static_cast<int>((seed = seed * 1103515245u + 12345u) >> 16) % n;
    };
    for (int i = 0; i < sample_lines; ++i) {
        const int t = 1000000 + i;
        std::snprintf(lines[i].text, sizeof lines[i].text,
                      "%s Mar %02d %02d:%02d:%02d 2021 %d %d %d %d %d\n", weekdays[t / 86400 % 7],
                      1 + t / 86400 % 28, t / 3600 % 24, t / 60 % 60, t % 60, next(1000),
                      next(3000) - 1500, next(3000) - 1500, next(300) - 150, next(5000) - 2500);
    }
    return lines;
}

std::vector<stamped_record> parsed(const std::vector<record_line>& lines)
{
    std::vector<stamped_record> records(lines.size());
    stamped_record record{};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        parse_record(lines[i], record);
        records[i] = record;
    }
    return records;
}

template <class parse>
void parse_with(benchmark::State& state, parse each)
{
    const std::vector<record_line> lines = sample_log();
    stamped_record record{};
    std::size_t i = 0;
    for (auto _ : state) {
        each(lines[i++ % lines.size()], record);
        benchmark::DoNotOptimize(record);
    }
}

void parse_token_by_token(benchmark::State& state)
{
    parse_with(state, [](const record_line& line, stamped_record& record) {
        stamped_record_detail::scan_tokens(stamped_record_detail::scan_tokens(line.text, 0, record),
                                           stamped_record_detail::date_slots, record);
        stamped_record_detail::derive_fields(record);
    });
}

void parse_date_prefix(benchmark::State& state)
{
    parse_with(state, [](const record_line& line, stamped_record& record) {
        date_prefix date;
        if (read_date_prefix(line.text, date)) stamped_record_detail::store_date(date, record);
        stamped_record_detail::scan_tokens(line.text + date_prefix::length,
                                           stamped_record_detail::date_slots, record);
        stamped_record_detail::derive_fields(record);
    });
}

template <class level>
void parse_window_numbers(benchmark::State& state)
{
    parse_with(state, [](const record_line& line, stamped_record& record) {
        parse_record<level>(line, record);
    });
}

void convert(benchmark::State& state)
{
    setenv("TZ", state.range(0) == 0 ? "UTC" : "America/New_York", 1);
    tzset();
    const std::vector<stamped_record> records = parsed(sample_log());
    auto local_time = std::make_unique<local_time_state>();
    start_local_time(*local_time, state.range(1) == 1);
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(convert_record(records[i++ % records.size()], *local_time));
    }
}

template <class format>
void format_with(benchmark::State& state, format each)
{
    const std::vector<stamped_record> records = parsed(sample_log());
    char line[series_line_room];
    std::size_t i = 0;
    for (auto _ : state) {
        const stamped_record& record = records[i++ % records.size()];
        const std::time_t seconds = 1000 * static_cast<std::time_t>(i % 4096);
        const converted_time time{seconds,
                                  static_cast<double>(seconds) + record.milliseconds * 0.001};
        each(line, time, record);
        benchmark::DoNotOptimize(line);
    }
}

void format_printf(benchmark::State& state)
{
    format_with(state, [](char* line, const converted_time& time, const stamped_record& r) {
        std::snprintf(line, series_line_room, "%.3f %d %d %d %d\n", time.record_time, r.channel_1,
                      r.channel_2, r.channel_3,
                      static_cast<int>(static_cast<unsigned>(r.channel_4) * 2u));
    });
}

void format_line(benchmark::State& state)
{
    format_with(state, [](char* line, const converted_time& time, const stamped_record& r) {
        format_series_line(line, time, 0, r);
    });
}

template <class level>
void cut_find_newline(benchmark::State& state)
{
    const std::vector<record_line> lines = sample_log();
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            line_reader_detail::find_newline<level>(lines[i++ % lines.size()].text, 130));
    }
}

void cut_memchr(benchmark::State& state)
{
    const std::vector<record_line> lines = sample_log();
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(std::memchr(lines[i++ % lines.size()].text, '\n', 130));
    }
}

}  // namespace

BENCHMARK(parse_token_by_token)->Name("parse/token_by_token");
BENCHMARK(parse_date_prefix)->Name("parse/date_prefix");
BENCHMARK(parse_window_numbers<scalar_level>)->Name("parse/window_numbers/scalar");
BENCHMARK(parse_window_numbers<default_level>)->Name("parse/window_numbers");
BENCHMARK(convert)
    ->Name("convert/every_mktime")
    ->Args({0, 0})
    ->Args({1, 0})
    ->ArgNames({"new_york", ""});
BENCHMARK(convert)->Name("convert/reuse")->Args({0, 1})->Args({1, 1})->ArgNames({"new_york", ""});
BENCHMARK(format_printf)->Name("format/printf");
BENCHMARK(format_line)->Name("format/line");
BENCHMARK(cut_memchr)->Name("cut/memchr");
BENCHMARK(cut_find_newline<scalar_level>)->Name("cut/find_newline/scalar");
BENCHMARK(cut_find_newline<default_level>)->Name("cut/find_newline");
BENCHMARK_MAIN();
