// The vector levels, and the choice among them when the program starts.
// Each level gives the same results as the scalar twin; a build with
// STAMP_SERIES_SCALAR has the scalar twin alone, so that the whole suite can
// run on it.
#pragma once

#include "avx2_level.hpp"
#include "scalar_level.hpp"
#include "sse2_level.hpp"

#if defined(STAMP_SERIES_SCALAR) || !defined(__SSE2__) || !defined(__x86_64__)
#define STAMP_SERIES_VECTOR_LEVELS 0
using default_level = scalar_level;
#else
#define STAMP_SERIES_VECTOR_LEVELS 1
using default_level = sse2_level;
#endif

enum class vector_level { scalar, sse2, avx2 };

inline constexpr vector_level all_vector_levels[] = {vector_level::scalar, vector_level::sse2,
                                                     vector_level::avx2};

const char* level_name(vector_level level);

// Whether this build has the level and this processor (and its operating
// system, which must save the wider registers) can run it.
bool level_runs_here(vector_level level);

// The fastest level that runs here.
vector_level best_vector_level();
