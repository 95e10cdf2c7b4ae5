#include "simd/level.hpp"

#include <initializer_list>

const char* level_name(vector_level level)
{
    switch (level) {
        case vector_level::scalar: return scalar_level::name;
        case vector_level::sse2: return "sse2";
        case vector_level::avx2: return "avx2";
    }
    return "?";
}

bool level_runs_here(vector_level level)
{
    if (level == vector_level::scalar) {
        return true;
    }
#if STAMP_SERIES_VECTOR_LEVELS
    __builtin_cpu_init();
    if (level == vector_level::sse2) {
        return true;  // part of x86-64 itself
    }
    // GCC's and clang's checks include the operating system's support for
    // the AVX registers.
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
           __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt");
#else
    return false;
#endif
}

vector_level best_vector_level()
{
    for (const vector_level level : {vector_level::avx2, vector_level::sse2}) {
        if (level_runs_here(level)) {
            return level;
        }
    }
    return vector_level::scalar;
}
