// stamp_series with the choices that main makes for itself given on the
// command line instead, so that the tests can run each of them; further
// arguments are ignored, as stamp_series ignores its own:
//   filter_variant every-mktime    mktime converts every record
//   filter_variant reuse           answers are reused, as main decides here
#include "series_filter.hpp"

#include <unistd.h>

#include <cstdio>
#include <string_view>

int main(int argc, char** argv)
{
    const std::string_view mode = argc >= 2 ? argv[1] : "";
    if (mode != "every-mktime" && mode != "reuse") {
        std::fprintf(stderr, "usage: %s every-mktime|reuse\n", argv[0]);
        return 64;
    }
    const filter_choices choices{mode == "reuse"};
    return run_series_filter(STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO, choices);
}
