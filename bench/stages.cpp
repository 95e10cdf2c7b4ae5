// Each stage of one line timed on its own, over lines of a generated log held
// in memory, and each shortcut against the plain way it stands in for; the
// stages that use the vector kernel on every target that runs here.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "stages.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include <hwy/highway.h>

#ifndef STAMP_SERIES_BENCH_STAGES_SHARED
#define STAMP_SERIES_BENCH_STAGES_SHARED
#include "data/stage_data.hpp"
#include "input/line_reader.hpp"
#include "record/parse_record.hpp"
#include "series/series_line.hpp"
#include "simd/target_table.hpp"
#include "simd/targets.hpp"
#include "time/local_time.hpp"

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

// One hour and more of one-second records, as bench/make_log writes them,
// laid out one after another as the reader holds them.
struct sample_log {
    std::vector<char> bytes;
    std::vector<record_line> lines;
};

const sample_log& sample()
{
    static const sample_log log = [] {
        sample_log made;
        std::string text;
        std::vector<std::size_t> starts;
        const char* const weekdays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
        unsigned seed = 17;
        const auto next = [&seed](int n) {
            return static_cast<int>((seed = seed * 1103515245u + 12345u) >> 16) % n;
        };
        for (int i = 0; i < sample_lines; ++i) {
            const int t = 1000000 + i;
            char line[160];
            std::snprintf(line, sizeof line, "%s Mar %02d %02d:%02d:%02d 2021 %d %d %d %d %d\n",
                          weekdays[t / 86400 % 7], 1 + t / 86400 % 28, t / 3600 % 24, t / 60 % 60,
                          t % 60, next(1000), next(3000) - 1500, next(3000) - 1500, next(300) - 150,
                          next(5000) - 2500);
            starts.push_back(text.size());
            text += line;
        }
        made.bytes.assign(record_line::before, ' ');
        made.bytes.insert(made.bytes.end(), text.begin(), text.end());
        made.bytes.resize(made.bytes.size() + record_line::max_length + record_line::after, ' ');
        for (std::size_t i = 0; i < starts.size(); ++i) {
            const std::size_t end = i + 1 < starts.size() ? starts[i + 1] : text.size();
            made.lines.push_back(
                {made.bytes.data() + record_line::before + starts[i], end - starts[i]});
        }
        return made;
    }();
    return log;
}

std::vector<stamped_record> parsed()
{
    std::vector<stamped_record> records;
    stamped_record record{};
    for (const record_line& line : sample().lines) {
        parse_record_by_tokens(line, record);
        records.push_back(record);
    }
    return records;
}

template <class parse>
void parse_with(benchmark::State& state, parse each)
{
    const std::vector<record_line>& lines = sample().lines;
    stamped_record record{};
    std::size_t i = 0;
    for (auto _ : state) {
        each(lines[i++ % lines.size()], record);
        benchmark::DoNotOptimize(record);
    }
}

void parse_token_by_token(benchmark::State& state)
{
    parse_with(state, parse_record_by_tokens);
}

void convert(benchmark::State& state)
{
    setenv("TZ", state.range(0) == 0 ? "UTC" : "America/New_York", 1);
    tzset();
    const std::vector<stamped_record> records = parsed();
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
    const std::vector<stamped_record> records = parsed();
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

void cut_memchr(benchmark::State& state)
{
    const std::vector<record_line>& lines = sample().lines;
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(std::memchr(lines[i++ % lines.size()].text, '\n', 130));
    }
}

}  // namespace
#endif

#include "simd/kernel-inl.hpp"

HWY_BEFORE_NAMESPACE();
namespace kernel::HWY_NAMESPACE {

[[gnu::flatten]] void parse_window(benchmark::State& state)
{
    parse_with(state, [](const record_line& line, stamped_record& record) {
        parse_record<vector_kernel>(line, record);
    });
}

[[gnu::flatten]] void format_line(benchmark::State& state)
{
    format_with(state, [](char* line, const converted_time& time, const stamped_record& r) {
        format_series_line<vector_kernel>(line, time, 0, r);
    });
}

[[gnu::flatten]] void cut_find_newline(benchmark::State& state)
{
    const std::vector<record_line>& lines = sample().lines;
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(find_newline<vector_kernel>(lines[i++ % lines.size()].text, 130));
    }
}

}  // namespace kernel::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace kernel {

using stage = void(benchmark::State&);
constexpr target_entry<stage> parse_windows[] = {TARGET_ENTRIES(parse_window)};
constexpr target_entry<stage> format_lines[] = {TARGET_ENTRIES(format_line)};
constexpr target_entry<stage> cut_newlines[] = {TARGET_ENTRIES(cut_find_newline)};

// The three kernel stages of one target.
void register_target(std::int64_t target)
{
    const std::string name = target_name(target);
    benchmark::RegisterBenchmark(("parse/window/" + name).c_str(),
                                 entry_for(parse_windows, target));
    benchmark::RegisterBenchmark(("format/line/" + name).c_str(), entry_for(format_lines, target));
    benchmark::RegisterBenchmark(("cut/find_newline/" + name).c_str(),
                                 entry_for(cut_newlines, target));
}

}  // namespace kernel

int main(int argc, char** argv)
{
    benchmark::RegisterBenchmark("parse/token_by_token", parse_token_by_token);
    benchmark::RegisterBenchmark("convert/every_mktime", convert)
        ->Args({0, 0})
        ->Args({1, 0})
        ->ArgNames({"new_york", ""});
    benchmark::RegisterBenchmark("convert/reuse", convert)
        ->Args({0, 1})
        ->Args({1, 1})
        ->ArgNames({"new_york", ""});
    benchmark::RegisterBenchmark("format/printf", format_printf);
    benchmark::RegisterBenchmark("cut/memchr", cut_memchr);
    for (std::int64_t rest = targets_here(); rest != 0; rest &= rest - 1) {
        kernel::register_target(best_target(rest));
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
#endif
