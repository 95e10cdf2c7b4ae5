// The loop of one run, written once for any vector kernel: each piece of
// input read, parsed, converted and written as one line of the series. Each
// vector target instantiates it into its own entry point (series_filter.cpp).
#pragma once

#include "data/stage_data.hpp"
#include "input/line_reader.hpp"
#include "record/parse_record.hpp"
#include "series/series_line.hpp"
#include "series/series_writer.hpp"
#include "time/local_time.hpp"

#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace filter_loop {

inline constexpr int status_end_of_input = 1;
inline constexpr int status_failure = 2;  // a read or write error, or a zone file unfit to use

// One line on error_fd, "stamp_series: " and the two parts after it.
inline int report(int error_fd, const char* first, const char* separator, const char* second)
{
    char message[zone_file_name_room + 64];
    const int length =
        std::snprintf(message, sizeof message, "stamp_series: %s%s%s\n", first, separator, second);
    if (length > 0) {
        const auto size = static_cast<std::size_t>(length);
        // Nothing more can be done if the report itself cannot be written.
        [[maybe_unused]] const ssize_t written =
            write(error_fd, message, size < sizeof message ? size : sizeof message - 1);
    }
    return status_failure;
}

inline int report_failure(int error_fd, const char* what, int error)
{
    return report(error_fd, what, " error: ", std::strerror(error));
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

// A zone file that the C library cannot convert with: what was converted
// before it goes out, and no record is converted with it.
inline int stop_at_zone_fault(run_state& run, int error_fd)
{
    if (!flush_series(run.writer)) {
        return report_failure(error_fd, "write", run.writer.error);
    }
    return report(error_fd, run.local_time.zone.fault_file, ": ", run.local_time.zone.fault);
}

// Reads more input, and before any of it is converted, looks again at the
// zone file. False when the zone file is one to stop at.
inline bool refill_and_follow_zone(run_state& run)
{
    refill(run.reader);
    follow_zone_file(run.local_time);
    return run.local_time.zone.fault == nullptr;
}

template <class level>
int run_loop(run_state& run, int error_fd)
{
    if (run.local_time.zone.fault != nullptr) {
        return stop_at_zone_fault(run, error_fd);
    }
    bool first_record = true;
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
            if (!refill_and_follow_zone(run)) {
                return stop_at_zone_fault(run, error_fd);
            }
            continue;
        }
        parse_record<level>(run.line, run.record);
        const converted_time converted = convert_record(run.record, run.local_time);
        if (first_record) {
            reference_second = converted.record_seconds;
            first_record = false;
        }
        if (!write_series_line<level>(run.writer, converted, reference_second, run.record)) {
            return report_failure(error_fd, "write", run.writer.error);
        }
    }
    if (!flush_series(run.writer)) {
        return report_failure(error_fd, "write", run.writer.error);
    }
    if (run.reader.error != 0) {
        return report_failure(error_fd, "read", run.reader.error);
    }
    return status_end_of_input;
}

}  // namespace filter_loop
