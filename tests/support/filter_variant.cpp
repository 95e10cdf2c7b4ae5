// stamp_series with the choices that main makes for itself given on the
// command line instead, so that the tests can run each of them; further
// arguments are ignored, as stamp_series ignores its own:
//   filter_variant every-mktime|reuse LEVEL
// where every-mktime has mktime convert every record, reuse reuses its
// answers as main decides here, and LEVEL (scalar, sse2, avx2, or best for
// the one main would choose) is the vector level, which must run here.
#include "series_filter.hpp"

#include <unistd.h>

#include <cstdio>
#include <string_view>

int main(int argc, char** argv)
{
    const std::string_view mode = argc >= 2 ? argv[1] : "";
    const std::string_view given = argc >= 3 ? argv[2] : "";
    const std::string_view name = given == "best" ? level_name(best_vector_level()) : given;
    filter_choices choices{mode == "reuse", vector_level::scalar};
    bool known = false;
    for (const vector_level level : all_vector_levels) {
        if (name == level_name(level) && level_runs_here(level)) {
            choices.level = level;
            known = true;
        }
    }
    if ((mode != "every-mktime" && mode != "reuse") || !known) {
        std::fprintf(stderr, "usage: %s every-mktime|reuse best|scalar|sse2|avx2\n", argv[0]);
        return 64;
    }
    return run_series_filter(STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO, choices);
}
