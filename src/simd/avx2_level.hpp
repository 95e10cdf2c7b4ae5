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

    // The tokens' digit counts and signs eight at once; then each token's
    // digits go into a 64-bit lane, right-aligned with the bytes before them
    // cleared (as words::last_digits), and multiply-adds join digits into
    // pairs, pairs into fours and fours into eights, four lanes to a vector.
    // (After the SIMD digit parsing of simdjson and of Wojciech Mula's
    // notes; benchmark "parse/window/avx2" against "parse/window/sse2".)
    [[gnu::target(STAMP_SERIES_AVX2_TARGET)]] static bool integer_values(
        const char* p, const batch_tokens& tokens, std::int32_t (&values)[batch_size])
    {
        __m256i negative;
        const __m256i counts = digit_counts(tokens, negative);
        if (counts_within(counts, max_batch_digits)) {
            store_signed(values, eight_digit_values(p, tokens.ends, 0, counts), negative);
            return true;
        }
        return counts_within(counts, 2 * max_batch_digits) &&
               long_integer_values(p, tokens, counts, negative, values);
    }

private:
    // Tokens of up to sixteen digits: their last eight and the eight before,
    // joined in 64-bit lanes and saturated to the 32-bit range as the token
    // scan saturates.
    [[gnu::target(STAMP_SERIES_AVX2_TARGET)]] static bool long_integer_values(
        const char* p, const batch_tokens& tokens, __m256i counts, __m256i negative,
        std::int32_t (&values)[batch_size])
    {
        const __m256i eight_lanes = _mm256_set1_epi32(8);
        const __m256i low =
            eight_digit_values(p, tokens.ends, 0, _mm256_min_epu32(counts, eight_lanes));
        const __m256i high = eight_digit_values(
            p, tokens.ends, 8,
            _mm256_sub_epi32(_mm256_max_epu32(counts, eight_lanes), eight_lanes));
        const __m256i ten8 = _mm256_set1_epi64x(100000000);
        const __m256i even = _mm256_add_epi64(
            _mm256_mul_epu32(high, ten8), _mm256_and_si256(low, _mm256_set1_epi64x(0xFFFFFFFF)));
        const __m256i odd = _mm256_add_epi64(_mm256_mul_epu32(_mm256_srli_epi64(high, 32), ten8),
                                             _mm256_srli_epi64(low, 32));
        // At most 2^31 - 1 for a positive value, 2^31 for a negative one.
        const __m256i limit_even = _mm256_add_epi64(
            _mm256_set1_epi64x(0x7FFFFFFF), _mm256_and_si256(negative, _mm256_set1_epi64x(1)));
        const __m256i limit_odd =
            _mm256_add_epi64(_mm256_set1_epi64x(0x7FFFFFFF), _mm256_srli_epi64(negative, 32));
        const __m256i even_kept =
            _mm256_blendv_epi8(even, limit_even, _mm256_cmpgt_epi64(even, limit_even));
        const __m256i odd_kept =
            _mm256_blendv_epi8(odd, limit_odd, _mm256_cmpgt_epi64(odd, limit_odd));
        store_signed(values, _mm256_blend_epi32(even_kept, _mm256_slli_epi64(odd_kept, 32), 0xAA),
                     negative);
        return true;
    }

public:
    // The eight digits of six values at once: each value split into four
    // digits and four (by a multiply and shift standing in for / 10000),
    // each four into two and two, each two into one and one, then the bytes
    // put in text order. (After Wojciech Mula's SIMD integer to string;
    // benchmark "format/line/avx2" against "format/line/sse2".)
    [[gnu::target(STAMP_SERIES_AVX2_TARGET)]] static void decimal_digits(
        std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d, std::uint32_t e,
        std::uint32_t f, std::uint64_t (&digits)[digit_batch])
    {
        // The unpacking below takes lanes 0 1 4 5 and 2 3 6 7 together, so
        // the values go in as a b e f c d to come out in order.
        const auto lane = [](std::uint32_t v) { return static_cast<int>(v); };
        const __m256i v =
            _mm256_setr_epi32(lane(a), lane(b), lane(e), lane(f), lane(c), lane(d), 0, 0);
        const __m256i magic = _mm256_set1_epi64x(109951163);  // 2^40 / 10^4, rounded up
        const __m256i even = _mm256_srli_epi64(_mm256_mul_epu32(v, magic), 40);
        const __m256i odd =
            _mm256_srli_epi64(_mm256_mul_epu32(_mm256_srli_epi64(v, 32), magic), 40);
        const __m256i high = _mm256_or_si256(even, _mm256_slli_epi64(odd, 32));
        const __m256i low = _mm256_sub_epi32(v, _mm256_mullo_epi32(high, _mm256_set1_epi32(10000)));
        const __m256i fours = _mm256_or_si256(high, _mm256_slli_epi32(low, 16));
        // x / 100 in each 16-bit lane below 10^4, as (x * 5243) >> 19.
        const __m256i twos_high =
            _mm256_srli_epi16(_mm256_mulhi_epu16(fours, _mm256_set1_epi16(5243)), 3);
        const __m256i twos_low =
            _mm256_sub_epi16(fours, _mm256_mullo_epi16(twos_high, _mm256_set1_epi16(100)));
        const __m256i first = ones(twos_high);
        const __m256i second = ones(twos_low);
        // Lanes 6 and 7 hold no value; their digits are left out.
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(digits),
                            _mm256_unpacklo_epi16(first, second));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(digits + 4),
                         _mm256_castsi256_si128(_mm256_unpackhi_epi16(first, second)));
    }

