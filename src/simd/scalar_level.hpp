// The scalar twin of the vector levels: the same results, a byte at a time,
// in plain C++ that builds for any machine.
#pragma once

#include "byte_class.hpp"

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
            classes.sign |= byte_class::is_sign(p[i]) ? bit : 0;
            classes.minus |= p[i] == '-' ? bit : 0;
            classes.digit |= byte_class::is_digit(p[i]) ? bit : 0;
        }
        return classes;
    }
};
