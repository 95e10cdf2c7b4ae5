# The flags of a fuzzing build, which needs clang: the fuzzer's coverage and
# the sanitizers on everything compiled, the core included, so that the
# harnesses link the core as every other program does.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "STAMP_SERIES_FUZZ needs clang++ (-DCMAKE_CXX_COMPILER=clang++)")
endif()
# A run with a fixed seed must go the same way in any clone (run_smoke
# --fixed), so no address may reach the comparisons whose values the fuzzer
# takes as hints: the harnesses and std::string's members, which order
# addresses as integers, are left out of the coverage (coverage_ignore.txt),
# and the check of pointer arithmetic for overflow, which compares addresses
# of the data and of string literals, is left to the sanitizer suite.
set(fuzz_sanitizers -fsanitize=address,undefined -fno-sanitize=pointer-overflow
    -fno-sanitize-recover=all)
add_compile_options(-fsanitize=fuzzer-no-link ${fuzz_sanitizers}
    -fsanitize-coverage-ignorelist=${CMAKE_CURRENT_LIST_DIR}/coverage_ignore.txt)
set(fuzz_link_flags -fsanitize=fuzzer ${fuzz_sanitizers})
