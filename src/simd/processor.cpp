#include "simd/processor.hpp"

#include <hwy/detect_targets.h>

#if HWY_ARCH_X86_64
#include <cpuid.h>
#elif HWY_ARCH_ARM_A64
#include <sys/auxv.h>
#include <sys/prctl.h>
#endif

namespace {

// Groups of CPUID bits, each named after the target that needs them all,
// as Highway 1.0 to 1.2 group them: a bit that any of those releases asks
// for is asked for here, so that no target is taken that one of them would
// refuse. (leaf1_ecx, leaf7_ebx, leaf7_ecx, leaf7_edx, leaf7_1_eax, extended1_ecx)
struct cpuid_group {
    std::uint32_t leaf1_ecx = 0, leaf7_ebx = 0, leaf7_ecx = 0, leaf7_edx = 0, leaf7_1_eax = 0,
                  extended1_ecx = 0;
};

constexpr std::uint32_t bit(unsigned n)
{
    return std::uint32_t{1} << n;
}

// SSE3, SSSE3, SSE4.1, SSE4.2, PCLMULQDQ, AES.
constexpr cpuid_group sse4{bit(0) | bit(9) | bit(19) | bit(20) | bit(1) | bit(25)};
// And AVX, FMA, F16C; BMI1, AVX2, BMI2; LZCNT.
constexpr cpuid_group avx2{
    sse4.leaf1_ecx | bit(28) | bit(12) | bit(29), bit(3) | bit(5) | bit(8), 0, 0, 0, bit(5)};
// And AVX512 F, DQ, CD, BW, VL.
constexpr cpuid_group avx3{
    avx2.leaf1_ecx,    avx2.leaf7_ebx | bit(16) | bit(17) | bit(28) | bit(30) | bit(31), 0, 0, 0,
    avx2.extended1_ecx};
// And VBMI, VBMI2, GFNI, VAES, VPCLMULQDQ, VNNI, BITALG, VPOPCNTDQ.
constexpr cpuid_group avx3_dl{
    avx3.leaf1_ecx,
    avx3.leaf7_ebx,
    bit(1) | bit(6) | bit(8) | bit(9) | bit(10) | bit(11) | bit(12) | bit(14),
    0,
    0,
    avx3.extended1_ecx};
// And AVX512 BF16.
[[maybe_unused]] constexpr cpuid_group avx3_zen4{
    avx3_dl.leaf1_ecx, avx3_dl.leaf7_ebx, avx3_dl.leaf7_ecx, 0, bit(5), avx3_dl.extended1_ecx};
// And AVX512 FP16.
[[maybe_unused]] constexpr cpuid_group avx3_spr{avx3_zen4.leaf1_ecx,   avx3_zen4.leaf7_ebx,
                                                avx3_zen4.leaf7_ecx,   bit(23),
                                                avx3_zen4.leaf7_1_eax, avx3_zen4.extended1_ecx};

bool has(const x86_cpuid& cpu, const cpuid_group& g)
{
    return (cpu.leaf1_ecx & g.leaf1_ecx) == g.leaf1_ecx &&
           (cpu.leaf7_ebx & g.leaf7_ebx) == g.leaf7_ebx &&
           (cpu.leaf7_ecx & g.leaf7_ecx) == g.leaf7_ecx &&
           (cpu.leaf7_edx & g.leaf7_edx) == g.leaf7_edx &&
           (cpu.leaf7_1_eax & g.leaf7_1_eax) == g.leaf7_1_eax &&
           (cpu.extended1_ecx & g.extended1_ecx) == g.extended1_ecx;
}

// The arm64 kernel's AT_HWCAP and AT_HWCAP2 bits (asm/hwcap.h).
constexpr unsigned long hwcap_aes = 1ul << 3, hwcap_sve = 1ul << 22;
constexpr unsigned long hwcap2_sve2 = 1ul << 1, hwcap2_sveaes = 1ul << 2;

}  // namespace

// A target whose bit this Highway does not define (AVX3_ZEN4 and AVX3_SPR
// came after 1.0) is not compiled, and the bit is simply not set.
std::int64_t x86_targets(const x86_cpuid& cpu)
{
    // XMM and YMM state, then the opmask and both halves of ZMM, saved by the OS.
    const bool ymm_saved = (cpu.xcr0 & 0x6) == 0x6;
    const bool zmm_saved = ymm_saved && (cpu.xcr0 & 0xE0) == 0xE0;
    std::int64_t targets = 0;
    targets |= has(cpu, sse4) ? HWY_SSE4 : 0;
    targets |= ymm_saved && has(cpu, avx2) ? HWY_AVX2 : 0;
    targets |= zmm_saved && has(cpu, avx3) ? HWY_AVX3 : 0;
    targets |= zmm_saved && has(cpu, avx3_dl) ? HWY_AVX3_DL : 0;
#ifdef HWY_AVX3_ZEN4
    // Highway takes it on AMD's processors only, where compressing stores is slow.
    targets |= zmm_saved && cpu.amd && has(cpu, avx3_zen4) ? HWY_AVX3_ZEN4 : 0;
#endif
#ifdef HWY_AVX3_SPR
    targets |= zmm_saved && has(cpu, avx3_spr) ? HWY_AVX3_SPR : 0;
#endif
    return targets;
}

