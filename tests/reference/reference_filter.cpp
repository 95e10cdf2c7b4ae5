#include "reference_filter.hpp"

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>

namespace {

struct record {
    char weekday_token[8], month_token[8];
    int day;
    char time_token[16];
    int year, milliseconds, channel[4];
};

int clamp(long long v)
{
    return v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : static_cast<int>(v);
}

// Keeps what fits of the token; the field's bytes past the terminator stay.
void keep(char* field, std::size_t size, const char* token)
{
    std::size_t n = std::strlen(token);
    n = n < size - 1 ? n : size - 1;
    std::memcpy(field, token, n);
    field[n] = '\0';
}

void parse(const char* line, record& r)
{
    char text[3][131];
    long long n[7];
    const int filled =
        std::sscanf(line, "%130s %130s %lld %130s %lld %lld %lld %lld %lld %lld", text[0], text[1],
                    &n[0], text[2], &n[1], &n[2], &n[3], &n[4], &n[5], &n[6]);
    if (filled > 0) keep(r.weekday_token, sizeof r.weekday_token, text[0]);
    if (filled > 1) keep(r.month_token, sizeof r.month_token, text[1]);
    if (filled > 2) r.day = clamp(n[0]);
    if (filled > 3) keep(r.time_token, sizeof r.time_token, text[2]);
    if (filled > 4) r.year = clamp(n[1]);
    if (filled > 5) r.milliseconds = clamp(n[2]);
    for (int i = 0; i < 4; ++i) {
        if (filled > 6 + i) r.channel[i] = clamp(n[3 + i]);
    }
}

int column(const record& r, int i)
{
    return static_cast<signed char>(r.time_token[i]) - '0';
}

int month_number(const char* token)
{
    static const char* const names[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (int i = 0; i < 12; ++i) {
        if (std::strncmp(token, names[i], 3) == 0) return i;
    }
    return 8;
}

int fail(std::FILE* err, const char* what, int error)
{
    std::fprintf(err, "stamp_series: %s error: %s\n", what, std::strerror(error));
    return 2;
}

}  // namespace

int reference_filter(std::FILE* in, std::FILE* out, std::FILE* err)
{
    char line[131];
    record r{};
    std::tm calendar_fields{};
    calendar_fields.tm_isdst = -1;
    long long record_count = 0;
    std::time_t reference_second = 0;
    while (std::fgets(line, sizeof line, in) != nullptr) {
        parse(line, r);
        calendar_fields.tm_sec = 10 * column(r, 6) + column(r, 7);
        calendar_fields.tm_min = 10 * column(r, 3) + column(r, 4);
        calendar_fields.tm_hour = 10 * column(r, 0) + column(r, 1);
        calendar_fields.tm_mday = r.day;
        calendar_fields.tm_mon = month_number(r.month_token);
        calendar_fields.tm_year = static_cast<int>(static_cast<unsigned>(r.year) - 1900u);
        const std::time_t record_seconds = std::mktime(&calendar_fields);
        const double record_time = record_seconds + r.milliseconds * 0.001;
        if (record_count == 0) reference_second = record_seconds;
        const int doubled = static_cast<int>(static_cast<unsigned>(r.channel[3]) * 2u);
        if (std::fprintf(out, "%.3f %d %d %d %d\n", record_time - reference_second, r.channel[0],
                         r.channel[1], r.channel[2], doubled) < 0 ||
            std::ferror(out)) {
            return fail(err, "write", errno);
        }
        ++record_count;
    }
    const int read_error = std::ferror(in) ? errno : 0;
    if (std::fflush(out) != 0) return fail(err, "write", errno);
    if (read_error != 0) return fail(err, "read", read_error);
    return 1;
}
