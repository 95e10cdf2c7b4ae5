// The scalar twin of the vector levels: the same results, a byte or a word
// at a time, in plain C++ that builds for any machine.
#pragma once

#include "byte_class.hpp"
#include "words.hpp"

#include <cstdint>

struct scalar_level {
    static constexpr const char* name = "scalar";

    // Bit i set when byte i of the newline_block bytes at p is '\n'.
    static std::uint64_t newline_mask(const char* p)
    {
        std::uint64_t mask = 0;
        for (unsigned i = 0; i < newline_block; ++i) {
            mask |= (p[i] == '\n' ? std::uint64_t{1} : 0) << i;
        }
        return mask;
    }

    // The classes of the window_classes::size bytes at p.
    static window_classes classify(const char* p)
    {
        window_classes classes{};
        for (unsigned i = 0; i < window_classes::size; ++i) {
            const std::uint64_t bit = std::uint64_t{1} << i;
            classes.space |= byte_class::is_space(p[i]) ? bit : 0;
            classes.control |= byte_class::is_control(p[i]) ? bit : 0;
            classes.digit |= byte_class::is_digit(p[i]) ? bit : 0;
            classes.minus |= p[i] == '-' ? bit : 0;
        }
        return classes;
    }

    // The values of the integer tokens, saturated to the 32-bit range as the
    // token scan saturates them; false, leaving values as they may be, when
    // a token has no digit after its sign or more than sixteen. Reads the
    // sixteen bytes before each token's end.
    static bool integer_values(const char* p, const batch_tokens& tokens,
                               std::int32_t (&values)[batch_size])
    {
        unsigned out_of_range = 0;
#pragma GCC unroll 8
        for (unsigned i = 0; i < batch_size; ++i) {
            const unsigned start = tokens.starts[i];
            const auto negative = static_cast<unsigned>(tokens.signs[start / 64] >> start % 64) & 1;
            const unsigned count = tokens.ends[i] - start - negative;
            out_of_range |= count - 1;
            const char* end = p + tokens.ends[i];
            const bool two_words = count > 8 && count <= 16;
            const std::uint64_t high =
                two_words ? words::eight_digit_value(words::last_digits(end - 8, count - 8)) : 0;
            const std::uint64_t magnitude =
                high * 100000000 +
                words::eight_digit_value(words::last_digits(end, count - 1 < 8 ? count : 8));
            const std::uint64_t limit = 0x7FFFFFFFu + negative;
            const auto kept = static_cast<std::uint32_t>(magnitude < limit ? magnitude : limit);
            const std::uint32_t flip = 0u - negative;
            values[i] = static_cast<std::int32_t>((kept ^ flip) - flip);
        }
        return out_of_range < 2 * max_batch_digits;
    }

    static void decimal_digits(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                               std::uint32_t e, std::uint32_t f,
                               std::uint64_t (&digits)[digit_batch])
    {
        const std::uint32_t values[digit_batch] = {a, b, c, d, e, f};
#pragma GCC unroll 6
        for (unsigned i = 0; i < digit_batch; ++i) {
            digits[i] = words::eight_digits(values[i]);
        }
    }
};
