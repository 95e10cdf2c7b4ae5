// The vector kernel of the scanner and the writer, written once on Highway
// for a vector of any length: the newline search, the byte classes of a
// window, the conversion of a batch of integer tokens and the digits of a
// batch of values. Highway compiles it once for each target; its portable
// target (EMU128) is the scalar twin, which builds for any machine. Each
// function gives what the byte-by-byte definitions in byte_class.hpp give.
//
// Included once per target, as Highway's per-target headers are: the guard
// below flips with HWY_TARGET_TOGGLE instead of stopping a second include.
#if defined(STAMP_SERIES_SIMD_KERNEL_INL_HPP) == defined(HWY_TARGET_TOGGLE)
#ifdef STAMP_SERIES_SIMD_KERNEL_INL_HPP
#undef STAMP_SERIES_SIMD_KERNEL_INL_HPP
#else
#define STAMP_SERIES_SIMD_KERNEL_INL_HPP
#endif

#include "simd/byte_class.hpp"
#include "simd/digits-inl.hpp"
#include "simd/lanes-inl.hpp"

#include <hwy/highway.h>

#include <bit>
#include <cstdint>

HWY_BEFORE_NAMESPACE();
namespace kernel::HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// A lane's bytes are the text's bytes in order, the first the lowest: the
// digit arithmetic below needs a little-endian machine, as every Highway
// target of x86-64 and arm64 is.
static_assert(std::endian::native == std::endian::little);

// Bit i set for lane i of the mask. Highway 1.0.3 keeps the short form
// (movemask on x86, pairwise adds on NEON) in its detail namespace, and on
// arm64 the bits above the lanes of a full vector repeat the low ones, so
// they are cleared; the other targets store the bits and read them back.
template <class D>
HWY_INLINE std::uint64_t mask_bits(D d, hn::Mask<D> m)
{
#if HWY_TARGET == HWY_SSE4 || HWY_TARGET == HWY_SSSE3 || HWY_TARGET == HWY_AVX2 || \
    HWY_TARGET == HWY_NEON
    static_assert(hn::MaxLanes(D()) < 64);
    return hn::detail::BitsFromMask(m) & ((std::uint64_t{1} << hn::Lanes(d)) - 1);
#else
    std::uint8_t bytes[8] = {};
    hn::StoreMaskBits(d, m, bytes);
    std::uint64_t bits = 0;
#pragma GCC unroll 8
    for (unsigned i = 0; i < 8; ++i) {
        bits |= std::uint64_t{bytes[i]} << (8 * i);
    }
    return bits;
#endif
}

// Bytes of a window: the widest vector up to the whole window, so that a
// vector of 64 bytes takes a window in one step.
using byte_tag = hn::CappedTag<std::uint8_t, window_classes::size>;
// 64-bit lanes, one for each token or value of a batch.
using wide_tag = hn::CappedTag<std::uint64_t, batch_size>;

// Bytes from first to last: an unsigned range test done as one signed
// comparison after moving first to -128, which every target has.
template <class D, class V>
HWY_INLINE hn::Mask<D> in_range(D d, V v, char first, char last)
{
    const hn::RebindToSigned<D> di;
    const auto moved =
        hn::BitCast(di, hn::Add(v, hn::Set(d, static_cast<std::uint8_t>(0x80 - first))));
    const auto bound = static_cast<std::int8_t>(last - first + 1 - 0x80);
    return hn::RebindMask(d, hn::Lt(moved, hn::Set(di, bound)));
}

// The last min(count, 8) of the eight bytes before each token's end less
// `back`, as digit values, the bytes before them cleared. Counts are below
// 256, so that a lane's upper half is zero and 32-bit lanes, which every
// target compares and takes minima of in one step, can do the work; a count
// of 0 keeps all eight bytes, for a token that the caller refuses anyway.
template <class V>
HWY_INLINE V token_digits(const char* p, V ends, V count, unsigned back)
{
    const wide_tag d64;
    const hn::Repartition<std::uint32_t, wide_tag> d32;
    const hn::RebindToSigned<wide_tag> di64;
    const V kept = hn::BitCast(d64, hn::Min(hn::BitCast(d32, count), hn::Set(d32, 8)));
    const V offsets = hn::Sub(ends, hn::Set(d64, 8 + back));
    // The gather reads eight bytes at each offset; the pointer is never
    // dereferenced as a 64-bit object of its own.
    const V bytes = hn::GatherOffset(d64, reinterpret_cast<const std::uint64_t*>(p),
                                     hn::BitCast(di64, offsets));
    const V cleared = hn::And(hn::Sub(hn::Set(d64, 64), hn::ShiftLeft<3>(kept)), hn::Set(d64, 63));
    const V keep = hn::Shl(hn::Set(d64, ~std::uint64_t{0}), cleared);
    return hn::And(hn::And(bytes, keep), hn::Set(d64, 0x0F0F0F0F0F0F0F0Fu));
}

