// The vector targets of this build, by Highway's names, and the choice among
// them: a run takes the widest target that this build compiled and the
// processor runs, unless the processor is known to run a narrower one
// faster; the tests pin each target in turn.
#pragma once

#include <cstdint>
#include <string_view>

// The targets that this build has and this processor runs, as Highway's
// target bits; the lower a bit, the wider the target. Asks the processor.
std::int64_t targets_here();

// The widest of those targets.
inline std::int64_t best_target(std::int64_t targets)
{
    return targets & -targets;
}

// The target a run takes: the widest of `here` but for those that the
// processor runs more slowly than a narrower one (`slower`).
inline std::int64_t chosen_target(std::int64_t here, std::int64_t slower)
{
    const std::int64_t kept = here & ~slower;
    return best_target(kept != 0 ? kept : here);
}

// That target among `here`, on this processor.
std::int64_t chosen_target(std::int64_t here);

// Highway's name of one target ("AVX2", "EMU128", ...).
const char* target_name(std::int64_t target);

// The target of that name among `here` (targets_here()), else 0, so that a
// target the processor lacks is refused; "best" names the chosen one,
// "portable" the least wide one (the scalar twin on x86-64, NEON on arm64).
std::int64_t target_named(std::string_view name, std::int64_t here);
