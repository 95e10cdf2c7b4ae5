// What a record is: the one definition of a line that the filter reads as it
// was meant, and the reason a line is not one. The filter converts every
// line whatever it holds; stamp_series_log and the Python package use this
// to refuse a first line that is not a record, to warn of later ones, and to
// list them.
//
// A record is a line of ten tokens separated by white space, with at most
// 129 characters before its newline: a weekday, any token; a month name
// that starts with one of the month table's names, in its letter case; the
// day; a time token of two digits, a separator, two digits, a separator and
// two digits, the separators any bytes but white space; then the year, the
// milliseconds and the four channel values. The day, the year, the
// milliseconds and the channel values are integers: decimal digits with an
// optional sign. White space may come before the first token and after the
// last; a NUL byte is not white space, and ends what the filter sees.
#pragma once

#include "data/stage_data.hpp"
#include "simd/words.hpp"

#include <cstddef>
#include <cstdint>

// Why a line is not a record, in words for a message: "11 tokens",
// "month 'Spt' unknown", "time '9:05:00' is not hh?mm?ss", ...
struct record_fault {
    char reason[128];
};

// Text as a message shows it: at most `shown` of its bytes, those that do
// not print as \xHH, then "..." where it goes on, and a terminator. out needs
// room for 4 * shown + 4 bytes.
void show_text(const char* text, std::size_t length, std::size_t shown, char* out);

// The definition, token by token: true when the line (its text up to its
// newline, which may be missing at the end of a log) is a record; else
// false, with the reason in why. `length` counts the newline if there is one.
bool explain_record(const char* text, std::size_t length, record_fault& why);

// The lines of a log, counted as the reader hands them out in pieces, and
// those that are not records. Construct it zeroed.
struct record_tally {
    std::uint64_t line_number;  // of the line the last piece belongs to
    bool inside_line;           // the last piece ended without its newline
    std::uint64_t non_records;
    std::uint64_t first_non_record;  // its line number, once there is one
    record_fault first_fault;
    record_fault fault;  // why the last line found not to be a record is not one
};

// Which lines of a log must be records, for a run that checks them.
enum class record_rule {
    none,        // none: the lines are not checked (the filter)
    first_line,  // the first, since every time counts from it; the others are counted
    every_line,  // every one (--strict, strict=True)
};

enum class piece_verdict {
    record,          // a whole line, and a record
    not_a_record,    // the first piece of a line that is not a record
    rest_of_a_line,  // a later piece of a line longer than a piece
};

namespace record_check_detail {

// Is the time token of the record exactly eight bytes, of two digits, a
// separator, two digits, a separator and two digits? Byte by byte at once:
// the separators are part of the token, so they are not white space; they
// must not be its terminator either.
inline bool time_columns_hold_digits(const stamped_record& record)
{
    constexpr std::uint64_t high_bits = 0x8080808080808080u;
    constexpr std::uint64_t digit_places = 0x8080008080008080u;  // bytes 0, 1, 3, 4, 6, 7
    constexpr std::uint64_t separator_places = 0x0000800000800000u;
    const std::uint64_t word = words::load_64(record.time_token);
    // Each sum stays within its byte: bit 7 tells the low seven bits' verdict.
    const std::uint64_t low = word & ~high_bits;
    const std::uint64_t at_least_zero = low + 0x5050505050505050u;
    const std::uint64_t above_nine = low + 0x4646464646464646u;
    const std::uint64_t not_zero = low + 0x7F7F7F7F7F7F7F7Fu;
    const std::uint64_t not_digit = ~at_least_zero | above_nine | word;
    return (not_digit & digit_places) == 0 &&
           ((not_zero | word) & separator_places) == separator_places &&
           record.time_token[8] == '\0';
}

inline bool month_is_known(const stamped_record& record)
{
    constexpr std::uint32_t sep = 'S' | 'e' << 8 | 'p' << 16;
    return record.month != 8 || (words::load_32(record.month_token) & 0xFFFFFF) == sep;
}

piece_verdict tally_slowly(record_tally& tally, const record_line& line);

}  // namespace record_check_detail

// Counts the piece and, when it starts a line, tells whether the line is a
// record. `window_tokens` is what parse_record gave for it, and `record` the
// record after it: a piece that the window scan read with ten tokens, a
// known month and digits in the time token's columns is a record without
// another look at its bytes; any other goes through explain_record.
inline piece_verdict tally_piece(record_tally& tally, const record_line& line,
                                 unsigned window_tokens, const stamped_record& record)
{
    using namespace record_check_detail;
    const bool continues = tally.inside_line;
    const bool ends_line = line.text[line.length - 1] == '\n';
    tally.inside_line = !ends_line;
    if (continues) {
        return piece_verdict::rest_of_a_line;
    }
    ++tally.line_number;
    const bool whole_line = ends_line || line.length < record_line::max_length;
    if (window_tokens == slot_count && whole_line && month_is_known(record) &&
        time_columns_hold_digits(record)) {
        return piece_verdict::record;
    }
    return tally_slowly(tally, line);
}
