// The vector level the filter is built on. The scalar twin gives the same
// results as the vector code; a build with STAMP_SERIES_SCALAR uses it
// throughout, so that the whole suite can run on it.
#pragma once

#include "scalar_level.hpp"
#include "sse2_level.hpp"

#if defined(STAMP_SERIES_SCALAR) || !defined(__SSE2__)
using default_level = scalar_level;
#else
using default_level = sse2_level;
#endif
