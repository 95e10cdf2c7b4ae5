#include "log_command/options.hpp"

#include "series/report.hpp"

#include <getopt.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* program = "stamp_series_log";

options_verdict usage_error(int error_fd, const char* what, const char* argument)
{
    report(error_fd, program, "%s '%s'", what, argument);
    report(error_fd, program, "try 'stamp_series_log --help' for more information");
    return options_verdict::usage_error;
}

// An option that getopt_long refused; `last` is the argument it looked at
// last. A short option is named alone, as it may stand in a cluster.
options_verdict option_error(int error_fd, const char* last)
{
    if (std::strncmp(last, "--", 2) == 0) {
        return usage_error(
            error_fd,
            std::strchr(last, '=') != nullptr ? "no argument is taken by" : "unknown option", last);
    }
    const char short_option[] = {'-', static_cast<char>(optopt), '\0'};
    return usage_error(error_fd, "unknown option", short_option);
}

// A positive count, with an optional K, M or G for a chunk's size.
bool read_count(const char* text, bool scaled, unsigned long long most, unsigned long long& count)
{
    char* end = nullptr;
    errno = 0;
    count = std::strtoull(text, &end, 10);
    const char* units = "KMG";
    const char* unit = scaled && *end != '\0' ? std::strchr(units, *end) : nullptr;
    if (unit != nullptr && end[1] == '\0') {
        const int shift = 10 * static_cast<int>(unit - units + 1);
        count = count > most >> shift ? most + 1 : count << shift;
        ++end;
    }
    return errno == 0 && end != text && *end == '\0' && text[0] != '-' && count >= 1 &&
           count <= most;
}

// The number of -j or --chunk-size; false after a usage error.
bool read_number(int error_fd, int option, const char* text, log_options& options)
{
    unsigned long long count = 0;
    if (option == 'j') {
        constexpr unsigned long long most_threads = 1024;
        if (!read_count(text, false, most_threads, count)) {
            usage_error(error_fd, "the threads must be from 1 to 1024, not", text);
            return false;
        }
        options.threads = static_cast<unsigned>(count);
        return true;
    }
    constexpr unsigned long long most_bytes = 1ull << 30;
    if (!read_count(text, true, most_bytes, count)) {
        usage_error(error_fd, "the chunk size must be from 1 byte to 1G, not", text);
        return false;
    }
    options.chunk_size = static_cast<std::size_t>(count);
    return true;
}

}  // namespace

options_verdict read_options(int argc, char** argv, log_options& options, int error_fd)
{
    enum : int { check = 256, strict, version, chunk_size };
    const option long_options[] = {{"check", no_argument, nullptr, check},
                                   {"strict", no_argument, nullptr, strict},
                                   {"threads", required_argument, nullptr, 'j'},
                                   {"chunk-size", required_argument, nullptr, chunk_size},
                                   {"help", no_argument, nullptr, 'h'},
                                   {"version", no_argument, nullptr, version},
                                   {nullptr, 0, nullptr, 0}};
    opterr = 0;  // the messages below name the option as given
    optind = 1;
    for (int got = 0; (got = getopt_long(argc, argv, ":hj:", long_options, nullptr)) != -1;) {
        switch (got) {
            case 'h': return options_verdict::help;
            case version: return options_verdict::version;
            case check: options.check = true; break;
            case strict: options.strict = true; break;
            case 'j':
            case chunk_size:
                if (!read_number(error_fd, got, optarg, options)) {
                    return options_verdict::usage_error;
                }
                break;
            case ':': return usage_error(error_fd, "a number must follow", argv[optind - 1]);
            default: return option_error(error_fd, argv[optind - 1]);
        }
    }
    const int operands = argc - optind;
    if (operands == 0) {
        report(error_fd, program, "no log given");
        report(error_fd, program, "try 'stamp_series_log --help' for more information");
        return options_verdict::usage_error;
    }
    const int most = options.check ? 1 : 2;
    if (operands > most) {
        return usage_error(error_fd,
                           options.check ? "--check takes no series, yet got" : "extra operand",
                           argv[optind + most]);
    }
    options.log = argv[optind];
    if (operands == 2) {
        options.series = argv[optind + 1];
    }
    return options_verdict::run;
}

const char* usage_text()
{
    return "usage: stamp_series_log [--strict] [-j N] [--chunk-size=BYTES] [--] LOG [SERIES]\n"
           "       stamp_series_log --check [-j N] [--chunk-size=BYTES] [--] LOG\n"
           "       stamp_series_log -h | --help | --version\n"
           "Converts LOG into SERIES as stamp_series converts its standard input, and\n"
           "exits 0 when the whole log was converted. Every line is read once and\n"
           "checked; the first must be a record, and later lines that are not records\n"
           "are converted all the same and counted in one warning at the end. SERIES\n"
           "is written whole or not at all: an older SERIES stays as it was when the\n"
           "run fails. LOG - is standard input; without SERIES, or with -, the series\n"
           "goes to standard output. A log compressed with gzip, xz or zstd is read as\n"
           "it is, told by its first bytes. TZ sets the time zone, as for stamp_series.\n"
           "\n"
           "  --check     convert nothing: list the first ten lines of LOG that are not\n"
           "              records, and why, then how many there are; exit 0 only when\n"
           "              every line is a record\n"
           "  --strict    fail, leaving no SERIES, on any line that is not a record\n"
           "  -j, --threads=N\n"
           "              convert on N threads (by default, one for each processor the\n"
           "              command may run on); the series is the same on any number.\n"
           "              Give -j 1 when GNU parallel already runs a log on each processor\n"
           "  --chunk-size=BYTES\n"
           "              the bytes of the log each thread takes at a time (256K; a K, M\n"
           "              or G may follow the number)\n"
           "  --          end the options, for a LOG whose name starts with a hyphen\n"
           "  -h, --help  show this help\n"
           "  --version   show the version\n"
           "\n"
           "Exit status: 0 converted (or, with --check, every line a record); 1 not\n"
           "converted, with one line on standard error saying why; 2 wrong usage.\n"
           "A log that is still being written (tail -f) is a job for stamp_series\n"
           "itself, which streams. See stamp_series_log(1).\n";
}
