// A front end's messages: one line on standard error, the program's name
// first, as "stamp_series: write error: No space left on device"; and other
// lines of text a front end writes itself.
#pragma once

#include <cstddef>

// Writes "PROGRAM: " and the formatted text as one line, in one write, so
// that the lines of programs running side by side do not mix. A line too
// long for its buffer of 8 KiB is cut short. Nothing more can be done when
// the write itself fails.
[[gnu::format(printf, 3, 4)]] void report(int error_fd, const char* program, const char* format,
                                          ...);

// Writes the formatted text as one line, in one write, cut short as report
// cuts it. Gives 0, or the errno of the write that failed.
[[gnu::format(printf, 2, 3)]] int print_line(int fd, const char* format, ...);

// The formatted text and a newline as one line in out, which has room for
// size bytes (at least 2): cut short where it does not fit, the newline kept.
// Gives its length, the newline counted; 0 when the format fails.
[[gnu::format(printf, 3, 4)]] std::size_t format_line(char* out, std::size_t size,
                                                      const char* format, ...);
