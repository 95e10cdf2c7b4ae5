// The AVX2 level: thirty-two bytes compared at once, digits converted eight
// runs at a time with byte multiply-adds, and BMI1 and BMI2 for the bit
// scans and shifts. Its functions carry the target themselves, so this
// header builds into any translation unit; the driver's entry point for the
// level carries the same target and inlines them (series_filter.cpp).
#pragma once

#include "byte_class.hpp"
#include "words.hpp"

#if defined(__x86_64__)
#include <immintrin.h>

#include <cstdint>

// What a processor needs for this level; the driver's entry point is
// compiled for the same.
#define STAMP_SERIES_AVX2_TARGET "avx2,bmi,bmi2,popcnt"

struct avx2_level {
    static constexpr const char* name = "avx2";

    [[gnu::target(STAMP_SERIES_AVX2_TARGET)]] static std::uint64_t newline_mask(const char* p)
    {
        const __m256i newline = _mm256_set1_epi8('\n');
        return bits(_mm256_cmpeq_epi8(load(p), newline)) |
               std::uint64_t{bits(_mm256_cmpeq_epi8(load(p + 32), newline))} << 32;
    }

    [[gnu::target(STAMP_SERIES_AVX2_TARGET)]] static window_classes classify(const char* p)
    {
        window_classes classes{};
#pragma GCC unroll 2
        for (unsigned part = 0; part < window_classes::size; part += 32) {
            const __m256i v = load(p + part);
            const __m256i space = _mm256_or_si256(
                _mm256_cmpeq_epi8(v, _mm256_set1_epi8(byte_class::space)),
                in_range(v, byte_class::space_run_first, byte_class::space_run_last));
            // Unsigned v <= ' ' as the minimum of the two being v.
            const __m256i control =
                _mm256_cmpeq_epi8(_mm256_min_epu8(v, _mm256_set1_epi8(byte_class::space)), v);
            const __m256i minus = _mm256_cmpeq_epi8(v, _mm256_set1_epi8('-'));
            classes.space |= std::uint64_t{bits(space)} << part;
            classes.control |= std::uint64_t{bits(control)} << part;
            classes.digit |= std::uint64_t{bits(in_range(v, '0', '9'))} << part;
            classes.minus |= std::uint64_t{bits(minus)} << part;
        }
        return classes;
    }

    // Each run of digits goes into a 64-bit lane, right-aligned with the
    // bytes before it cleared (as words::last_digits); then multiply-adds
    // join digits into pairs, pairs into fours and fours into eights, four
    // lanes to a vector. (After the SIMD digit parsing of simdjson and of
    // Wojciech Mula's notes; benchmark "parse/line/avx2" against
    // "parse/line/sse2".)
    [[gnu::target(STAMP_SERIES_AVX2_TARGET)]] static void digit_values(
        const char* p, const unsigned (&ends)[batch_size], const unsigned (&counts)[batch_size],
        std::uint32_t (&values)[batch_size])
    {
        // Packing interleaves two vectors by 128-bit halves, so the runs go
        // in as 0 1 4 5 and 2 3 6 7 to come out in order.
        const __m256i low = lanes(p, ends, counts, 0, 1, 4, 5);
        const __m256i high = lanes(p, ends, counts, 2, 3, 6, 7);
        const __m256i tens = _mm256_maddubs_epi16(low, _mm256_set1_epi16(0x010A));
        const __m256i tens_high = _mm256_maddubs_epi16(high, _mm256_set1_epi16(0x010A));
        const __m256i hundreds = _mm256_madd_epi16(tens, _mm256_set1_epi32(0x00010064));
        const __m256i hundreds_high = _mm256_madd_epi16(tens_high, _mm256_set1_epi32(0x00010064));
        const __m256i fours = _mm256_packus_epi32(hundreds, hundreds_high);
        const __m256i eights = _mm256_madd_epi16(fours, _mm256_set1_epi32(0x00012710));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(values), eights);
    }

private:
    [[gnu::target(STAMP_SERIES_AVX2_TARGET)]] static __m256i load(const char* p)
    {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    }

    [[gnu::target(STAMP_SERIES_AVX2_TARGET)]] static std::uint32_t bits(__m256i test)
    {
        return static_cast<std::uint32_t>(_mm256_movemask_epi8(test));
    }

    // Bytes from first to last: an unsigned range test done as a signed
    // comparison after moving first to -128.
    [[gnu::target(STAMP_SERIES_AVX2_TARGET)]] static __m256i in_range(__m256i v, char first,
                                                                      char last)
    {
        const __m256i moved = _mm256_add_epi8(v, _mm256_set1_epi8(static_cast<char>(0x80 - first)));
        return _mm256_cmpgt_epi8(_mm256_set1_epi8(static_cast<char>(last - first + 1 - 0x80)),
                                 moved);
    }

    // Runs a, b, c and d in four 64-bit lanes, digits as their values.
    [[gnu::target(STAMP_SERIES_AVX2_TARGET)]] static __m256i lanes(
        const char* p, const unsigned (&ends)[batch_size], const unsigned (&counts)[batch_size],
        unsigned a, unsigned b, unsigned c, unsigned d)
    {
        const unsigned runs_in[4] = {a, b, c, d};
        const auto word = [&](unsigned i) {
            return static_cast<long long>(words::load_64(p + ends[runs_in[i]] - 8));
        };
        const auto cleared = [&](unsigned i) {
            return static_cast<long long>(64 - 8 * counts[runs_in[i]]);
        };
        const __m256i runs = _mm256_set_epi64x(word(3), word(2), word(1), word(0));
        const __m256i shifts = _mm256_set_epi64x(cleared(3), cleared(2), cleared(1), cleared(0));
        const __m256i right = _mm256_sllv_epi64(_mm256_srlv_epi64(runs, shifts), shifts);
        return _mm256_and_si256(right, _mm256_set1_epi8(0x0F));
    }
};
#endif
