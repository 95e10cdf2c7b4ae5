// What the CLI, differential and fuzz tests share: descriptors that hold
// bytes in memory, and a child process run on them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A run's result: the wait status as waitpid gives it, or the exit status
// for an in-process run, and what went to stdout and stderr.
struct outcome {
    int status;
    std::string out, err;
    bool operator==(const outcome&) const = default;
};

// A descriptor that reads back the given bytes from the start; -1 if none
// could be made.
int memory_file(std::string_view bytes);

// Everything written to a memory file, which is then closed.
std::string contents_of(int fd);

// Starts argv[0] on the given descriptors, stdout closed when output_fd is
// negative, TZ set to tz or unset, SIGPIPE at its default action; gives its
// process id.
int start_child(const std::vector<std::string>& argv, const std::optional<std::string>& tz,
                int input_fd, int output_fd, int error_fd);

// The same, waiting for it to end; gives its wait status.
int run_child(const std::vector<std::string>& argv, const std::optional<std::string>& tz,
              int input_fd, int output_fd, int error_fd);

// The read end of a pipe that a child process fills with bytes, `chunk` at
// a time with a pause of `pause_us` microseconds after each, and then
// closes; wait for the writer with wait_for. read_fd is -1 on failure.
struct fed_pipe {
    int read_fd;
    int writer;  // its process id
};
fed_pipe feed_pipe(std::string_view bytes, std::size_t chunk, int pause_us = 0);

// The write end of a pipe that a child process empties into a memory file,
// `chunk` bytes at a time with a pause of `pause_us` microseconds after
// each, until the pipe's end; read it with drained_text.
struct drained_pipe {
    int write_fd;
    int reader;     // its process id
    int memory_fd;  // what it read
};
drained_pipe drain_pipe(std::size_t chunk, int pause_us);

// Waits for the reader and gives all it read.
std::string drained_text(drained_pipe& pipe);

// The wait status of a child process.
int wait_for(int pid);

// Runs argv[0] over input in memory and gives what it wrote.
outcome run_on(const std::vector<std::string>& argv, const std::optional<std::string>& tz,
               std::string_view input);
