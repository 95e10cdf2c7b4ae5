// Vectors put together from values in scalar registers, for the kernel in
// kernel-inl.hpp. A vector load of values that were just stored one by one
// waits until the stores are done, as no single store can forward it, so the
// x86 targets build such vectors in registers; the other targets keep the
// portable form, which the kernel test compares with the x86 blocks.
//
// Included once per target, as kernel-inl.hpp is.
#if defined(STAMP_SERIES_SIMD_LANES_INL_HPP) == defined(HWY_TARGET_TOGGLE)
#ifdef STAMP_SERIES_SIMD_LANES_INL_HPP
#undef STAMP_SERIES_SIMD_LANES_INL_HPP
#else
#define STAMP_SERIES_SIMD_LANES_INL_HPP
#endif

#include <hwy/highway.h>

#include <cstddef>
#include <cstdint>

HWY_BEFORE_NAMESPACE();
namespace kernel::HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// Whether this target builds 64-bit lanes from scalars in registers: the
// full vectors of AVX2 (four lanes) and AVX-512 (eight), the sizes that the
// blocks below assume. Highway has no op that builds a vector wider than
// 128 bits from scalars (its later Dup128VecFromValues repeats one 128-bit
// block), so these blocks stay until it has one.
template <class D>
constexpr bool lanes_in_registers()
{
#if HWY_ARCH_X86 && (HWY_TARGET == HWY_AVX2 || HWY_TARGET <= HWY_AVX3)
    return sizeof(hn::TFromD<D>) == 8 && hn::MaxLanes(D()) * 8 == HWY_MAX_BYTES;
#else
    return false;
#endif
}

// Lane i of the vector is values[first + i], zero past the end of values.
template <class D, class T, std::size_t n>
HWY_INLINE hn::Vec<D> lanes_from_registers(D /* d */, const T (&values)[n], unsigned first)
{
    static_assert(lanes_in_registers<D>());
    const auto at = [&](unsigned i) {
        return first + i < n ? static_cast<long long>(values[first + i]) : 0;
    };
#if HWY_ARCH_X86 && HWY_TARGET == HWY_AVX2
    return hn::Vec<D>{_mm256_setr_epi64x(at(0), at(1), at(2), at(3))};
#elif HWY_ARCH_X86 && HWY_TARGET <= HWY_AVX3
    return hn::Vec<D>{_mm512_setr_epi64(at(0), at(1), at(2), at(3), at(4), at(5), at(6), at(7))};
#else
    return hn::Zero(D());
#endif
}

// Lanes first to first + Lanes(d) - 1 of values (zero past its end) as
// 64-bit lanes, put together in registers: in the target's block when
// `blocks` is set and the target has one, else a lane at a time.
template <bool blocks, class D, class T, std::size_t n>
HWY_INLINE hn::Vec<D> lanes_of(D d, const T (&values)[n], unsigned first)
{
    if constexpr (blocks && lanes_in_registers<D>()) {
        return lanes_from_registers(d, values, first);
    } else {
        const auto index = hn::Iota(d, 0);
        auto v = hn::Set(d, values[first]);
        for (unsigned i = 1; i < hn::Lanes(d); ++i) {
            const auto lane = static_cast<hn::TFromD<D>>(first + i < n ? values[first + i] : 0);
            v = hn::IfThenElse(hn::Eq(index, hn::Set(d, i)), hn::Set(d, lane), v);
        }
        return v;
    }
}

// Lanes first to first + Lanes(d) - 1 of 32-bit values that a caller has just
// stored, widened to 64 bits: from registers where lanes_of puts them
// together there, else loaded and widened.
template <bool blocks, class D, std::size_t n>
HWY_INLINE hn::Vec<D> widened_lanes(D d, const std::uint32_t (&values)[n], unsigned first)
{
    static_assert(sizeof(hn::TFromD<D>) == 8);
    if constexpr (blocks && lanes_in_registers<D>()) {
        return lanes_from_registers(d, values, first);
    } else {
        return hn::PromoteTo(d, hn::LoadU(hn::Rebind<std::uint32_t, D>(), values + first));
    }
}

}  // namespace kernel::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#endif
