// The state a chunk of a log most likely starts from, guessed from the lines
// just before it, so that the chunk can be converted before the chunks
// ahead of it are: a guess that turns out wrong costs the chunk's conversion
// again, never a wrong line.
#pragma once

#include "run/boundary_state.hpp"

#include <cstddef>
#include <ctime>

// The state after the pieces from the first line start in [prelude, start)
// up to start, parsed into a record of zeros: the daylight-saving flag and
// mktime's memory are those that local time reads back the last record's
// time with, as a conversion in a steady stretch of the zone leaves them;
// and the reference is the run's. Without a line start in the prelude, a
// state that converts alike with none.
boundary_state guess_start(const char* prelude, const char* start, std::time_t reference_second);
