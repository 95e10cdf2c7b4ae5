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

    // The values of batch_size runs of decimal digits: run i ends just
    // before p + ends[i] and has counts[i] digits, 1 to max_batch_digits.
    // Reads the eight bytes before each end.
    static void digit_values(const char* p, const unsigned (&ends)[batch_size],
                             const unsigned (&counts)[batch_size],
                             std::uint32_t (&values)[batch_size])
    {
#pragma GCC unroll 8
        for (unsigned i = 0; i < batch_size; ++i) {
            values[i] = static_cast<std::uint32_t>(
                words::eight_digit_value(words::last_digits(p + ends[i], counts[i])));
        }
    }
};
