// What every vector target of the kernel must give, written once: the
// byte classes against their definitions for every byte value at every
// place of a window and for random windows of the bytes that matter, the
// conversions of integer tokens against std::stoll, and the digits of values
// against printf.
#pragma once

#include "simd/byte_class.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace kernel_expectations {

window_classes classes_by_definition(const char* p)
{
    window_classes c{};
    for (unsigned i = 0; i < window_classes::size; ++i) {
        const std::uint64_t bit = std::uint64_t{1} << i;
        c.space |= byte_class::is_space(p[i]) ? bit : 0;
        c.control |= static_cast<unsigned char>(p[i]) <= ' ' ? bit : 0;
        c.digit |= p[i] >= '0' && p[i] <= '9' ? bit : 0;
        c.minus |= p[i] == '-' ? bit : 0;
    }
    return c;
}

std::uint64_t newlines_by_definition(const char* p)
{
    std::uint64_t mask = 0;
    for (unsigned i = 0; i < newline_block; ++i)
        mask |= (p[i] == '\n' ? std::uint64_t{1} : 0) << i;
    return mask;
}

template <class level>
void expect_classes(const std::vector<char>& bytes)
{
    SCOPED_TRACE(level::name());
    const window_classes got = level::classify(bytes.data());
    const window_classes want = classes_by_definition(bytes.data());
    ASSERT_EQ(got.space, want.space);
    ASSERT_EQ(got.control, want.control);
    ASSERT_EQ(got.digit, want.digit);
    ASSERT_EQ(got.minus, want.minus);
    ASSERT_EQ(level::newline_mask(bytes.data()), newlines_by_definition(bytes.data()));
}

// Eight integer tokens of one to sixteen digits, some negative, some far into
// a window of 128 bytes, against std::stoll saturated to 32 bits; then one
// token too long.
template <class level>
void expect_integer_values(std::mt19937& rng)
{
    SCOPED_TRACE(level::name());
    std::string text(40 + rng() % 16, ' ');
    const std::size_t front = 16;
    batch_tokens tokens{};
    std::int64_t want[batch_size];
    for (unsigned i = 0; i < batch_size; ++i) {
        std::string token = rng() % 3 == 0 ? "-" : "";
        for (auto d = 1 + rng() % max_batch_digits; d > 0; --d)
            token += static_cast<char>('0' + rng() % 10);
        tokens.starts[i] = static_cast<unsigned>(text.size() - front);
        if (tokens.starts[i] >= 128) return;  // beyond what a window holds
        if (token[0] == '-')
            tokens.signs[tokens.starts[i] / 64] |= std::uint64_t{1} << tokens.starts[i] % 64;
        text += token;
        tokens.ends[i] = static_cast<unsigned>(text.size() - front);
        text += rng() % 2 == 0 ? " " : "\t ";
        want[i] = std::clamp<long long>(std::stoll(token), INT32_MIN, INT32_MAX);
    }
    text += std::string(16, ' ');
    std::int64_t got[batch_size];
    ASSERT_TRUE(level::integer_values(text.data() + front, tokens, got)) << text;
    for (unsigned i = 0; i < batch_size; ++i)
        ASSERT_EQ(got[i], want[i]) << text << " token " << i;
    tokens.starts[7] = tokens.ends[7] - 2 * max_batch_digits - 1;
    tokens.signs[0] = tokens.signs[1] = 0;
    EXPECT_FALSE(level::integer_values(text.data() + front, tokens, got)) << text;
}

// Six values below 10^8 against printf's "%08u".
template <class level>
void expect_decimal_digits(std::mt19937& rng)
{
    SCOPED_TRACE(level::name());
    std::uint32_t values[digit_batch];
    for (std::uint32_t& v : values)
        v = rng() % 4 == 0 ? rng() % 100 : rng() % digit_batch_limit;
    std::uint64_t got[digit_batch];
    level::decimal_digits(values[0], values[1], values[2], values[3], values[4], values[5], got);
    for (unsigned i = 0; i < digit_batch; ++i) {
        char want[16];
        std::snprintf(want, sizeof want, "%08u", values[i]);
        char text[8];
        for (unsigned b = 0; b < 8; ++b)
            text[b] = static_cast<char>('0' + (got[i] >> (8 * b) & 0xFF));
        ASSERT_EQ(std::string(text, 8), want) << values[i];
    }
}

template <class level>
void expect_level_matches()
{
    std::vector<char> bytes(window_classes::size, 'x');
    for (int value = 0; value < 256; ++value) {
        for (unsigned at = 0; at < window_classes::size; ++at) {
            bytes.assign(window_classes::size, 'x');
            bytes[at] = static_cast<char>(value);
            ASSERT_NO_FATAL_FAILURE(expect_classes<level>(bytes)) << value << " at " << at;
        }
    }
    const char alphabet[] = " \t\n\v\f\r\b\x0e\x1f!+,-./09:AZaz\x7f\x80\xff";
    std::mt19937 rng(17);
    for (int round = 0; round < 20000; ++round) {
        for (char& c : bytes)
            c = alphabet[rng() % (sizeof alphabet - 1)];
        ASSERT_NO_FATAL_FAILURE(expect_classes<level>(bytes)) << round;
        ASSERT_NO_FATAL_FAILURE(expect_integer_values<level>(rng));
        ASSERT_NO_FATAL_FAILURE(expect_decimal_digits<level>(rng));
    }
}

}  // namespace kernel_expectations
