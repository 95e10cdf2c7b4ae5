// Each vector level that runs here against the byte classes it stands for,
// and so against the scalar twin: every byte value at every place of a
// window, random windows of the bytes that matter, and the conversion of
// runs of digits.
#include "simd/level.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

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
    SCOPED_TRACE(level::name);
    const window_classes got = level::classify(bytes.data());
    const window_classes want = classes_by_definition(bytes.data());
    ASSERT_EQ(got.space, want.space);
    ASSERT_EQ(got.control, want.control);
    ASSERT_EQ(got.digit, want.digit);
    ASSERT_EQ(got.minus, want.minus);
    ASSERT_EQ(level::newline_mask(bytes.data()), newlines_by_definition(bytes.data()));
}

// Eight runs of one to eight digits among other bytes, against std::stoul.
template <class level>
void expect_digit_values(std::mt19937& rng)
{
    SCOPED_TRACE(level::name);
    std::string text(16, '-');
    unsigned ends[batch_size];
    unsigned counts[batch_size];
    std::uint32_t want[batch_size];
    for (unsigned i = 0; i < batch_size; ++i) {
        counts[i] = 1 + rng() % max_batch_digits;
        std::string digits;
        for (unsigned d = 0; d < counts[i]; ++d)
            digits += static_cast<char>('0' + rng() % 10);
        text += digits + (rng() % 2 == 0 ? " " : "9-");
        ends[i] = static_cast<unsigned>(text.size() - (text.back() == ' ' ? 1 : 2));
        want[i] = static_cast<std::uint32_t>(std::stoul(digits));
    }
    text += std::string(16, ' ');
    std::uint32_t got[batch_size];
    level::digit_values(text.data(), ends, counts, got);
    for (unsigned i = 0; i < batch_size; ++i)
        ASSERT_EQ(got[i], want[i]) << text << " run " << i;
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
        ASSERT_NO_FATAL_FAILURE(expect_digit_values<level>(rng));
    }
}

TEST(vector_levels, give_what_the_definitions_give)
{
    ASSERT_NO_FATAL_FAILURE(expect_level_matches<scalar_level>());
#if STAMP_SERIES_VECTOR_LEVELS
    ASSERT_NO_FATAL_FAILURE(expect_level_matches<sse2_level>());
    if (level_runs_here(vector_level::avx2)) {
        ASSERT_NO_FATAL_FAILURE(expect_level_matches<avx2_level>());
    }
#endif
}

}  // namespace
