#include "series_filter.hpp"

#include "series/report.hpp"

#include <unistd.h>

#include <cstring>

namespace {

constexpr int status_end_of_input = 1;
constexpr int status_failure = 2;  // a read or write error, or a zone file unfit to use
constexpr const char* program = "stamp_series";

}  // namespace

int run_series_filter(int input_fd, int output_fd, int error_fd, run_choices choices)
{
    run_plan plan;
    plan.form = &text_form;
    plan.output_fd = output_fd;
    plan.line_by_line = isatty(output_fd) == 1;
    // What was converted has gone out whatever stopped the run; then the
    // failure, if any, is reported.
    const run_outcome outcome = run_log(descriptor_source(input_fd), plan, choices);
    switch (outcome.end) {
        case run_end::output_failed:
            report(error_fd, program, "write error: %s", std::strerror(outcome.error));
            return status_failure;
        case run_end::zone_fault:
            report(error_fd, program, "%s: %s", outcome.zone_file.c_str(), outcome.fault);
            return status_failure;
        case run_end::read_failed:
        case run_end::compressed_fault:
            report(error_fd, program, "read error: %s", std::strerror(outcome.error));
            return status_failure;
        case run_end::more:
        case run_end::input_ended:
        case run_end::not_a_record: break;
    }
    return status_end_of_input;
}