// Whether every count (below 256) is below `limit`, compared in 32-bit lanes.
template <class V>
HWY_INLINE bool all_below(V count, std::int32_t limit)
{
    const hn::Repartition<std::int32_t, wide_tag> di32;
    return hn::AllTrue(di32, hn::Lt(hn::BitCast(di32, count), hn::Set(di32, limit)));
}

// The kernel with the target's own blocks (see lanes-inl.hpp) when `blocks`
// is set, else with the portable forms that they stand in for, which the
// kernel test runs as well.
template <bool blocks>
struct kernel_of {
    static const char* name() { return blocks ? hwy::TargetName(HWY_TARGET) : "portable forms"; }

    // Bit i set when byte i of the newline_block bytes at p is '\n'.
    static std::uint64_t newline_mask(const char* p)
    {
        const byte_tag d;
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(p);
        std::uint64_t mask = 0;
#pragma GCC unroll 8
        for (unsigned part = 0; part < newline_block; part += hn::Lanes(d)) {
            mask |= mask_bits(d, hn::Eq(hn::LoadU(d, bytes + part), hn::Set(d, '\n'))) << part;
        }
        return mask;
    }

    // The classes of the window_classes::size bytes at p.
    static window_classes classify(const char* p)
    {
        const byte_tag d;
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(p);
        window_classes classes{};
#pragma GCC unroll 8
        for (unsigned part = 0; part < window_classes::size; part += hn::Lanes(d)) {
            const auto v = hn::LoadU(d, bytes + part);
            const auto space =
                hn::Or(hn::Eq(v, hn::Set(d, byte_class::space)),
                       in_range(d, v, byte_class::space_run_first, byte_class::space_run_last));
            // Unsigned v <= ' ' as the minimum of the two being v.
            const auto control = hn::Eq(hn::Min(v, hn::Set(d, byte_class::space)), v);
            classes.space |= mask_bits(d, space) << part;
            classes.control |= mask_bits(d, control) << part;
            classes.digit |= mask_bits(d, in_range(d, v, '0', '9')) << part;
            classes.minus |= mask_bits(d, hn::Eq(v, hn::Set(d, '-'))) << part;
        }
        return classes;
    }

