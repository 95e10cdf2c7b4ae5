// Times the three stages of one line separately, over lines of a generated
// log held in memory: parse_record, convert_record and write_series_line.
#include "local_time.hpp"
#include "series_writer.hpp"
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

void parse(benchmark::State& state)
{
    const std::vector<record_line> lines = sample_log();
    stamped_record record{};
    std::size_t i = 0;
    for (auto _ : state) {
        parse_record(lines[i++ % lines.size()], record);
        benchmark::DoNotOptimize(record);
    }
}

void convert(benchmark::State& state)
{
    setenv("TZ", state.range(0) == 0 ? "UTC" : "America/New_York", 1);
    tzset();
    const std::vector<stamped_record> records = parsed(sample_log());
    local_time_state local_time = make_local_time_state();
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(convert_record(records[i++ % records.size()], local_time));
    }
}

void format(benchmark::State& state)
{
    const std::vector<stamped_record> records = parsed(sample_log());
    auto writer = std::make_unique<series_writer>();
    writer->fd = -1;
    std::size_t i = 0;
    for (auto _ : state) {
        const stamped_record& record = records[i++ % records.size()];
        writer->used = 0;
        const std::time_t seconds = 1000 * static_cast<std::time_t>(i % 4096);
        const converted_time time{seconds,
                                  static_cast<double>(seconds) + record.milliseconds * 0.001};
        write_series_line(*writer, time, 0, record);
        benchmark::DoNotOptimize(writer->buffer);
    }
}

}  // namespace

BENCHMARK(parse);
BENCHMARK(convert)->Arg(0)->Arg(1)->ArgName("new_york");
BENCHMARK(format);
BENCHMARK_MAIN();
