#include "log_command/series_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int most_links = 40;  // as the kernel follows them

// Formats a path into out; false, with errno ENAMETOOLONG, when it does not
// fit. printf's variadic form, so that the compiler checks each format.
// NOLINTNEXTLINE(cert-dcl50-cpp)
[[gnu::format(printf, 2, 3)]] bool path_of(char (&out)[PATH_MAX], const char* format, ...)
{
    std::va_list parts;
    va_start(parts, format);
    const int length = std::vsnprintf(out, sizeof out, format, parts);
    va_end(parts);
    if (length < 0 || length >= static_cast<int>(sizeof out)) {
        errno = ENAMETOOLONG;
        return false;
    }
    return true;
}

// The length of the directory part of a path, its last slash included.
int directory_length(const char* path)
{
    const char* slash = std::strrchr(path, '/');
    return slash == nullptr ? 0 : static_cast<int>(slash - path) + 1;
}

// The file a name stands for once symbolic links are followed, whether or
// not it exists yet (a link may point to a file still to be made).
bool follow_links(const char* name, char (&path)[PATH_MAX])
{
    if (!path_of(path, "%s", name)) {
        return false;
    }
    for (int hop = 0; hop < most_links; ++hop) {
        char link[PATH_MAX];
        const ssize_t length = readlink(path, link, sizeof link - 1);
        if (length < 0) {
            return errno == EINVAL || errno == ENOENT;  // not a link, or nothing there yet
        }
        link[length] = '\0';
        const int directory = link[0] == '/' ? 0 : directory_length(path);
        char next[PATH_MAX];
        if (!path_of(next, "%.*s%s", directory, path, link)) {
            return false;
        }
        std::memcpy(path, next, sizeof path);
    }
    errno = ELOOP;
    return false;
}

// The directory of a path: "." for a bare name, "/" for one in the root.
bool directory_of(const char* path, char (&directory)[PATH_MAX])
{
    const int length = directory_length(path);
    return length == 0 ? path_of(directory, ".")
                       : path_of(directory, "%.*s", length > 1 ? length - 1 : 1, path);
}

// A name beside the target for a new file: ".NAME.XXXXXX" in its directory.
bool temporary_name(const char* target, char (&name)[PATH_MAX])
{
    const int directory = directory_length(target);
    return path_of(name, "%.*s.%s.XXXXXX", directory, target, target + directory);
}

