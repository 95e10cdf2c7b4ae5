#include "log_command/log_runs.hpp"

#include "log_command/series_file.hpp"
#include "run/log_source.hpp"
#include "series/report.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr const char* program = "stamp_series_log";

// The threads of the run, and its chunks' size.
run_plan threads_of(const log_options& options)
{
    run_plan plan;
    plan.form = &checked_text_form;
    plan.threads = options.threads != 0 ? options.threads : processors_available();
    plan.chunk_size = options.chunk_size;
    return plan;
}

// A run over the log, its bytes decompressed where they are compressed.
run_outcome run_over_log(int log_fd, const run_plan& plan, run_choices choices)
{
    const std::unique_ptr<log_source> log(new (std::nothrow) log_source{});
    if (log == nullptr) {
        return outcome_of(run_end::read_failed, ENOMEM);
    }
    run_outcome outcome =
        run_log(start_log_source(*log, byte_source{log_fd}, log_fd), plan, choices);
    end_log_source(*log);
    return outcome;
}

// What stopped the run short, in one line naming the log, the zone file or
// the output; false when the whole log was read.
bool report_failure(const run_outcome& o, const char* name, const char* output_name)
{
    switch (o.end) {
        case run_end::more:
        case run_end::input_ended: return false;
        case run_end::read_failed:
            report(STDERR_FILENO, program, "%s: %s", name, std::strerror(o.error));
            break;
        case run_end::compressed_fault:
            report(STDERR_FILENO, program, "%s: %s data: %s", name, o.format, o.fault);
            break;
        case run_end::zone_fault:
            report(STDERR_FILENO, program, "%s: %s", o.zone_file.c_str(), o.fault);
            break;
        case run_end::output_failed:
            report(STDERR_FILENO, program, "%s: %s", output_name, std::strerror(o.error));
            break;
        case run_end::not_a_record:
            if (o.line_number == 1) {
                report(STDERR_FILENO, program,
                       "%s:1: not a record (%s); every time would count from it; see --check", name,
                       o.reason.reason);
            } else {
                report(STDERR_FILENO, program, "%s:%llu: not a record (%s), and --strict was given",
                       name, static_cast<unsigned long long>(o.line_number), o.reason.reason);
            }
            break;
    }
    return true;
}

// The warning of a conversion that went through lines that are not records.
void warn_of_non_records(const run_outcome& o, const char* name)
{
    const auto count = static_cast<unsigned long long>(o.non_records);
    const auto first = static_cast<unsigned long long>(o.first_non_record);
    if (count == 1) {
        report(STDERR_FILENO, program, "%s: 1 line is not a record (line %llu: %s); see --check",
               name, first, o.first_fault.reason);
    } else if (count > 1) {
        report(STDERR_FILENO, program,
               "%s: %llu lines are not records (the first, line %llu: %s); see --check", name,
               count, first, o.first_fault.reason);
    }
}

}  // namespace

int convert_log_file(const log_options& options, int log_fd, const char* name, run_choices choices)
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
    run_plan plan = threads_of(options);
    plan.rule = options.strict ? record_rule::every_line : record_rule::first_line;
    plan.output_fd = series.fd;
    plan.line_by_line = series.fd == STDOUT_FILENO && isatty(series.fd) == 1;
    plan.durable = is_synced(series);
    const run_outcome outcome = run_over_log(log_fd, plan, choices);
    if (report_failure(outcome, name, series_name)) {
        discard_series(series);
        return status_failed;
    }
    if (!commit_series(series)) {
        report(STDERR_FILENO, program, "%s: %s", series_name, std::strerror(errno));
        return status_failed;
    }
    warn_of_non_records(outcome, name);
    return status_done;
}

int check_log_file(const log_options& options, int log_fd, const char* name, run_choices choices)
{
    run_plan plan = threads_of(options);
    plan.form = &listing_form;
    plan.output_fd = STDOUT_FILENO;
    plan.log_name = name;
    const run_outcome outcome = run_over_log(log_fd, plan, choices);
    if (report_failure(outcome, name, "standard output")) {
        return status_failed;
    }
    const auto count = static_cast<unsigned long long>(outcome.non_records);
    const int error =
        count == 0   ? 0
        : count == 1 ? print_line(STDOUT_FILENO, "%s: 1 line is not a record", name)
                     : print_line(STDOUT_FILENO, "%s: %llu lines are not records", name, count);
    if (error != 0) {
        report(STDERR_FILENO, program, "standard output: %s", std::strerror(error));
        return status_failed;
    }
    return count == 0 ? status_done : status_failed;
}