std::int64_t arm_targets(const arm_hwcaps& cpu)
{
    std::int64_t targets = 0;
    targets |= (cpu.hwcap & hwcap_aes) != 0 ? HWY_NEON : 0;
    const bool sve = (cpu.hwcap & hwcap_sve) != 0;
    const bool sve2 = sve && (cpu.hwcap2 & hwcap2_sve2) != 0 && (cpu.hwcap2 & hwcap2_sveaes) != 0;
    targets |= sve ? HWY_SVE : 0;
    targets |= sve2 ? HWY_SVE2 : 0;
    targets |= sve && cpu.sve_bytes == 32 ? HWY_SVE_256 : 0;
    targets |= sve2 && cpu.sve_bytes == 16 ? HWY_SVE2_128 : 0;
    return targets;
}

// AMD's family 19h runs each 512-bit operation as two 256-bit halves (Zen
// 4; Zen 3, of the same family, has no AVX-512): there the AVX-512 targets
// take 1.10 times as long as AVX2 with this kernel. Families after it
// execute 512 bits at once, and keep the widest target.
std::int64_t x86_slower_targets(const x86_cpuid& cpu)
{
    constexpr std::uint32_t zen3_and_zen4 = 0x19;
    std::int64_t wide = HWY_AVX3 | HWY_AVX3_DL;
#ifdef HWY_AVX3_ZEN4
    wide |= HWY_AVX3_ZEN4;
#endif
    return cpu.amd && cpu.family == zen3_and_zen4 ? wide : 0;
}

namespace {

#if HWY_ARCH_X86_64
x86_cpuid read_x86_cpuid()
{
    x86_cpuid cpu;
    unsigned a = 0;
    unsigned b = 0;
    unsigned c = 0;
    unsigned d = 0;
    __cpuid(0, a, b, c, d);
    const unsigned max_leaf = a;
    cpu.amd = b == 0x68747541 && d == 0x69746e65 && c == 0x444d4163;  // "AuthenticAMD"
    __cpuid(1, a, b, cpu.leaf1_ecx, d);
    const std::uint32_t base_family = a >> 8 & 0xF;
    cpu.family = base_family == 0xF ? base_family + (a >> 20 & 0xFF) : base_family;
    if (max_leaf >= 7) {
        __cpuid_count(7, 0, a, cpu.leaf7_ebx, cpu.leaf7_ecx, cpu.leaf7_edx);
        if (a >= 1) {
            __cpuid_count(7, 1, cpu.leaf7_1_eax, b, c, d);
        }
    }
    __cpuid(0x80000000, a, b, c, d);
    if (a >= 0x80000001) {
        __cpuid(0x80000001, a, b, cpu.extended1_ecx, d);
    }
    // XGETBV may only run where the OS has set OSXSAVE.
    if ((cpu.leaf1_ecx & bit(27)) != 0) {
        unsigned high = 0;
        asm volatile("xgetbv" : "=a"(cpu.xcr0), "=d"(high) : "c"(0));
    }
    return cpu;
}
#endif

}  // namespace

// The static target is compiled for the build's own baseline, which the
// binary needs anyway, and the portable one needs nothing: both always run.
std::int64_t processor_targets()
{
    std::int64_t targets = HWY_STATIC_TARGET | HWY_EMU128 | HWY_SCALAR;
#if HWY_ARCH_X86_64
    targets |= x86_targets(read_x86_cpuid());
#elif HWY_ARCH_ARM_A64
    arm_hwcaps cpu{getauxval(AT_HWCAP), getauxval(AT_HWCAP2), 0};
    if ((cpu.hwcap & hwcap_sve) != 0) {
        const int vl = prctl(PR_SVE_GET_VL);
        cpu.sve_bytes = vl > 0 ? static_cast<std::size_t>(vl & PR_SVE_VL_LEN_MASK) : 0;
    }
    targets |= arm_targets(cpu);
#endif
    return targets;
}

std::int64_t processor_slower_targets()
{
#if HWY_ARCH_X86_64
    return x86_slower_targets(read_x86_cpuid());
#else
    return 0;
#endif
}