// The mode a new file gets: the older series' permission bits, or those of a
// file made with the usual 0666 and the umask.
mode_t mode_for(const char* target)
{
    struct stat older {};
    if (stat(target, &older) == 0) {
        return older.st_mode & 07777;
    }
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// Gives the new file its mode. A file system that keeps no permission bits
// of its own (vfat) refuses any change with EPERM: its files all have the
// bits of its mount, which the new file has too.
bool set_mode(int fd, mode_t mode)
{
    return fchmod(fd, mode) == 0 || errno == EPERM;
}

// A new file beside the target: unnamed where the file system makes them,
// which no failure or signal can leave behind; named otherwise. A file made
// before a failure is left in `series` for discard_series.
bool open_new_file(series_file& series)
{
    char directory[PATH_MAX];
    if (!directory_of(series.target, directory)) {
        return false;
    }
    const mode_t mode = mode_for(series.target);
    series.fd = open(directory, O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (series.fd >= 0) {
        series.how = series_file::kind::unnamed;
        return set_mode(series.fd, mode);  // the umask does not apply to the older bits
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        return false;
    }
    if (!temporary_name(series.target, series.temporary)) {
        return false;
    }
    series.fd = mkostemp(series.temporary, O_CLOEXEC);
    if (series.fd < 0) {
        return false;
    }
    series.how = series_file::kind::named;
    return set_mode(series.fd, mode);
}

// Gives the unnamed file a name beside the target, from which rename moves it.
bool name_unnamed(series_file& series)
{
    char from[PATH_MAX];
    if (!path_of(from, "/proc/self/fd/%d", series.fd)) {
        return false;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        // mkostemp's pattern, filled in without making a file.
        const unsigned tag =
            (static_cast<unsigned>(getpid()) * 1000003u + static_cast<unsigned>(attempt) * 7919u) %
            1000000u;
        const int directory = directory_length(series.target);
        if (!path_of(series.temporary, "%.*s.%s.%06u", directory, series.target,
                     series.target + directory, tag)) {
            return false;
        }
        if (linkat(AT_FDCWD, from, AT_FDCWD, series.temporary, AT_SYMLINK_FOLLOW) == 0 ||
            (errno == ENOENT &&
             linkat(series.fd, "", AT_FDCWD, series.temporary, AT_EMPTY_PATH) == 0)) {
            series.how = series_file::kind::named;
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

// The rename reaches the disk: the directory that holds the series is
// synced. A file system that cannot sync a directory (EINVAL) has nothing
// to sync.
bool sync_directory(const char* target)
{
    char directory[PATH_MAX];
    if (!directory_of(target, directory)) {
        return false;
    }
    const int fd = open(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool synced = fsync(fd) == 0 || errno == EINVAL;
    const int error = errno;
    close(fd);
    errno = error;
    return synced;
}

}  // namespace

bool open_series(const char* name, series_file& series, const char*& what)
{
    what = nullptr;
    if (std::strcmp(name, "-") == 0) {
        series.fd = STDOUT_FILENO;
        series.how = series_file::kind::standard_output;
        return true;
    }
    struct stat info {};
    const bool exists = stat(name, &info) == 0;
    if (exists && S_ISDIR(info.st_mode)) {
        errno = EISDIR;
        return false;
    }
    if (exists && !S_ISREG(info.st_mode)) {
        series.fd = open(name, O_WRONLY | O_CLOEXEC);
        series.how = series_file::kind::direct;
        return series.fd >= 0;
    }
    if (!follow_links(name, series.target)) {
        return false;
    }
    // A series that may not be written is not replaced either.
    if (access(series.target, F_OK) == 0 && access(series.target, W_OK) != 0) {
        return false;
    }
    if (open_new_file(series)) {
        return true;
    }
    const int error = errno;
    discard_series(series);
    errno = error;
    // The file itself may be writable where its directory is not.
    what = errno == EACCES || errno == EPERM ? "cannot make a new file in its directory" : nullptr;
    return false;
}

bool commit_series(series_file& series)
{
    if (series.how == series_file::kind::standard_output) {
        return true;
    }
    if (series.how == series_file::kind::direct) {
        const bool closed = close(series.fd) == 0;
        series.fd = -1;
        return closed;
    }
    // The new file's bytes reach the disk before it takes the older one's
    // place, so that a power cut leaves one or the other whole, never an
    // empty or short series under its name.
    if (fsync(series.fd) != 0) {
        return false;
    }
    // No signal may stop the program between the new file's naming and the
    // rename, which would leave the named file behind.
    sigset_t all;
    sigset_t before;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &before);
    bool done = series.how == series_file::kind::named || name_unnamed(series);
    int error = errno;
    // Some file systems report a failed write only when the file is closed.
    if (close(series.fd) != 0 && done) {
        done = false;
        error = errno;
    }
    series.fd = -1;
    if (done && rename(series.temporary, series.target) != 0) {
        done = false;
        error = errno;
    }
    if (!done && series.how == series_file::kind::named) {
        unlink(series.temporary);
    }
    sigprocmask(SIG_SETMASK, &before, nullptr);
    if (done && !sync_directory(series.target)) {
        done = false;
        error = errno;
    }
    errno = error;
    return done;
}

void discard_series(series_file& series)
{
    if (series.how == series_file::kind::named) {
        unlink(series.temporary);
    }
    if (series.fd >= 0 && series.how != series_file::kind::standard_output) {
        close(series.fd);
    }
    series.fd = -1;
}

bool same_file(const char* name, int log_fd)
{
    struct stat log {};
    struct stat series {};
    return fstat(log_fd, &log) == 0 && stat(name, &series) == 0 && log.st_dev == series.st_dev &&
           log.st_ino == series.st_ino;
}
