// stamp_series with the choices that main makes for itself given on the
// command line instead, so that the tests can run each of them; further
// arguments are ignored, as stamp_series ignores its own:
//   filter_variant every-mktime|reuse TARGET
// where every-mktime has mktime convert every record, reuse reuses its
// answers as main decides here, and TARGET (Highway's name of a vector
// target that runs here, best for the one main would take, or portable for
// the least wide one) is the vector target; a target that this processor
// lacks is refused with status 64. `filter_variant --targets` lists the
// targets that run here.
#include "series_filter.hpp"
#include "simd/targets.hpp"

#include <unistd.h>

#include <cstdio>
#include <string_view>

int main(int argc, char** argv)
{
    const std::string_view mode = argc >= 2 ? argv[1] : "";
    if (mode == "--targets") {
        for (std::int64_t rest = targets_here(); rest != 0; rest &= rest - 1)
            std::printf("%s\n", target_name(rest & -rest));
        return 0;
    }
    const std::int64_t target = target_named(argc >= 3 ? argv[2] : "", targets_here());
    if ((mode != "every-mktime" && mode != "reuse") || target == 0) {
        std::fprintf(stderr, "usage: %s every-mktime|reuse best|portable|TARGET, or --targets\n",
                     argv[0]);
        return 64;
    }
    return run_series_filter(STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO, {mode == "reuse", target});
}
