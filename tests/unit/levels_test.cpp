// Each vector level against the byte classes it stands for, and so against
// the scalar twin: every byte value at every place of a window, then random
// windows of the bytes that matter.
#include "simd/level.hpp"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

window_classes classes_by_definition(const char* p)
{
    window_classes c{};
    for (unsigned i = 0; i < window_classes::size; ++i) {
        const std::uint64_t bit = std::uint64_t{1} << i;
        c.space |= byte_class::is_space(p[i]) ? bit : 0;
        c.sign |= p[i] == '+' || p[i] == '-' ? bit : 0;
        c.minus |= p[i] == '-' ? bit : 0;
        c.digit |= p[i] >= '0' && p[i] <= '9' ? bit : 0;
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
void expect_level_matches(const std::vector<char>& bytes)
{
    SCOPED_TRACE(level::name);
    const window_classes got = level::classify(bytes.data());
    const window_classes want = classes_by_definition(bytes.data());
    ASSERT_EQ(got.space, want.space);
    ASSERT_EQ(got.sign, want.sign);
    ASSERT_EQ(got.minus, want.minus);
    ASSERT_EQ(got.digit, want.digit);
    ASSERT_EQ(level::newline_mask(bytes.data()), newlines_by_definition(bytes.data()));
}

void expect_levels_match(const std::vector<char>& bytes)
{
    ASSERT_NO_FATAL_FAILURE(expect_level_matches<scalar_level>(bytes));
#if defined(__SSE2__)
    ASSERT_NO_FATAL_FAILURE(expect_level_matches<sse2_level>(bytes));
#endif
}

TEST(vector_levels, classify_bytes_as_the_definitions_do)
{
    std::vector<char> bytes(newline_block, 'x');
    for (int value = 0; value < 256; ++value) {
        for (unsigned at = 0; at < newline_block; ++at) {
            bytes.assign(newline_block, 'x');
            bytes[at] = static_cast<char>(value);
            ASSERT_NO_FATAL_FAILURE(expect_levels_match(bytes)) << value << " at " << at;
        }
    }
    const char alphabet[] = " \t\n\v\f\r\b\x0e\x1f!+,-./09:AZaz\x7f\x80\xff";
    std::mt19937 rng(17);
    for (int round = 0; round < 20000; ++round) {
        for (char& c : bytes)
            c = alphabet[rng() % (sizeof alphabet - 1)];
        ASSERT_NO_FATAL_FAILURE(expect_levels_match(bytes)) << round;
    }
}

}  // namespace
