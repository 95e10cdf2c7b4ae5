// The parsed form of one input line, and parse_record, which fills it. Every
// way of scanning a line sits behind parse_record: the window scan of
// window_scan.hpp where the line has the common shape, and the
// token-by-token scan of stamped_record.cpp for the rest.
#pragma once

#include "input/line_reader.hpp"
#include "record/window_scan.hpp"
#include "simd/words.hpp"

#include <array>
#include <cstdint>

// One record, kept for the whole run. A line overwrites only the fields it
// supplies; every other field keeps what an earlier line put there. The text
// fields also keep their old bytes past a new, shorter token's terminator,
// and the time-of-day columns read those bytes.
struct stamped_record {
    char weekday_token[8];
    char month_token[8];
    std::int32_t day;
    char time_token[16];
    std::int32_t year;
    std::int32_t milliseconds;
    std::int32_t channel_1;
    std::int32_t channel_2;
    std::int32_t channel_3;
    std::int32_t channel_4;

    // Derived on every call of parse_record.
    std::int32_t hour;
    std::int32_t minute;
    std::int32_t second;
    std::int32_t month;  // 0 to 11
};

// 0 to 11 for a token whose first three characters are "Jan" to "Dec"
// (case-sensitive, anything may follow), 8 when none matches.
std::int32_t month_index(const char* month_token);

namespace stamped_record_detail {

// Fills the slots in order from the text from p to end, or to a NUL before
// it, one token at a time, and stops where a token does not fit its slot or
// the text ends.
void scan_tokens(const char* p, const char* end, stamped_record& record);

// Hour, minute and second from the time token's columns, and the month number.
void derive_fields(stamped_record& record);

// The eight bytes of a text field from offset on, after a token of `length`
// bytes at source has been written there with its terminator: the token's
// bytes, the terminator, then the bytes the field had. Reads eight bytes at
// source + offset.
inline std::uint64_t written_word(std::uint64_t old, const char* source, unsigned offset,
                                  unsigned length)
{
    if (length < offset) {
        return old;
    }
    const unsigned fresh = length - offset;
    const auto bytes = [](unsigned n) {
        return n >= 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * n)) - 1;
    };
    return (words::load_64(source + offset) & bytes(fresh)) | (old & ~bytes(fresh + 1));
}

template <std::size_t size>
void store_text(char (&field)[size], const char* source, unsigned length)
{
#pragma GCC unroll 2
    for (unsigned offset = 0; offset < size; offset += 8) {
        words::store_64(field + offset,
                        written_word(words::load_64(field + offset), source, offset, length));
    }
}

inline void store_window_fields(const window_fields& f, stamped_record& r)
{
    if (f.text_length[0] == 3 && f.text_length[1] == 3 && f.text_length[2] == 8) {
        // The usual lengths, with the terminators in known places.
        words::store_32(r.weekday_token, words::load_32(f.text[0]) & 0xFFFFFF);
        words::store_32(r.month_token, words::load_32(f.text[1]) & 0xFFFFFF);
        words::store_64(r.time_token, words::load_64(f.text[2]));
        r.time_token[8] = '\0';
    } else {
        store_text(r.weekday_token, f.text[0], f.text_length[0]);
        store_text(r.month_token, f.text[1], f.text_length[1]);
        store_text(r.time_token, f.text[2], f.text_length[2]);
    }
    r.day = f.numbers[0];
    r.year = f.numbers[1];
    r.milliseconds = f.numbers[2];
    r.channel_1 = f.numbers[3];
    r.channel_2 = f.numbers[4];
    r.channel_3 = f.numbers[5];
    r.channel_4 = f.numbers[6];
}

}  // namespace stamped_record_detail

// Scans one piece of input into the record: the ten slots, separated by
// white space. Scanning stops at the first token that does not fit its slot,
// at a NUL or at the end of the piece; the slots from there on keep their
// values. Then derives the hour, minute and second from fixed columns of the
// time token and the month number from the month token. It never fails.
template <class level>
void parse_record(const record_line& line, stamped_record& record)
{
    using namespace stamped_record_detail;
    window_fields fields;
    if (read_window_fields<level>(line.text, line.length, fields)) {
        store_window_fields(fields, record);
    } else {
        scan_tokens(line.text, line.text + line.length, record);
    }
    derive_fields(record);
}
