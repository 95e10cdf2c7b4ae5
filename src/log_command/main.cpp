// stamp_series_log: converts one log file as stamp_series converts its
// standard input, every line checked, and exits 0 when the whole log was
// converted; the series is written whole or not at all. With --check it
// lists the lines that are not records instead.
#include "log_command/log_runs.hpp"
#include "log_command/options.hpp"
#include "run/log_source.hpp"
#include "series/report.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifndef STAMP_SERIES_VERSION
#define STAMP_SERIES_VERSION "unknown"
#endif

namespace {

int print(const char* text)
{
    return std::fputs(text, stdout) >= 0 && std::fflush(stdout) == 0 ? status_done : status_failed;
}

}  // namespace

int main(int argc, char** argv)
{
    log_options options;
    switch (read_options(argc, argv, options, STDERR_FILENO)) {
        case options_verdict::help: return print(usage_text());
        case options_verdict::version: return print("stamp_series_log " STAMP_SERIES_VERSION "\n");
        case options_verdict::usage_error: return status_usage;
        case options_verdict::run: break;
    }
    const char* name = std::strcmp(options.log, "-") == 0 ? "standard input" : options.log;
    const int log_fd = open_log(std::strcmp(options.log, "-") == 0 ? nullptr : options.log);
    if (log_fd < 0) {
        report(STDERR_FILENO, "stamp_series_log", "%s: %s", name, std::strerror(errno));
        return status_failed;
    }
    const run_choices choices = choose_run();
    return options.check ? check_log_file(options, log_fd, name, choices)
                         : convert_log_file(options, log_fd, name, choices);
}
