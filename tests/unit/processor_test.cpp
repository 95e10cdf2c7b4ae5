// The targets that a processor runs, from what it reports, for processors
// that tell each feature group apart; and a pinned target that the
// processor lacks refused.
#include "simd/processor.hpp"
#include "simd/targets.hpp"

#include <hwy/detect_targets.h>

#include <gtest/gtest.h>

namespace {

#ifdef HWY_AVX3_ZEN4
constexpr std::int64_t zen4 = HWY_AVX3_ZEN4;
#else
constexpr std::int64_t zen4 = 0;
#endif

constexpr std::uint32_t sse4 = 0x02080203;  // SSE3, PCLMUL, SSSE3, SSE4.1, AES (no SSE4.2 yet)
constexpr std::uint32_t sse42 = sse4 | 0x00100000;
constexpr std::uint32_t avx = sse42 | 0x38001000;  // and FMA, AVX, F16C, OSXSAVE
constexpr std::uint32_t avx2_ebx = 0x128;          // BMI1, AVX2, BMI2
constexpr std::uint32_t avx3_ebx = avx2_ebx | 0xD0030000;
constexpr std::uint32_t dl_ecx = 0x5F42;
constexpr std::uint32_t lzcnt = 0x20;

struct x86_case {
    const char* processor;
    x86_cpuid cpu;
    std::int64_t targets;
};

const x86_case x86_cases[] = {
    {"x86-64 baseline", {0x1}, 0},
    {"SSE4.2 without AES", {sse42 & ~0x02000000u}, 0},
    {"SSE4.1 only", {sse4}, 0},
    {"SSE4.2 and AES", {sse42}, HWY_SSE4},
    {"AVX2", {avx, avx2_ebx, 0, 0, 0, lzcnt, 0x7}, HWY_SSE4 | HWY_AVX2},
    {"AVX2, YMM not saved by the OS", {avx, avx2_ebx, 0, 0, 0, lzcnt, 0x3}, HWY_SSE4},
    {"AVX2 without FMA", {avx & ~0x1000u, avx2_ebx, 0, 0, 0, lzcnt, 0x7}, HWY_SSE4},
    {"AVX2 without LZCNT", {avx, avx2_ebx, 0, 0, 0, 0, 0x7}, HWY_SSE4},
    {"AVX-512", {avx, avx3_ebx, 0, 0, 0, lzcnt, 0xE7}, HWY_SSE4 | HWY_AVX2 | HWY_AVX3},
    {"AVX-512, ZMM not saved", {avx, avx3_ebx, 0, 0, 0, lzcnt, 0x7}, HWY_SSE4 | HWY_AVX2},
    {"AVX-512 without CD",
     {avx, avx3_ebx & ~0x10000000u, 0, 0, 0, lzcnt, 0xE7},
     HWY_SSE4 | HWY_AVX2},
    {"AVX-512 VBMI2 and the rest",
     {avx, avx3_ebx, dl_ecx, 0, 0, lzcnt, 0xE7},
     HWY_SSE4 | HWY_AVX2 | HWY_AVX3 | HWY_AVX3_DL},
    {"AVX-512 VBMI2 but no GFNI",
     {avx, avx3_ebx, dl_ecx & ~0x100u, 0, 0, lzcnt, 0xE7},
     HWY_SSE4 | HWY_AVX2 | HWY_AVX3},
    {"AVX-512 VBMI2 and BF16, AMD",
     {avx, avx3_ebx, dl_ecx, 0, 0x20, lzcnt, 0xE7, true},
     HWY_SSE4 | HWY_AVX2 | HWY_AVX3 | HWY_AVX3_DL | zen4},
    {"AVX-512 VBMI2 and BF16, not AMD",
     {avx, avx3_ebx, dl_ecx, 0, 0x20, lzcnt, 0xE7},
     HWY_SSE4 | HWY_AVX2 | HWY_AVX3 | HWY_AVX3_DL},
};

TEST(processor, x86_feature_groups_give_their_targets)
{
    for (const x86_case& c : x86_cases)
        EXPECT_EQ(x86_targets(c.cpu), c.targets) << c.processor;
}

// The dispatch's choice among the targets a processor runs, by its identity.
TEST(processor, the_dispatch_passes_over_targets_the_processor_runs_more_slowly)
{
    const std::uint32_t zen3_and_zen4 = 0x19;
    const std::uint32_t zen5 = 0x1A;
    const std::uint32_t intel = 6;
    const struct {
        const char* processor;
        x86_cpuid cpu;
        std::int64_t chosen;
    } cases[] = {
        {"AMD family 19h with AVX-512 (Zen 4)",
         {avx, avx3_ebx, dl_ecx, 0, 0x20, lzcnt, 0xE7, true, zen3_and_zen4},
         HWY_AVX2},
        {"AMD family 19h without AVX-512 (Zen 3)",
         {avx, avx2_ebx, 0, 0, 0, lzcnt, 0x7, true, zen3_and_zen4},
         HWY_AVX2},
        {"AMD family 1Ah (Zen 5)",
         {avx, avx3_ebx, dl_ecx, 0, 0x20, lzcnt, 0xE7, true, zen5},
         best_target(HWY_AVX3_DL | zen4)},
        {"Intel with AVX-512 VBMI2",
         {avx, avx3_ebx, dl_ecx, 0, 0, lzcnt, 0xE7, false, intel},
         HWY_AVX3_DL},
        {"family 19h, not AMD",
         {avx, avx3_ebx, 0, 0, 0, lzcnt, 0xE7, false, zen3_and_zen4},
         HWY_AVX3},
    };
    for (const auto& c : cases) {
        const std::int64_t runs = x86_targets(c.cpu) | HWY_EMU128;
        EXPECT_EQ(chosen_target(runs, x86_slower_targets(c.cpu)), c.chosen) << c.processor;
    }
    EXPECT_EQ(chosen_target(HWY_AVX3 | HWY_EMU128, HWY_AVX3), HWY_EMU128);
    EXPECT_EQ(chosen_target(HWY_AVX3, HWY_AVX3), HWY_AVX3) << "nothing else runs";
}

constexpr unsigned long aes = 1ul << 3, sve = 1ul << 22, sve2 = 1ul << 1, sveaes = 1ul << 2;

struct arm_case {
    const char* processor;
    arm_hwcaps cpu;
    std::int64_t targets;
};

const arm_case arm_cases[] = {
    {"NEON without AES", {0, 0, 0}, 0},
    {"NEON", {aes, 0, 0}, HWY_NEON},
    {"SVE of 256 bits", {aes | sve, 0, 32}, HWY_NEON | HWY_SVE | HWY_SVE_256},
    {"SVE2 of 128 bits",
     {aes | sve, sve2 | sveaes, 16},
     HWY_NEON | HWY_SVE | HWY_SVE2 | HWY_SVE2_128},
    {"SVE2 of 512 bits", {aes | sve, sve2 | sveaes, 64}, HWY_NEON | HWY_SVE | HWY_SVE2},
    {"SVE2 without its AES", {aes | sve, sve2, 16}, HWY_NEON | HWY_SVE},
};

TEST(processor, arm_feature_groups_give_their_targets)
{
    for (const arm_case& c : arm_cases)
        EXPECT_EQ(arm_targets(c.cpu), c.targets) << c.processor;
}

TEST(processor, a_pinned_target_the_processor_lacks_is_refused)
{
    const std::int64_t here = targets_here();
    for (std::int64_t rest = here; rest != 0; rest &= rest - 1) {
        const std::int64_t target = best_target(rest);
        EXPECT_EQ(target_named(target_name(target), here), target);
        EXPECT_EQ(target_named(target_name(target), here & ~target), 0) << target_name(target);
    }
    EXPECT_EQ(target_named("best", here), chosen_target(here, processor_slower_targets()));
    EXPECT_EQ(target_named("portable", here & -here), best_target(here));
}

}  // namespace
