#include "child_process.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>

int memory_file(std::string_view bytes)
{
    const int fd = memfd_create("test", MFD_CLOEXEC);
    if (fd >= 0 &&
        pwrite(fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) {
        close(fd);
        return -1;
    }
    return fd;
}

std::string contents_of(int fd)
{
    std::string text(static_cast<std::size_t>(lseek(fd, 0, SEEK_END)), '\0');
    if (pread(fd, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size())) {
        text = "(unreadable)";
    }
    close(fd);
    return text;
}

fed_pipe feed_pipe(std::string_view bytes, std::size_t chunk, int pause_us)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        return {-1, -1};
    }
    const pid_t pid = fork();
    if (pid == 0) {
        signal(SIGPIPE, SIG_DFL);
        for (std::size_t at = 0; at < bytes.size(); at += chunk) {
            const std::size_t size = std::min(chunk, bytes.size() - at);
            if (write(fds[1], bytes.data() + at, size) != static_cast<ssize_t>(size)) {
                _exit(1);
            }
            if (pause_us > 0) {
                usleep(static_cast<useconds_t>(pause_us));
            }
        }
        _exit(0);
    }
    close(fds[1]);
    return {fds[0], pid};
}

drained_pipe drain_pipe(std::size_t chunk, int pause_us)
{
    int fds[2];
    const int memory = memory_file("");
    if (memory < 0 || pipe2(fds, O_CLOEXEC) != 0) {
        return {-1, -1, -1};
    }
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[1]);
        std::string buffer(chunk, '\0');
        ssize_t got = 0;
        while ((got = read(fds[0], buffer.data(), chunk)) > 0) {
            if (write(memory, buffer.data(), static_cast<std::size_t>(got)) != got) {
                _exit(1);
            }
            if (pause_us > 0) {
                usleep(static_cast<useconds_t>(pause_us));
            }
        }
        _exit(got == 0 ? 0 : 1);
    }
    close(fds[0]);
    return {fds[1], pid, memory};
}

std::string drained_text(drained_pipe& pipe)
{
    if (pipe.write_fd >= 0) {
        close(pipe.write_fd);
        pipe.write_fd = -1;
    }
    const int status = wait_for(pipe.reader);
    return status == 0 ? contents_of(pipe.memory_fd) : "(the reader failed)";
}

int wait_for(int pid)
{
    int status = -1;
    waitpid(pid, &status, 0);
    return status;
}

int start_child(const std::vector<std::string>& argv, const std::optional<std::string>& tz,
                int input_fd, int output_fd, int error_fd)
{
    std::vector<std::string> args = argv;
    std::vector<char*> pointers;
    pointers.reserve(args.size() + 1);
    for (std::string& arg : args) {
        pointers.push_back(arg.data());
    }
    pointers.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(input_fd, STDIN_FILENO);
        output_fd < 0 ? close(STDOUT_FILENO) : dup2(output_fd, STDOUT_FILENO);
        dup2(error_fd, STDERR_FILENO);
        tz ? setenv("TZ", tz->c_str(), 1) : unsetenv("TZ");
        signal(SIGPIPE, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        execv(pointers[0], pointers.data());
        _exit(127);
    }
    return pid;
}

int run_child(const std::vector<std::string>& argv, const std::optional<std::string>& tz,
              int input_fd, int output_fd, int error_fd)
{
    return wait_for(start_child(argv, tz, input_fd, output_fd, error_fd));
}

outcome run_on(const std::vector<std::string>& argv, const std::optional<std::string>& tz,
               std::string_view input)
{
    const int in = memory_file(input);
    const int out = memory_file("");
    const int err = memory_file("");
    const int status = run_child(argv, tz, in, out, err);
    close(in);
    return {status, contents_of(out), contents_of(err)};
}
