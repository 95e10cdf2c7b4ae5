#include "simd/targets.hpp"

#include "simd/processor.hpp"

#include <hwy/targets.h>

#include <bit>

std::int64_t targets_here()
{
    return processor_targets() & HWY_TARGETS;
}

std::int64_t chosen_target(std::int64_t here)
{
    return chosen_target(here, processor_slower_targets());
}

const char* target_name(std::int64_t target)
{
    return hwy::TargetName(target);
}

std::int64_t target_named(std::string_view name, std::int64_t here)
{
    if (name == "best") {
        return chosen_target(here);
    }
    if (name == "portable") {
        return static_cast<std::int64_t>(std::bit_floor(static_cast<std::uint64_t>(here)));
    }
    for (std::int64_t rest = here; rest != 0; rest &= rest - 1) {
        if (name == hwy::TargetName(best_target(rest))) {
            return best_target(rest);
        }
    }
    return 0;
}
