// Digit joins for the kernel in kernel-inl.hpp: the value of up to eight
// digit bytes in each 64-bit lane. Each step joins neighbouring lanes into
// the wider lane, digits into pairs, pairs into fours, fours into eight (the
// SWAR digit parse of fast_float and simdjson, done in real lanes of 16, 32
// and 64 bits). The x86 targets join bytes with one multiply-add of their
// own; the others keep the portable form, which the kernel test compares
// with it. (pmaddubsw for the pairs and pmaddwd for the fours is how
// simdjson parses eight digits on SSE, after Wojciech Mula.)
//
// Included once per target, as kernel-inl.hpp is.
#if defined(STAMP_SERIES_SIMD_DIGITS_INL_HPP) == defined(HWY_TARGET_TOGGLE)
#ifdef STAMP_SERIES_SIMD_DIGITS_INL_HPP
#undef STAMP_SERIES_SIMD_DIGITS_INL_HPP
#else
#define STAMP_SERIES_SIMD_DIGITS_INL_HPP
#endif

#include <hwy/highway.h>

#include <cstdint>

HWY_BEFORE_NAMESPACE();
namespace kernel::HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// Whether this target joins digit bytes with x86's unsigned-by-signed byte
// multiply-add (pmaddubsw: SSSE3, AVX2, and AVX-512BW, which Highway's
// AVX3 targets require). Highway 1.1's SatWidenMulPairwiseAdd is the same
// op on every target and would replace the block below.
constexpr bool byte_multiply_add()
{
#if HWY_ARCH_X86 && HWY_TARGET <= HWY_SSSE3
    return true;
#else
    return false;
#endif
}

// 10 * first + second for the digit bytes (0 to 9) of each 16-bit lane, the
// first the lower: in the block, the bytes times 10 and 1 added in pairs,
// which cannot saturate as the sum is at most 99; else the lane times
// 0x0A01, whose upper byte is that sum.
template <bool blocks, class V>
HWY_INLINE auto digit_pairs(V digits)
{
    const hn::DFromV<V> d;
    const hn::Repartition<std::uint16_t, decltype(d)> d16;
    if constexpr (blocks && byte_multiply_add()) {
#if HWY_ARCH_X86 && HWY_TARGET == HWY_AVX2
        return hn::Vec<decltype(d16)>{_mm256_maddubs_epi16(digits.raw, _mm256_set1_epi16(0x010A))};
#elif HWY_ARCH_X86 && HWY_TARGET <= HWY_AVX3
        return hn::Vec<decltype(d16)>{_mm512_maddubs_epi16(digits.raw, _mm512_set1_epi16(0x010A))};
#elif HWY_ARCH_X86 && HWY_TARGET <= HWY_SSSE3
        return hn::Vec<decltype(d16)>{_mm_maddubs_epi16(digits.raw, _mm_set1_epi16(0x010A))};
#endif
    } else {
        return hn::ShiftRight<8>(hn::Mul(hn::BitCast(d16, digits), hn::Set(d16, 0x0A01)));
    }
}

// The value of the digit bytes (0 to 9) of each 64-bit lane, the first in
// the lowest byte. The pairs (at most 99) join into fours in 16-bit lanes
// multiplied into 32-bit sums, which is one multiply-add on x86 and NEON.
template <bool blocks, class V>
HWY_INLINE V eight_digit_values(V digits)
{
    const hn::DFromV<V> d64;
    const hn::Repartition<std::int16_t, decltype(d64)> di16;
    const hn::Repartition<std::int32_t, decltype(d64)> di32;
    const hn::Repartition<std::uint32_t, decltype(d64)> d32;
    const auto pairs = hn::BitCast(di16, digit_pairs<blocks>(digits));
    const auto weights = hn::BitCast(di16, hn::Set(di32, (1 << 16) + 100));
    auto odd = hn::Zero(di32);
    const auto even = hn::ReorderWidenMulAccumulate(di32, pairs, weights, hn::Zero(di32), odd);
    const auto fours = hn::BitCast(d32, hn::RearrangeToOddPlusEven(even, odd));
    return hn::Add(hn::MulEven(fours, hn::Set(d32, 10000)),
                   hn::ShiftRight<32>(hn::BitCast(d64, fours)));
}

}  // namespace kernel::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#endif
