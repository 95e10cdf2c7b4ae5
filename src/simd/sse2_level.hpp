// The SSE2 level, which every x86-64 processor has: sixteen bytes compared
// at once, one bit per byte gathered by movemask. SSE2 has no byte
// multiply-add, so digits are converted a word at a time, as the scalar
// twin does.
#pragma once

#include "byte_class.hpp"
#include "scalar_level.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>

#include <cstdint>

struct sse2_level {
    static constexpr const char* name = "sse2";

    static std::uint64_t newline_mask(const char* p)
    {
        const __m128i newline = _mm_set1_epi8('\n');
        std::uint64_t mask = 0;
#pragma GCC unroll 4
        for (unsigned part = 0; part < newline_block; part += 16) {
            mask |= std::uint64_t{bits(_mm_cmpeq_epi8(load(p + part), newline))} << part;
        }
        return mask;
    }

    static window_classes classify(const char* p)
    {
        window_classes classes{};
#pragma GCC unroll 4
        for (unsigned part = 0; part < window_classes::size; part += 16) {
            const __m128i v = load(p + part);
            const __m128i space =
                _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(byte_class::space)),
                             in_range(v, byte_class::space_run_first, byte_class::space_run_last));
            // Unsigned v <= ' ' as the minimum of the two being v.
            const __m128i control =
                _mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(byte_class::space)), v);
            classes.space |= std::uint64_t{bits(space)} << part;
            classes.control |= std::uint64_t{bits(control)} << part;
            classes.digit |= std::uint64_t{bits(in_range(v, '0', '9'))} << part;
            classes.minus |= std::uint64_t{bits(_mm_cmpeq_epi8(v, _mm_set1_epi8('-')))} << part;
        }
        return classes;
    }

    static bool integer_values(const char* p, const batch_tokens& tokens,
                               std::int32_t (&values)[batch_size])
    {
        return scalar_level::integer_values(p, tokens, values);
    }

    static void decimal_digits(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                               std::uint32_t e, std::uint32_t f,
                               std::uint64_t (&digits)[digit_batch])
    {
        scalar_level::decimal_digits(a, b, c, d, e, f, digits);
    }

private:
    static __m128i load(const char* p)
    {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    }

    static std::uint32_t bits(__m128i test)
    {
        return static_cast<std::uint16_t>(_mm_movemask_epi8(test));
    }

    // Bytes from first to last: an unsigned range test done as a signed
    // comparison after moving first to -128.
    static __m128i in_range(__m128i v, char first, char last)
    {
        const __m128i moved = _mm_add_epi8(v, _mm_set1_epi8(static_cast<char>(0x80 - first)));
        return _mm_cmplt_epi8(moved, _mm_set1_epi8(static_cast<char>(last - first + 1 - 0x80)));
    }
};
#endif
