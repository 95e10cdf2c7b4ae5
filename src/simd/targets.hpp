// The vector targets of this build, by Highway's names, and the choice among
// them. Highway's dynamic dispatch takes the best target that the processor
// runs when the filter starts; the tests pin each target in turn.
#pragma once

#include <cstdint>
#include <string_view>

// The targets that this build has and this processor runs, as Highway's
// target bits; the lower a bit, the wider the target.
std::int64_t targets_here();

// Highway's name of one target ("AVX2", "EMU128", ...).
const char* target_name(std::int64_t target);

// The target of that name if it runs here, else 0; "best" names the one
// that dispatch takes when nothing is pinned, "portable" the least wide one
// (the scalar twin on x86-64, NEON on arm64).
std::int64_t target_named(std::string_view name);

// Makes dispatch take that target alone from now on; 0 undoes it.
void pin_target(std::int64_t target);
