#include "log_command/log_runs.hpp"

#include "input/log_input.hpp"
#include "log_command/log_loops.hpp"
#include "log_command/series_file.hpp"
#include "report.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr const char* program = "stamp_series_log";

// A run over a log: the loop's state and the log's decompressed bytes,
// made once (about 300 KiB, too much for some stacks).
struct log_run {
    filter_loop::run_state run;
    log_input input;
};

std::unique_ptr<log_run> start_log_run(int log_fd, int output_fd)
{
    std::unique_ptr<log_run> state(new (std::nothrow) log_run{});
    if (state == nullptr) {
        report(STDERR_FILENO, program, "%s", std::strerror(ENOMEM));
        return state;
    }
    start_log_input(state->input, byte_source{log_fd});
    start_reader(state->run.reader, log_bytes(state->input), log_fd);
    state->run.writer.fd = output_fd;
    state->run.writer.line_by_line = output_fd == STDOUT_FILENO && isatty(output_fd) == 1;
    return state;
}

// The read failure of a run, if any, in one line naming the log.
bool read_whole(const log_run& state, const char* name)
{
    const int error = state.run.reader.error;
    if (error == 0) {
        return true;
    }
    if (state.input.fault != nullptr) {
        report(STDERR_FILENO, program, "%s: %s data: %s", name, format_name(state.input.format),
               state.input.fault);
    } else {
        report(STDERR_FILENO, program, "%s: %s", name, std::strerror(error));
    }
    return false;
}

// Everything that can stop a conversion short, reported in one line.
bool converted_whole(log_run& state, const checked_series& out, filter_loop::run_end end,
                     const char* name, const char* series_name)
{
    const record_tally& tally = out.tally;
    if (end == filter_loop::run_end::zone_fault) {
        const zone_changes& zone = state.run.local_time.zone;
        report(STDERR_FILENO, program, "%s: %s", zone.fault_file, zone.fault);
    } else if (out.refused && tally.line_number == 1) {
        report(STDERR_FILENO, program,
               "%s:1: not a record (%s); every time would count from it; see --check", name,
               tally.fault.reason);
    } else if (out.refused) {
        report(STDERR_FILENO, program, "%s:%llu: not a record (%s), and --strict was given", name,
               static_cast<unsigned long long>(tally.line_number), tally.fault.reason);
    } else if (!flush_series(state.run.writer)) {
        report(STDERR_FILENO, program, "%s: %s", series_name,
               std::strerror(state.run.writer.error));
    } else {
        return read_whole(state, name);
    }
    return false;
}

// The warning of a conversion that went through lines that are not records.
void warn_of_non_records(const record_tally& tally, const char* name)
{
    const auto count = static_cast<unsigned long long>(tally.non_records);
    const auto first = static_cast<unsigned long long>(tally.first_non_record);
    if (count == 1) {
        report(STDERR_FILENO, program, "%s: 1 line is not a record (line %llu: %s); see --check",
               name, first, tally.first_fault.reason);
    } else if (count > 1) {
        report(STDERR_FILENO, program,
               "%s: %llu lines are not records (the first, line %llu: %s); see --check", name,
               count, first, tally.first_fault.reason);
    }
}

}  // namespace

int convert_log_file(const log_options& options, int log_fd, const char* name, log_choices choices)
{
    const bool to_output = std::strcmp(options.series, "-") == 0;
    const char* series_name = to_output ? "standard output" : options.series;
    if (!to_output && same_file(options.series, log_fd)) {
        report(STDERR_FILENO, program, "%s: the series would overwrite the log", series_name);
        return status_failed;
    }
    series_file series;
    const char* what = nullptr;
    if (!open_series(options.series, series, what)) {
        report(STDERR_FILENO, program, "%s: %s%s%s", series_name, what != nullptr ? what : "",
               what != nullptr ? ": " : "", std::strerror(errno));
        return status_failed;
    }
    const std::unique_ptr<log_run> state = start_log_run(log_fd, series.fd);
    if (state == nullptr) {
        discard_series(series);
        return status_failed;
    }
    start_local_time(state->run.local_time, choices.reuse_mktime_answers);
    checked_series out{options.strict, false, {}};
    const filter_loop::run_end end = convert_log(state->run, out, choices.target);
    const bool whole = converted_whole(*state, out, end, name, series_name);
    end_log_input(state->input);
    if (!whole) {
        discard_series(series);
        return status_failed;
    }
    if (!commit_series(series)) {
        report(STDERR_FILENO, program, "%s: %s", series_name, std::strerror(errno));
        return status_failed;
    }
    warn_of_non_records(out.tally, name);
    return status_done;
}

int check_log_file(int log_fd, const char* name, log_choices choices)
{
    const std::unique_ptr<log_run> state = start_log_run(log_fd, STDOUT_FILENO);
    if (state == nullptr) {
        return status_failed;
    }
    record_listing out{name, {}};
    check_log(state->run, out, choices.target);
    const bool read = read_whole(*state, name);
    end_log_input(state->input);
    const auto count = static_cast<unsigned long long>(out.tally.non_records);
    series_writer& writer = state->run.writer;
    if (read && count > 0) {
        char summary[8192];
        const std::size_t size =
            count == 1 ? format_line(summary, sizeof summary, "%s: 1 line is not a record", name)
                       : format_line(summary, sizeof summary, "%s: %llu lines are not records",
                                     name, count);
        write_text(writer, summary, size);
    }
    if (!flush_series(writer)) {
        report(STDERR_FILENO, program, "standard output: %s", std::strerror(writer.error));
        return status_failed;
    }
    return read && count == 0 ? status_done : status_failed;
}
