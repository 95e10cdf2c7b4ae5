// stamp_series between pipes: a followed log, where each line must come out
// as soon as its record goes in, descriptors that the process before or
// after it left non-blocking, and a zone file that changes between reads.
#include "child_process.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <string>

namespace {

std::string record(int second)
{
    return "Mon Sep 17 12:34:" + std::to_string(10 + second) + " 2001 0 1 2 3 4\n";
}

std::string log_of(int lines)
{
    std::string log;
    for (int i = 0; i < lines; ++i)
        log += record(i % 40);
    return log;
}

// The whole output of the reference filter, which has no pipes to care about.
std::string expected_output(const std::string& input)
{
    return run_on({REFERENCE_FILTER_PATH}, "UTC", input).out;
}

void make_non_blocking(int fd)
{
    ASSERT_EQ(fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK), 0);
}

// One line from fd within a second, or what came by then.
std::string line_within_a_second(int fd)
{
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    char c = 0;
    while (c != '\n') {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd watched{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&watched, 1, static_cast<int>(left.count())) != 1 ||
            read(fd, &c, 1) != 1)
            return line + "(nothing more within a second)";
        line += c;
    }
    return line;
}

TEST(live_pipes, each_line_comes_out_as_soon_as_its_record_goes_in)
{
    int in[2];
    int out[2];
    ASSERT_EQ(pipe2(in, O_CLOEXEC), 0);
    ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
    const int error = memory_file("");
    const int filter = start_child({STAMP_SERIES_PATH}, "UTC", in[0], out[1], error);
    close(in[0]);
    close(out[1]);
    for (int second = 0; second < 5; ++second) {
        ASSERT_EQ(write(in[1], record(second).data(), record(second).size()),
                  static_cast<ssize_t>(record(second).size()));
        EXPECT_EQ(line_within_a_second(out[0]), std::to_string(second) + ".000 1 2 3 8\n");
    }
    close(in[1]);
    EXPECT_EQ(line_within_a_second(out[0]), "(nothing more within a second)");
    EXPECT_EQ(wait_for(filter), 1 << 8);
    EXPECT_EQ(contents_of(error), "");
    close(out[0]);
}

TEST(non_blocking_descriptors, a_slow_writer_on_stdin_loses_no_line)
{
    const std::string log = log_of(3000);
    fed_pipe input = feed_pipe(log, 4096, 2000);
    make_non_blocking(input.read_fd);
    const int out = memory_file("");
    const int error = memory_file("");
    EXPECT_EQ(run_child({STAMP_SERIES_PATH}, "UTC", input.read_fd, out, error), 1 << 8);
    close(input.read_fd);
    EXPECT_EQ(wait_for(input.writer), 0);
    EXPECT_EQ(contents_of(out), expected_output(log));
    EXPECT_EQ(contents_of(error), "");
}

TEST(non_blocking_descriptors, a_slow_reader_on_stdout_loses_no_line)
{
    const std::string log = log_of(100000);
    const int input = memory_file(log);
    drained_pipe output = drain_pipe(16384, 1000);
    make_non_blocking(output.write_fd);
    const int error = memory_file("");
    EXPECT_EQ(run_child({STAMP_SERIES_PATH}, "UTC", input, output.write_fd, error), 1 << 8);
    close(input);
    EXPECT_EQ(drained_text(output), expected_output(log));
    EXPECT_EQ(contents_of(error), "");
}

// True once the child sleeps with the pipe emptied: in a read, all before it converted.
bool waits_for_input(int pid, int pipe_fd)
{
    std::string state;
    for (int unread = -1, tries = 0; tries < 5000 && (unread != 0 || state != "S"); ++tries) {
        usleep(1000);
        std::ifstream("/proc/" + std::to_string(pid) + "/stat") >> state >> state >> state;
        ioctl(pipe_fd, FIONREAD, &unread);
    }
    return state == "S";
}

// Files bound over /etc/localtime in turn, in a mount namespace of the test's
// own, and one batch of records of one hour read after each; zone.tab is no
// zone file, and leaves the C library at UTC.
std::string output_across_zone_changes(const std::vector<std::string>& program,
                                       const std::optional<std::string>& tz, int status = 1 << 8)
{
    // The second 60 has mktime itself convert its record, which looks at the zone file.
    const std::string batch = record(0) + record(50) + record(30);
    const int out = memory_file("");
    int in[2];
    EXPECT_EQ(pipe2(in, O_CLOEXEC), 0);
    const char* const zones[] = {"America/New_York", "zone.tab", "America/Santiago",
                                 "Europe/Dublin"};
    int pid = -1;
    for (const std::string zone : zones) {
        const std::string file = "/usr/share/zoneinfo/" + zone;
        EXPECT_EQ(mount(file.c_str(), "/etc/localtime", nullptr, MS_BIND, nullptr), 0) << zone;
        pid = pid < 0 ? start_child(program, tz, in[0], out, out) : pid;
        EXPECT_EQ(write(in[1], batch.data(), batch.size()), static_cast<ssize_t>(batch.size()));
        EXPECT_TRUE(waits_for_input(pid, in[1]));
    }
    close(in[1]);
    EXPECT_EQ(wait_for(pid), status);
    close(in[0]);
    for (const char* zone : zones)
        EXPECT_EQ(umount2("/etc/localtime", 0), 0) << zone;
    return contents_of(out);
}

TEST(zone_file_change, shows_from_the_next_read_with_tz_unset_and_never_with_tz_set)
{
    if (unshare(CLONE_NEWNS) != 0) GTEST_SKIP() << "no mount namespace: " << std::strerror(errno);
    // In a plain chroot, as in a package build, / is no mount point and cannot be made private.
    const int made_private = mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
    if (made_private != 0 && errno == EINVAL) GTEST_SKIP() << "/ is not a mount point here";
    ASSERT_EQ(made_private, 0) << std::strerror(errno);
    const std::string unset = output_across_zone_changes({REFERENCE_FILTER_PATH}, std::nullopt);
    EXPECT_EQ(output_across_zone_changes({STAMP_SERIES_PATH}, std::nullopt), unset);
    const std::string set = output_across_zone_changes({REFERENCE_FILTER_PATH}, "/etc/localtime");
    EXPECT_EQ(output_across_zone_changes({STAMP_SERIES_PATH}, "/etc/localtime"), set);
    EXPECT_NE(unset, set);  // the change did show
    // A run on threads reads the zone file once, as it starts.
    const std::string first =
        output_across_zone_changes({REFERENCE_FILTER_PATH}, "/usr/share/zoneinfo/America/New_York");
    EXPECT_EQ(output_across_zone_changes({STAMP_SERIES_LOG_PATH, "-j", "2", "--chunk-size=1", "-"},
                                         std::nullopt, 0),
              first);
}

}  // namespace
