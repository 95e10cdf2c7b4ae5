// Which of this build's vector targets the processor runs, decided from
// what the processor reports about itself, the way Highway's own run-time
// library decides it, so that the filter links nothing of Highway's.
#pragma once

#include <cstddef>
#include <cstdint>

// The words of the x86 CPUID leaves (and of XCR0) that the targets depend on.
struct x86_cpuid {
    std::uint32_t leaf1_ecx = 0;
    std::uint32_t leaf7_ebx = 0, leaf7_ecx = 0, leaf7_edx = 0;
    std::uint32_t leaf7_1_eax = 0;    // leaf 7, subleaf 1
    std::uint32_t extended1_ecx = 0;  // leaf 0x80000001
    std::uint32_t xcr0 = 0;           // the register state the OS saves
    bool amd = false;
    std::uint32_t family = 0;  // the family as displayed: base, plus extended where base is 0xF
};

// What an arm64 Linux kernel reports: AT_HWCAP, AT_HWCAP2 and the SVE
// vector length in bytes (0 without SVE).
struct arm_hwcaps {
    unsigned long hwcap = 0, hwcap2 = 0;
    std::size_t sve_bytes = 0;
};

// Highway's target bits (of every target, compiled or not) that a processor
// reporting these words runs.
std::int64_t x86_targets(const x86_cpuid& cpu);
std::int64_t arm_targets(const arm_hwcaps& cpu);

// The target bits that this processor runs, asked of the processor itself
// (or on arm64 of the kernel). Called once, when the filter starts.
std::int64_t processor_targets();

// Of the targets a processor reporting these words runs, those that it is
// known to run more slowly than a narrower one it also runs: the dispatch
// passes them over, from the processor's identity alone, as timing a run at
// every start would cost more than it saves on a small log.
std::int64_t x86_slower_targets(const x86_cpuid& cpu);
// The same for this processor.
std::int64_t processor_slower_targets();
