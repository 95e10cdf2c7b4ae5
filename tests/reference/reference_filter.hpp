// The filter written the plain way, with the C library's own fgets, sscanf,
// mktime and printf. Its output defines what stamp_series must print.
#pragma once

#include <cstdio>

// Filters in to out and gives the exit status, reporting a read or write
// error in one line on err.
int reference_filter(std::FILE* in, std::FILE* out, std::FILE* err);
