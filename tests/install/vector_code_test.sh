#!/bin/sh
# The binary must run on any x86-64: instructions beyond the x86-64
# baseline (VEX- and EVEX-encoded ones, which use the AVX registers, and
# BMI1 and BMI2 operations) may appear only in the code of Highway's AVX2
# and AVX-512 targets (namespaces N_AVX2, N_AVX3, N_AVX3_DL), which runs
# after the processor has been checked, and in the C library's own
# variants, which it chooses the same way. tzcnt and lzcnt are left out:
# they share their encodings with bsf and bsr, which GCC emits for the
# baseline.
# usage: vector_code_test.sh BINARY
set -u
command -v objdump > /dev/null || { echo "objdump not installed: skipped"; exit 77; }
found=$(objdump -d --no-show-raw-insn -C "$1" | awk '
    /^[0-9a-f]+ <.*>:$/ { function_name = $0; next }
    /%ymm|%zmm|%k[0-7]|\t(v[a-z0-9]+|andn|blsr|blsi|blsmsk|bzhi|shlx|shrx|sarx|rorx|pdep|pext|mulx|kmov[bwdq]) / {
        if (function_name !~ /avx|evex|N_AVX2|N_AVX3/) print function_name ": " $0
    }' | head -n 20)
[ -z "$found" ] || { echo "beyond the x86-64 baseline outside the AVX2 and AVX-512 code:"; echo "$found"; exit 1; }
