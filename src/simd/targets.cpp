#include "simd/targets.hpp"

#include <hwy/highway.h>
#include <hwy/targets.h>

#include <bit>

std::int64_t targets_here()
{
    return hwy::SupportedTargets() & HWY_TARGETS;
}

const char* target_name(std::int64_t target)
{
    return hwy::TargetName(target);
}

std::int64_t target_named(std::string_view name)
{
    const std::int64_t here = targets_here();
    if (name == "best") {
        return here & -here;
    }
    if (name == "portable") {
        return static_cast<std::int64_t>(std::bit_floor(static_cast<std::uint64_t>(here)));
    }
    for (std::int64_t rest = here; rest != 0; rest &= rest - 1) {
        const std::int64_t target = rest & -rest;
        if (name == hwy::TargetName(target)) {
            return target;
        }
    }
    return 0;
}

void pin_target(std::int64_t target)
{
    hwy::SetSupportedTargetsForTest(target);
}
