#include "time/zone/zone_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr std::size_t max_file_size = std::size_t{1} << 16;
constexpr std::size_t header_size = 44;

// Big-endian fields of a byte range; once a read runs past the end, every
// later read gives 0 and ok stays false.
struct field_reader {
    const unsigned char* p;
    const unsigned char* end;
    bool ok = true;

    std::int64_t take(std::size_t width)
    {
        if (static_cast<std::size_t>(end - p) < width) {
            ok = false;
            return 0;
        }
        std::uint64_t value = (p[0] & 0x80) != 0 ? ~std::uint64_t{0} : 0;
        for (std::size_t i = 0; i < width; ++i) {
            value = value << 8 | p[i];
        }
        p += width;
        return static_cast<std::int64_t>(value);
    }
    void skip(std::size_t count)
    {
        ok = ok && left() >= count;
        p += ok ? count : 0;
    }
    std::size_t left() const { return static_cast<std::size_t>(end - p); }
};

struct tzif_counts {
    std::size_t is_ut, is_std, leaps, times, types, chars;
};

// The header at r; false where the C library would give up on the file.
bool read_header(field_reader& r, tzif_counts& c, unsigned char& version)
{
    if (r.left() < header_size || std::memcmp(r.p, "TZif", 4) != 0) {
        return false;
    }
    version = r.p[4];
    r.skip(20);
    std::size_t* const fields[] = {&c.is_ut, &c.is_std, &c.leaps, &c.times, &c.types, &c.chars};
    for (std::size_t* field : fields) {
        const std::int64_t count = r.take(4);
        if (count < 0) {
            return false;
        }
        *field = static_cast<std::size_t>(count);
    }
    return c.is_std <= c.types && c.is_ut <= c.types;
}

// The C library's size checks on the 64-bit data: room for everything and a
// footer of at least a newline and one byte. Gives the footer's length.
bool footer_length(const field_reader& r, const tzif_counts& c, std::size_t& length)
{
    std::size_t rest = r.left();
    const std::size_t fixed = c.times * 9 + c.types * 6 + c.chars;
    if (rest < fixed || rest - fixed < c.leaps * 12 + c.is_std + c.is_ut + 2) {
        return false;
    }
    length = rest - fixed - c.leaps * 12 - c.is_std - c.is_ut - 1;
    return true;
}

// The C library checks an abbreviation's index against the count of
// characters with `index > count`, then runs strlen from each index. Every
// abbreviation ends inside the characters when a NUL stands at or after the
// largest index.
bool names_terminated(const unsigned char* names, std::size_t count, std::size_t last_name)
{
    return last_name < count && std::memchr(names + last_name, 0, count - last_name) != nullptr;
}

zone_file_result read_data(field_reader& r, const tzif_counts& c, std::size_t width,
                           zone_changes& zone)
{
    const bool fits = c.times <= max_zone_transitions && c.leaps <= max_zone_leaps;
    for (std::size_t i = 0; i < c.times; ++i) {
        const std::int64_t t = r.take(width);
        if (fits) {
            zone.transitions[i] = t;
        }
    }
    for (std::size_t i = 0; i < c.times; ++i) {
        if (static_cast<std::size_t>(r.take(1) & 0xFF) >= c.types) {
            return zone_file_result::not_a_zone_file;
        }
    }
    std::size_t last_name = 0;
    for (std::size_t i = 0; i < c.types; ++i) {
        r.skip(4);
        const auto is_dst = static_cast<unsigned>(r.take(1) & 0xFF);
        const auto name = static_cast<std::size_t>(r.take(1) & 0xFF);
        if (is_dst > 1 || name > c.chars) {
            return zone_file_result::not_a_zone_file;
        }
        last_name = std::max(last_name, name);
    }
    const unsigned char* names = r.p;
    r.skip(c.chars);
    for (std::size_t i = 0; i < c.leaps; ++i) {
        const std::int64_t t = r.take(width);
        r.skip(4);
        if (fits) {
            zone.leaps[i] = t;
        }
    }
    r.skip(c.is_std + c.is_ut);
    if (!r.ok) {
        return zone_file_result::not_a_zone_file;
    }
    if (c.types == 0) {
        return zone_file_result::no_local_time_types;
    }
    if (!names_terminated(names, c.chars, last_name)) {
        return zone_file_result::unterminated_abbreviation;
    }
    zone.transition_count = c.times;
    zone.leap_count = c.leaps;
    return fits ? zone_file_result::read : zone_file_result::unmodelled;
}

// The footer's TZ string, as the C library takes it: after a newline, the
// footer's length less one byte. No footer when the newline is missing.
zone_changes::footer read_footer(field_reader& r, std::size_t length, zone_rule& rule)
{
    char text[256];
    if (r.left() < length + 1 || *r.p != '\n') {
        return zone_changes::footer::none;
    }
    if (length > sizeof text) {
        return zone_changes::footer::unknown;
    }
    std::memcpy(text, r.p + 1, length - 1);
    text[length - 1] = '\0';
    if (text[0] == '\0') {
        return zone_changes::footer::none;
    }
    return parse_zone_rule(text, rule) ? zone_changes::footer::rule : zone_changes::footer::unknown;
}

bool increasing(const std::int64_t* values, std::size_t count)
{
    for (std::size_t i = 1; i < count; ++i) {
        if (values[i] <= values[i - 1]) {
            return false;
        }
    }
    return true;
}

