#include "series_filter.hpp"

#include "line_reader.hpp"
#include "local_time.hpp"
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

}  // namespace

int run_series_filter(int input_fd, int output_fd, int error_fd)
{
    tzset();
    line_reader reader{};
    reader.fd = input_fd;
    series_writer writer;
    writer.fd = output_fd;
    writer.line_by_line = isatty(output_fd) == 1;
    record_line line{};
    stamped_record record{};
    local_time_state local_time = make_local_time_state();
    std::int64_t record_count = 0;
    std::time_t reference_second = 0;

    while (read_piece(reader, line)) {
        parse_record(line, record);
        const converted_time converted = convert_record(record, local_time);
        if (record_count == 0) {
            reference_second = converted.record_seconds;
        }
        if (!write_series_line(writer, converted, reference_second, record)) {
            return report_failure(error_fd, "write", writer.error);
        }
        ++record_count;
    }
    if (!flush_series(writer)) {
        return report_failure(error_fd, "write", writer.error);
    }
    if (reader.error != 0) {
        return report_failure(error_fd, "read", reader.error);
    }
    return status_end_of_input;
}