private:
    // Each 16-bit lane below 100 as its tens digit in the low byte and its
    // units digit in the high byte.
    [[gnu::target(STAMP_SERIES_AVX2_TARGET)]] static __m256i ones(__m256i x)
    {
        const __m256i tens = _mm256_mulhi_epu16(x, _mm256_set1_epi16(6554));  // x / 10 below 100
        const __m256i units = _mm256_sub_epi16(x, _mm256_mullo_epi16(tens, _mm256_set1_epi16(10)));
        return _mm256_or_si256(tens, _mm256_slli_epi16(units, 8));
    }

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

    [[gnu::target(STAMP_SERIES_AVX2_TARGET)]] static __m256i eight(const unsigned (&v)[batch_size])
    {
        return _mm256_setr_epi32(static_cast<int>(v[0]), static_cast<int>(v[1]),
                                 static_cast<int>(v[2]), static_cast<int>(v[3]),
                                 static_cast<int>(v[4]), static_cast<int>(v[5]),
                                 static_cast<int>(v[6]), static_cast<int>(v[7]));
    }

    // Each token's count of digits after its sign, and in negative a 1 for
    // each token with a sign.
    [[gnu::target(STAMP_SERIES_AVX2_TARGET)]] static __m256i digit_counts(
        const batch_tokens& tokens, __m256i& negative)
    {
        const __m256i starts = eight(tokens.starts);
        // The sign bits at the starts, from each quarter of the mask in turn;
        // shifts of 32 or more (negative ones among them) give 0.
        __m256i sign_bits = _mm256_setzero_si256();
        for (unsigned quarter = 0; quarter < 4; ++quarter) {
            const std::uint64_t word = tokens.signs[quarter / 2] >> (32 * (quarter % 2));
            sign_bits = _mm256_or_si256(
                sign_bits,
                _mm256_srlv_epi32(
                    _mm256_set1_epi32(static_cast<int>(word & 0xFFFFFFFF)),
                    _mm256_sub_epi32(starts, _mm256_set1_epi32(static_cast<int>(32 * quarter)))));
        }
        negative = _mm256_and_si256(sign_bits, _mm256_set1_epi32(1));
        return _mm256_sub_epi32(_mm256_sub_epi32(eight(tokens.ends), starts), negative);
    }

    // Whether every count is 1 to most: count - 1 below most, unsigned.
    [[gnu::target(STAMP_SERIES_AVX2_TARGET)]] static bool counts_within(__m256i counts,
                                                                        unsigned most)
    {
        const __m256i over = _mm256_sub_epi32(counts, _mm256_set1_epi32(1));
        const __m256i top = _mm256_set1_epi32(static_cast<int>(most - 1));
        return _mm256_movemask_epi8(_mm256_cmpeq_epi32(_mm256_min_epu32(over, top), over)) == -1;
    }

    // The values of the `counts` digits (0 to 8) before ends[i] - back, each
    // in its 32-bit lane.
    [[gnu::target(STAMP_SERIES_AVX2_TARGET)]] static __m256i eight_digit_values(
        const char* p, const unsigned (&ends)[batch_size], unsigned back, __m256i counts)
    {
        // Shift counts in the lane order of the packing below; 64 clears all.
        const __m256i cleared = _mm256_permutevar8x32_epi32(
            _mm256_sub_epi32(_mm256_set1_epi32(64),
                             _mm256_slli_epi32(_mm256_min_epu32(counts, _mm256_set1_epi32(8)), 3)),
            _mm256_setr_epi32(0, 1, 4, 5, 2, 3, 6, 7));
        // Packing interleaves two vectors by 128-bit halves, so the tokens
        // go in as 0 1 4 5 and 2 3 6 7 to come out in order.
        const __m256i first = digits_in(p - back, ends, 0, 1, 4, 5,
                                        _mm256_cvtepu32_epi64(_mm256_castsi256_si128(cleared)));
        const __m256i second =
            digits_in(p - back, ends, 2, 3, 6, 7,
                      _mm256_cvtepu32_epi64(_mm256_extracti128_si256(cleared, 1)));
        const __m256i pairs = _mm256_set1_epi16(0x010A);
        const __m256i fours = _mm256_set1_epi32(0x00010064);
        const __m256i hundreds =
            _mm256_packus_epi32(_mm256_madd_epi16(_mm256_maddubs_epi16(first, pairs), fours),
                                _mm256_madd_epi16(_mm256_maddubs_epi16(second, pairs), fours));
        return _mm256_madd_epi16(hundreds, _mm256_set1_epi32(0x00012710));
    }

    [[gnu::target(STAMP_SERIES_AVX2_TARGET)]] static void store_signed(
        std::int32_t (&values)[batch_size], __m256i magnitudes, __m256i negative)
    {
        const __m256i flips = _mm256_sub_epi32(_mm256_setzero_si256(), negative);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(values),
                            _mm256_sub_epi32(_mm256_xor_si256(magnitudes, flips), flips));
    }

    // The eight bytes before the ends of tokens a, b, c and d in four 64-bit
    // lanes, the bytes before each token's digits cleared by the shifts,
    // digits as their values.
    [[gnu::target(STAMP_SERIES_AVX2_TARGET)]] static __m256i digits_in(
        const char* p, const unsigned (&ends)[batch_size], unsigned a, unsigned b, unsigned c,
        unsigned d, __m256i shifts)
    {
        const auto word = [&](unsigned i) {
            return static_cast<long long>(words::load_64(p + ends[i] - 8));
        };
        const __m256i bytes = _mm256_set_epi64x(word(d), word(c), word(b), word(a));
        const __m256i right = _mm256_sllv_epi64(_mm256_srlv_epi64(bytes, shifts), shifts);
        return _mm256_and_si256(right, _mm256_set1_epi8(0x0F));
    }
};
#endif
