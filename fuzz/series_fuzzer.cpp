// Runs stamp_series and the reference filter over the same bytes, in one of a
// few time zones picked by the first byte, and aborts on any difference in
// output, messages or exit status.
#include "reference_filter.hpp"
#include "series_filter.hpp"

#include <sys/mman.h>
#include <unistd.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iterator>
#include <string>

namespace {

// clang-format off
const char* const zones[] = {
    "UTC", "America/New_York", "Europe/Dublin", "Australia/Lord_Howe", "Pacific/Apia",
    "Africa/Casablanca", "Antarctica/Troll", "Pacific/Chatham", "America/Sao_Paulo",
    "Europe/Moscow", "America/St_Johns", "right/Europe/London", "EST5EDT,M3.2.0,M11.1.0",
    "<+1345>-13:45<+1445>,M9.5.0/2:45,M4.1.0/3:45", "XXX3YYY,J60/-1,J61/25", "Asia/Tehran"};
// clang-format on

struct outcome {
    int status;
    std::string out, err;
    bool operator==(const outcome&) const = default;
};

int memory_file(const std::string& contents)
{
    const int fd = memfd_create("series", 0);
    if (fd < 0 ||
        write(fd, contents.data(), contents.size()) != static_cast<ssize_t>(contents.size()))
        std::abort();
    lseek(fd, 0, SEEK_SET);
    return fd;
}

std::string contents_of(int fd)
{
    std::string text(static_cast<std::size_t>(lseek(fd, 0, SEEK_END)), '\0');
    if (pread(fd, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size())) std::abort();
    close(fd);
    return text;
}

outcome run(const std::string& input, bool reference)
{
    // mktime starts each search from the offset that its previous call found,
    // and an ambiguous first record (tm_isdst -1) depends on it: start both
    // runs from the offset of one fixed, unambiguous time.
    std::tm noon{};
    noon.tm_year = 100;
    noon.tm_mday = 1;
    noon.tm_hour = 12;
    noon.tm_isdst = -1;
    std::mktime(&noon);
    const int in = memory_file(input), out = memory_file(""), err = memory_file("");
    int status = 0;
    if (reference) {
        std::FILE* files[] = {fdopen(dup(in), "r"), fdopen(dup(out), "w"), fdopen(dup(err), "w")};
        status = reference_filter(files[0], files[1], files[2]);
        for (std::FILE* file : files)
            std::fclose(file);
    } else {
        status = run_series_filter(in, out, err);
    }
    close(in);
    return {status, contents_of(out), contents_of(err)};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    const char* zone = zones[data[0] % std::size(zones)];
    setenv("TZ", zone, 1);
    tzset();
    const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
    const outcome want = run(input, true), got = run(input, false);
    if (!(want == got)) {
        std::fprintf(
            stderr,
            "DIFFERENCE in TZ=%s: status %d vs %d\n--- reference\n%s%s--- stamp_series\n%s%s", zone,
            want.status, got.status, want.out.c_str(), want.err.c_str(), got.out.c_str(),
            got.err.c_str());
        std::abort();
    }
    return 0;
}
