// The series that stamp_series_log writes, whole or not at all. A regular
// file (or a name that does not exist yet) is written into a new file beside
// it and put in its place only when the whole log was converted, so that a
// failed run leaves an older series byte for byte as it was; a symbolic link
// is followed, and the file it names is the one replaced, with its
// permission bits. A series that exists and is not a regular file (a device
// such as /dev/null, a named pipe) is written directly and never replaced or
// removed; "-" is standard output.
#pragma once

#include <climits>

struct series_file {
    int fd = -1;
    enum class kind { standard_output, direct, unnamed, named } how = kind::standard_output;
    char target[PATH_MAX];     // the file put in place at the end: the link's target for a link
    char temporary[PATH_MAX];  // a named new file, for a file system without unnamed ones
};

// Opens what the series is written into: the new file beside SERIES, or
// SERIES itself. On failure gives false with errno set, and `what` says
// what failed to the message ("cannot create a file beside it").
bool open_series(const char* name, series_file& series, const char*& what);

// Puts the new file in place of SERIES, durably: the new file is synced
// before the rename and its directory after it; or closes SERIES. False
// with errno set when that fails; the older series then stays, but for a
// failed sync of the directory, after which the new one is in place.
bool commit_series(series_file& series);

// Whether the series is a new file that commit_series syncs.
inline bool is_synced(const series_file& series)
{
    return series.how == series_file::kind::unnamed || series.how == series_file::kind::named;
}

// After a failure: removes the new file and closes, leaving SERIES as it was.
void discard_series(series_file& series);

// True when name is the file open as log_fd: the series would overwrite the log.
bool same_file(const char* name, int log_fd);
