// Shortcuts for the record scanner that look at many bytes of a line at once.
// Each one either fills slots exactly as the token-by-token scan would, or
// leaves them to it.
#pragma once

#include "stamped_record.hpp"

#include <cstdint>

// For a line that starts "Www Mmm DD HH:MM:SS YYYY" (three-character
// weekday and month, two-digit day, eight-character time and four-digit
// year, each after one space, and no digit after the year), fills the first
// five slots and gives true; for any other line changes nothing. Reads 25
// bytes at p.
bool scan_common_date(const char* p, stamped_record& record);

// Bit i of each mask tells the class of byte i of a 32-byte window; the
// bits above 31 are clear, so that runs end at the window's edge.
struct byte_classes {
    std::uint64_t space;  // white space: space, \t, \n, \v, \f, \r
    std::uint64_t sign;   // '+' or '-'
    std::uint64_t minus;  // '-'
    std::uint64_t digit;  // '0' to '9'
};

// The classes of the 32 bytes at p, which must all be readable.
byte_classes classify_window(const char* p);

// Fills integer slots in order from the numbers of the window, starting at
// bit `at`, and moves `at` past the last number read. Stops at a number that
// does not end inside the window or has more than eight digits, and gives
// the index of that slot, which the token-by-token scan takes over. When a
// slot's text is not a number, the scan ends there: gives count + 1.
int scan_integers_in_window(const char* window, const byte_classes& classes, unsigned& at,
                            std::int32_t* const slots[], int count);