// Reads count bytes at offset `at` block by block, handing each block to
// take until it returns false. False when a read fails.
template <class block_taker>
bool read_blocks(int fd, off_t at, std::size_t count, block_taker take)
{
    unsigned char block[4096 - 4096 % 6];  // whole local time types
    while (count > 0) {
        const std::size_t size = std::min(count, sizeof block);
        if (pread(fd, block, size, at) != static_cast<ssize_t>(size)) {
            return false;
        }
        if (!take(block, size)) {
            return true;
        }
        at += static_cast<off_t>(size);
        count -= size;
    }
    return true;
}

// names_terminated for a file read block by block: the local time types at
// types_at, then the abbreviation characters. False also where a type is
// one the C library refuses, or a read fails: no verdict.
bool large_names_checked(int fd, off_t types_at, const tzif_counts& c, bool& terminated)
{
    std::size_t last_name = 0;
    bool taken = true;
    const bool read =
        read_blocks(fd, types_at, c.types * 6, [&](const unsigned char* b, std::size_t size) {
            for (std::size_t i = 0; i < size; i += 6) {
                taken = taken && b[i + 4] <= 1 && b[i + 5] <= c.chars;
                last_name = std::max<std::size_t>(last_name, b[i + 5]);
            }
            return true;
        });
    terminated = false;
    const off_t names_at = types_at + static_cast<off_t>(c.types * 6 + last_name);
    const std::size_t rest = last_name < c.chars ? c.chars - last_name : 0;
    return read && taken &&
           read_blocks(fd, names_at, rest, [&](const unsigned char* b, std::size_t size) {
               terminated = std::memchr(b, 0, size) != nullptr;
               return !terminated;
           });
}

// A file too large to read whole is left to mktime, unless the data that
// the C library uses gives it no local time type, or an abbreviation
// without its end: then no file of that size can be sound.
zone_file_result check_large_file(int fd, off_t file_size)
{
    unsigned char header[header_size];
    tzif_counts c{};
    unsigned char version = 0;
    off_t at = 0;
    std::size_t width = 4;
    for (int pass = 0; pass < 2; ++pass) {
        field_reader r{header, header + sizeof header};
        if (pread(fd, header, sizeof header, at) != ssize_t{header_size} ||
            !read_header(r, c, version)) {
            return zone_file_result::unmodelled;
        }
        if (pass == 1 || version == 0) {
            break;
        }
        // Each count is below 2^31: the sums cannot overflow.
        at = static_cast<off_t>(header_size + c.times * 5 + c.types * 6 + c.chars + c.leaps * 8 +
                                c.is_std + c.is_ut);
        width = 8;
    }
    if (c.types == 0) {
        return zone_file_result::no_local_time_types;
    }
    const off_t types_at = at + static_cast<off_t>(header_size + c.times * (width + 1));
    const auto data_end = types_at + static_cast<off_t>(c.types * 6 + c.chars +
                                                        c.leaps * (width + 4) + c.is_std + c.is_ut);
    bool terminated = true;
    if (data_end <= file_size && large_names_checked(fd, types_at, c, terminated) && !terminated) {
        return zone_file_result::unterminated_abbreviation;
    }
    return zone_file_result::unmodelled;
}

}  // namespace

zone_file_result parse_zone_file(const unsigned char* data, std::size_t size, zone_changes& zone)
{
    field_reader r{data, data + size};
    tzif_counts c{};
    unsigned char version = 0;
    if (!read_header(r, c, version)) {
        return zone_file_result::not_a_zone_file;
    }
    std::size_t width = 4;
    std::size_t footer = 0;
    if (version != 0) {
        width = 8;
        r.skip(c.times * 5 + c.types * 6 + c.chars + c.leaps * 8 + c.is_std + c.is_ut);
        if (!r.ok || !read_header(r, c, version) || !footer_length(r, c, footer)) {
            return zone_file_result::not_a_zone_file;
        }
    }
    // Data shorter than its counts fails the C library's reads too; judged
    // before the reading, so that counts of up to 2^31 cost no time.
    if (r.left() < c.times * (width + 1) + c.types * 6 + c.chars + c.leaps * (width + 4) +
                       c.is_std + c.is_ut) {
        return zone_file_result::not_a_zone_file;
    }
    const zone_file_result result = read_data(r, c, width, zone);
    if (result != zone_file_result::read) {
        return result;
    }
    zone.after_last = width == 8 ? read_footer(r, footer, zone.rule) : zone_changes::footer::none;
    const bool ordered = increasing(zone.transitions, zone.transition_count) &&
                         increasing(zone.leaps, zone.leap_count);
    return ordered ? result : zone_file_result::unmodelled;
}

zone_file_result read_zone_file(const char* path, zone_changes& zone)
{
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return zone_file_result::not_a_zone_file;
    }
    static_assert(max_file_size <= 1 << 16, "the buffer lives on the stack");
    unsigned char data[max_file_size];
    struct stat info {};
    ssize_t size = -1;
    const bool regular = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (regular && info.st_size > off_t{max_file_size}) {
        const zone_file_result large = check_large_file(fd, info.st_size);
        close(fd);
        return large;
    }
    if (regular) {
        size = pread(fd, data, sizeof data, 0);
    }
    close(fd);
    // Anything but a whole regular file, read in one go, is left to mktime.
    if (size < 0 || size != info.st_size) {
        return zone_file_result::unmodelled;
    }
    return parse_zone_file(data, static_cast<std::size_t>(size), zone);
}
