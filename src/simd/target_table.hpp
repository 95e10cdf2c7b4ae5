// A function's entry point on each vector target that this translation unit
// compiled through foreach_target.h, for the filter's own dispatch (and the
// tests' and benchmarks'), which calls them directly and links nothing of
// Highway. Used after foreach_target.h, in the namespace that holds the
// HWY_NAMESPACE blocks (`kernel`):
//
//   constexpr target_entry<int(int)> entries[] = {TARGET_ENTRIES(function)};
//   entry_for(entries, target)(42);
#pragma once

#include <cstddef>
#include <cstdint>

template <class function>
struct target_entry {
    std::int64_t target;  // Highway's target bit
    function* entry;
};

// The targets that have an entry.
template <class function, std::size_t count>
constexpr std::int64_t targets_in(const target_entry<function> (&entries)[count])
{
    std::int64_t targets = 0;
    for (const target_entry<function>& e : entries) {
        targets |= e.target;
    }
    return targets;
}

// The entry for that target; nullptr where this file did not compile it.
template <class function, std::size_t count>
function* entry_for(const target_entry<function> (&entries)[count], std::int64_t target)
{
    for (const target_entry<function>& e : entries) {
        if (e.target == target) {
            return e.entry;
        }
    }
    return nullptr;
}

// One macro a target, empty where the target is not compiled; the bits of
// targets that a Highway release lacks read as 0 here, so those are empty too.
#if HWY_TARGETS & HWY_AVX3_SPR
#define TARGET_ENTRY_AVX3_SPR(f) {HWY_AVX3_SPR, &N_AVX3_SPR::f},
#else
#define TARGET_ENTRY_AVX3_SPR(f)
#endif
#if HWY_TARGETS & HWY_AVX3_ZEN4
#define TARGET_ENTRY_AVX3_ZEN4(f) {HWY_AVX3_ZEN4, &N_AVX3_ZEN4::f},
#else
#define TARGET_ENTRY_AVX3_ZEN4(f)
#endif
#if HWY_TARGETS & HWY_AVX3_DL
#define TARGET_ENTRY_AVX3_DL(f) {HWY_AVX3_DL, &N_AVX3_DL::f},
#else
#define TARGET_ENTRY_AVX3_DL(f)
#endif
#if HWY_TARGETS & HWY_AVX3
#define TARGET_ENTRY_AVX3(f) {HWY_AVX3, &N_AVX3::f},
#else
#define TARGET_ENTRY_AVX3(f)
#endif
#if HWY_TARGETS & HWY_AVX2
#define TARGET_ENTRY_AVX2(f) {HWY_AVX2, &N_AVX2::f},
#else
#define TARGET_ENTRY_AVX2(f)
#endif
#if HWY_TARGETS & HWY_SSE4
#define TARGET_ENTRY_SSE4(f) {HWY_SSE4, &N_SSE4::f},
#else
#define TARGET_ENTRY_SSE4(f)
#endif
#if HWY_TARGETS & HWY_SSE2
#define TARGET_ENTRY_SSE2(f) {HWY_SSE2, &N_SSE2::f},
#else
#define TARGET_ENTRY_SSE2(f)
#endif
#if HWY_TARGETS & HWY_SVE2_128
#define TARGET_ENTRY_SVE2_128(f) {HWY_SVE2_128, &N_SVE2_128::f},
#else
#define TARGET_ENTRY_SVE2_128(f)
#endif
#if HWY_TARGETS & HWY_SVE_256
#define TARGET_ENTRY_SVE_256(f) {HWY_SVE_256, &N_SVE_256::f},
#else
#define TARGET_ENTRY_SVE_256(f)
#endif
#if HWY_TARGETS & HWY_SVE2
#define TARGET_ENTRY_SVE2(f) {HWY_SVE2, &N_SVE2::f},
#else
#define TARGET_ENTRY_SVE2(f)
#endif
#if HWY_TARGETS & HWY_SVE
#define TARGET_ENTRY_SVE(f) {HWY_SVE, &N_SVE::f},
#else
#define TARGET_ENTRY_SVE(f)
#endif
#if HWY_TARGETS & HWY_NEON
#define TARGET_ENTRY_NEON(f) {HWY_NEON, &N_NEON::f},
#else
#define TARGET_ENTRY_NEON(f)
#endif
#if HWY_TARGETS & HWY_NEON_BF16
#define TARGET_ENTRY_NEON_BF16(f) {HWY_NEON_BF16, &N_NEON_BF16::f},
#else
#define TARGET_ENTRY_NEON_BF16(f)
#endif
#if HWY_TARGETS & HWY_NEON_WITHOUT_AES
#define TARGET_ENTRY_NEON_WITHOUT_AES(f) {HWY_NEON_WITHOUT_AES, &N_NEON_WITHOUT_AES::f},
#else
#define TARGET_ENTRY_NEON_WITHOUT_AES(f)
#endif
#if HWY_TARGETS & HWY_EMU128
#define TARGET_ENTRY_EMU128(f) {HWY_EMU128, &N_EMU128::f},
#else
#define TARGET_ENTRY_EMU128(f)
#endif
#if HWY_TARGETS & HWY_SCALAR
#define TARGET_ENTRY_SCALAR(f) {HWY_SCALAR, &N_SCALAR::f},
#else
#define TARGET_ENTRY_SCALAR(f)
#endif

// Widest first, as Highway orders its target bits.
// clang-format off
#define TARGET_ENTRIES(f) \
    TARGET_ENTRY_AVX3_SPR(f) TARGET_ENTRY_AVX3_ZEN4(f) TARGET_ENTRY_AVX3_DL(f) \
    TARGET_ENTRY_AVX3(f) TARGET_ENTRY_AVX2(f) TARGET_ENTRY_SSE4(f) TARGET_ENTRY_SSE2(f) \
    TARGET_ENTRY_SVE2_128(f) TARGET_ENTRY_SVE_256(f) TARGET_ENTRY_SVE2(f) TARGET_ENTRY_SVE(f) \
    TARGET_ENTRY_NEON_BF16(f) TARGET_ENTRY_NEON(f) TARGET_ENTRY_NEON_WITHOUT_AES(f) \
    TARGET_ENTRY_EMU128(f) TARGET_ENTRY_SCALAR(f)
// clang-format on
