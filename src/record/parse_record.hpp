// The scan of one line into the stamped_record, parse_record. Every way of
// scanning a line sits behind it: the window scan of window_scan.hpp where
// the line has the common shape, and the token-by-token scan of
// parse_record.cpp for the rest; both walk the slots of record_slots.
#pragma once

#include "data/stage_data.hpp"
#include "record/window_scan.hpp"
#include "simd/words.hpp"

#include <cstddef>
#include <cstdint>
#include <utility>

// 0 to 11 for a token whose first three characters are "Jan" to "Dec"
// (case-sensitive, anything may follow), 8 when none matches.
std::int32_t month_index(const char* month_token);

// The token-by-token scan and the derived fields, as parse_record does them
// for a line that the window scan leaves to it; for timing that scan alone.
void parse_record_by_tokens(const record_line& line, stamped_record& record);

namespace parse_record_detail {

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

// Stores the window's field for one slot of the given kind; nothing for a
// slot of the other kind.
template <slot_kind kind, std::size_t slot>
void store_slot(const window_fields& f, stamped_record& r)
{
    constexpr auto& s = std::get<slot>(record_slots);
    constexpr auto place = static_cast<std::size_t>(place_in_kind(static_cast<int>(slot)));
    if constexpr (s.kind == kind && kind == slot_kind::text) {
        store_text(r.*s.member, f.text[place], f.text_length[place]);
    } else if constexpr (s.kind == kind) {
        r.*s.member = f.numbers[place];
    }
}

template <slot_kind kind, std::size_t... slot>
void store_slots(const window_fields& f, stamped_record& r, std::index_sequence<slot...>)
{
    (store_slot<kind, slot>(f, r), ...);
}

template <class field>
constexpr std::size_t text_place(field stamped_record::*member)
{
    return static_cast<std::size_t>(place_in_kind(slot_of(member)));
}

inline void store_window_fields(const window_fields& f, stamped_record& r)
{
    constexpr std::size_t weekday = text_place(&stamped_record::weekday_token);
    constexpr std::size_t month = text_place(&stamped_record::month_token);
    constexpr std::size_t time = text_place(&stamped_record::time_token);
    constexpr auto all_slots = std::make_index_sequence<slot_count>();
    if (f.text_length[weekday] == 3 && f.text_length[month] == 3 && f.text_length[time] == 8) {
        // The usual lengths, with the terminators in known places.
        words::store_32(r.weekday_token, words::load_32(f.text[weekday]) & 0xFFFFFF);
        words::store_32(r.month_token, words::load_32(f.text[month]) & 0xFFFFFF);
        words::store_64(r.time_token, words::load_64(f.text[time]));
        r.time_token[8] = '\0';
    } else {
        store_slots<slot_kind::text>(f, r, all_slots);
    }
    store_slots<slot_kind::integer>(f, r, all_slots);
}

}  // namespace parse_record_detail

// Scans one piece of input into the record: the slots of record_slots,
// separated by white space. Scanning stops at the first token that does not fit its slot,
// at a NUL or at the end of the piece; the slots from there on keep their
// values. Then derives the hour, minute and second from fixed columns of the
// time token and the month number from the month token. It never fails.
// Gives the count of the piece's tokens where the window scan read it, 0
// where the token-by-token scan did (record_check.hpp asks).
template <class level>
unsigned parse_record(const record_line& line, stamped_record& record)
{
    using namespace parse_record_detail;
    window_fields fields;
    const unsigned window_tokens = read_window_fields<level>(line.text, line.length, fields);
    if (window_tokens != 0) {
        store_window_fields(fields, record);
    } else {
        scan_tokens(line.text, line.text + line.length, record);
    }
    derive_fields(record);
    return window_tokens;
}
