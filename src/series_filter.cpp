#include "series_filter.hpp"

#include "line_reader.hpp"
#include "local_time.hpp"
#include "series_line.hpp"
#include "series_writer.hpp"
#include "stamped_record.hpp"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

constexpr int status_end_of_input = 1;
constexpr int status_io_error = 2;

int report_failure(int error_fd, const char* what, int error)
{
    char message[256];
    const int length = std::snprintf(message, sizeof message, "stamp_series: %s error: %s\n", what,
                                     std::strerror(error));
    if (length > 0) {
        const auto size = static_cast<std::size_t>(length);
        // Nothing more can be done if the report itself cannot be written.
        [[maybe_unused]] const ssize_t written =
            write(error_fd, message, size < sizeof message ? size : sizeof message - 1);
    }
    return status_io_error;
}

template <class level>
bool write_series_line(series_writer& writer, const converted_time& time,
                       std::time_t reference_second, const stamped_record& record)
{
    char* out = series_room(writer, series_line_room);
    return out != nullptr &&
           end_series_line(writer, format_series_line<level>(out, time, reference_second, record));
}

// The state of a run, none of it allocated: the reader's and the writer's
// buffers and the conversion's memo of hours.
struct run_state {
    line_reader reader;
    series_writer writer;
    record_line line;
    stamped_record record;
    local_time_state local_time;
};

template <class level>
int run_loop(run_state& run, int error_fd)
{
    std::int32_t record_count = 0;
    std::time_t reference_second = 0;
    for (;;) {
        if (!take_piece<level>(run.reader, run.line)) {
            if (run.reader.at_end) {
                break;
            }
            // Before a read that would wait, what has been converted goes
            // out: a followed log flows through a pipeline line by line,
            // while a bulk run, whose input is always ready, keeps its
            // large writes.
            if (!input_ready(run.reader) && !flush_series(run.writer)) {
                return report_failure(error_fd, "write", run.writer.error);
            }
            refill(run.reader);
            follow_zone_file(run.local_time);
            continue;
        }
        parse_record<level>(run.line, run.record);
        const converted_time converted = convert_record(run.record, run.local_time);
        if (record_count == 0) {
            reference_second = converted.record_seconds;
        }
        if (!write_series_line<level>(run.writer, converted, reference_second, run.record)) {
            return report_failure(error_fd, "write", run.writer.error);
        }
        // Past 2^31 lines the count stays put rather than wrap to 0: only
        // the first line sets the reference.
        record_count += record_count < INT32_MAX ? 1 : 0;
    }
    if (!flush_series(run.writer)) {
        return report_failure(error_fd, "write", run.writer.error);
    }
    if (run.reader.error != 0) {
        return report_failure(error_fd, "read", run.reader.error);
    }
    return status_end_of_input;
}

// One entry point for each level, compiled for the processors of that
// level, into which the whole loop is inlined.
[[gnu::flatten]] int run_scalar(run_state& run, int error_fd)
{
    return run_loop<scalar_level>(run, error_fd);
}

#if STAMP_SERIES_VECTOR_LEVELS
[[gnu::flatten]] int run_sse2(run_state& run, int error_fd)
{
    return run_loop<sse2_level>(run, error_fd);
}

[[gnu::flatten, gnu::target(STAMP_SERIES_AVX2_TARGET)]] int run_avx2(run_state& run, int error_fd)
{
    return run_loop<avx2_level>(run, error_fd);
}
#endif

int run_level(vector_level level, run_state& run, int error_fd)
{
#if STAMP_SERIES_VECTOR_LEVELS
    switch (level) {
        case vector_level::avx2: return run_avx2(run, error_fd);
        case vector_level::sse2: return run_sse2(run, error_fd);
        case vector_level::scalar: break;
    }
#endif
    (void)level;
    return run_scalar(run, error_fd);
}

}  // namespace

int run_series_filter(int input_fd, int output_fd, int error_fd, filter_choices choices)
{
    run_state run{};
    start_reader(run.reader, input_fd);
    run.writer.fd = output_fd;
    run.writer.line_by_line = isatty(output_fd) == 1;
    start_local_time(run.local_time, choices.reuse_mktime_answers);
    return run_level(choices.level, run, error_fd);
}
