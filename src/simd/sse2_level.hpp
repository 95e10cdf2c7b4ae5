// The SSE2 level, which every x86-64 processor has: sixteen bytes compared
// at once, one bit per byte gathered by movemask.
#pragma once

#include "byte_class.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>

#include <cstdint>

struct sse2_level {
    static constexpr const char* name = "sse2";

    static std::uint64_t newline_mask(const char* p)
    {
        const __m128i newline = _mm_set1_epi8('\n');
        std::uint64_t mask = 0;
        for (unsigned part = 0; part < newline_block; part += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + part));
            mask |= std::uint64_t{bits(_mm_cmpeq_epi8(bytes, newline))} << part;
        }
        return mask;
    }

    static window_classes classify(const char* p)
    {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
        const auto both = [&](auto test) {
            return std::uint64_t{bits(test(low))} | std::uint64_t{bits(test(high))} << 16;
        };
        const auto equal = [](char c) {
            return [c](__m128i v) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); };
        };
        const auto within = [](char first, char last) {
            return [first, last](__m128i v) { return in_range(v, first, last); };
        };
        const std::uint64_t minus = both(equal('-'));
        return {both(within(byte_class::space_run_first, byte_class::space_run_last)) |
                    both(equal(byte_class::space)),
                minus | both(equal('+')), minus, both(within('0', '9'))};
    }

private:
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