    // The values of the integer tokens, saturated to the 32-bit range as the
    // token scan saturates them; false, leaving values as they may be, when
    // a token has no digit after its sign or more than sixteen. Reads the
    // sixteen bytes before each token's end.
    static bool integer_values(const char* p, const batch_tokens& tokens,
                               std::int64_t (&values)[batch_size])
    {
        const wide_tag d64;
        const hn::Repartition<std::uint32_t, wide_tag> d32;
        const auto one = hn::Set(d64, 1);
        const hn::RebindToSigned<wide_tag> di64;
        auto counts_less_one = hn::Zero(d64);
#pragma GCC unroll 8
        for (unsigned i = 0; i < batch_size; i += hn::Lanes(d64)) {
            const auto starts = widened_lanes<blocks>(d64, tokens.starts, i);
            const auto ends = widened_lanes<blocks>(d64, tokens.ends, i);
            const auto first_word = hn::Lt(hn::BitCast(di64, starts), hn::Set(di64, 64));
            const auto sign_word =
                hn::IfThenElse(hn::RebindMask(d64, first_word), hn::Set(d64, tokens.signs[0]),
                               hn::Set(d64, tokens.signs[1]));
            const auto negative =
                hn::And(hn::Shr(sign_word, hn::And(starts, hn::Set(d64, 63))), one);
            const auto count = hn::Sub(hn::Sub(ends, starts), negative);
            counts_less_one = hn::Or(counts_less_one, hn::Sub(count, one));
            auto magnitude = eight_digit_values<blocks>(token_digits(p, ends, count, 0));
            if (!all_below(count, 9)) {
                // Nine to sixteen digits: the eight before the last eight
                // join them, and the sum saturates at 2^31 - 1, or 2^31 for
                // a negative value.
                const auto high_count = hn::IfThenElseZero(hn::Gt(count, hn::Set(d64, 8)),
                                                           hn::Sub(count, hn::Set(d64, 8)));
                const auto high = hn::IfThenElseZero(
                    hn::Gt(high_count, hn::Zero(d64)),
                    eight_digit_values<blocks>(token_digits(p, ends, high_count, 8)));
                magnitude = hn::Add(hn::MulEven(hn::BitCast(d32, high), hn::Set(d32, 100000000)),
                                    magnitude);
                magnitude = hn::Min(magnitude, hn::Add(hn::Set(d64, 0x7FFFFFFF), negative));
            }
            const auto flip = hn::Sub(hn::Zero(d64), negative);
            const auto value = hn::Sub(hn::Xor(magnitude, flip), flip);
            hn::StoreU(hn::BitCast(hn::RebindToSigned<wide_tag>(), value),
                       hn::RebindToSigned<wide_tag>(), values + i);
        }
        const auto within =
            hn::Eq(hn::And(counts_less_one, hn::Set(d64, ~std::uint64_t{15})), hn::Zero(d64));
        return hn::AllTrue(d64, within);
    }

    // The eight decimal digits of six values below 10^8, one a byte (0 to 9,
    // not yet characters), the most significant first in text order: each
    // value split into four digits and four (a multiply and shift standing in
    // for / 10000), each four into two and two, each two into one and one.
    // (The SWAR digit split of Paul Khuong's and Daniel Lemire's notes on
    // integer to string, in real lanes.)
    static void decimal_digits(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                               std::uint32_t e, std::uint32_t f,
                               std::uint64_t (&digits)[digit_batch])
    {
        const wide_tag d64;
        const hn::Repartition<std::uint32_t, wide_tag> d32;
        const hn::Repartition<std::uint16_t, wide_tag> d16;
        const std::uint32_t in[digit_batch] = {a, b, c, d, e, f};
        alignas(64) std::uint64_t out[batch_size];
#pragma GCC unroll 8
        for (unsigned i = 0; i < digit_batch; i += hn::Lanes(d64)) {
            const auto v = lanes_of<blocks>(d64, in, i);
            const auto high = hn::ShiftRight<40>(
                hn::MulEven(hn::BitCast(d32, v), hn::Set(d32, 109951163)));  // 2^40 / 10^4, up
            const auto low = hn::Sub(v, hn::MulEven(hn::BitCast(d32, high), hn::Set(d32, 10000)));
            const auto fours = hn::BitCast(d32, hn::Or(high, hn::ShiftLeft<32>(low)));
            // Quotient and remainder go to their halves, the quotient the
            // lower, in one multiply and add: (x << n) + q * (1 - divisor
            // * 2^n) is q + ((x - divisor * q) << n), modulo 2^2n.
            const auto hundreds = hn::ShiftRight<19>(hn::Mul(fours, hn::Set(d32, 5243)));
            const auto twos =
                hn::BitCast(d16, hn::Add(hn::ShiftLeft<16>(fours),
                                         hn::Mul(hundreds, hn::Set(d32, 1u - (100u << 16)))));
            // Tens and ones of each pair by fixed point: twos * 6554 is
            // tens * 2^16 + ones * 6553.6 + twos * 0.4, so its upper half is
            // the tens, and ten times its lower half has the ones in its
            // upper half while twos * 4 stays below 2^16.
            const auto scaled = hn::Mul(twos, hn::Set(d16, 6554));
            const auto split = hn::Or(hn::MulHigh(twos, hn::Set(d16, 6554)),
                                      hn::ShiftLeft<8>(hn::MulHigh(scaled, hn::Set(d16, 10))));
            hn::Store(hn::BitCast(d64, split), d64, out + i);
        }
#pragma GCC unroll 8
        for (unsigned i = 0; i < digit_batch; ++i) {
            digits[i] = out[i];
        }
    }
};

using vector_kernel = kernel_of<true>;

}  // namespace kernel::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#endif
