// Runs stamp_series and the reference filter as child processes: over every
// case file in tests/cases (its README gives the format), and with failing
// input and output.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

namespace {

const std::vector<std::string> binaries = {STAMP_SERIES_PATH, REFERENCE_FILTER_PATH};

// A descriptor that reads back the given bytes from the start.
int memory_file(std::string_view bytes)
{
    const int fd = memfd_create("cli", MFD_CLOEXEC);
    EXPECT_EQ(pwrite(fd, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
    return fd;
}

std::string read_back(int fd)
{
    std::string text(static_cast<std::size_t>(lseek(fd, 0, SEEK_END)), '\0');
    EXPECT_EQ(pread(fd, text.data(), text.size(), 0), static_cast<ssize_t>(text.size()));
    return text;
}

// Starts argv[0] on the given descriptors, stdout closed when output_fd is
// negative, with TZ set to tz or unset and SIGPIPE at its default action.
pid_t spawn(std::vector<std::string> argv, const std::optional<std::string>& tz, int input_fd,
            int output_fd, int error_fd)
{
    std::vector<char*> pointers;
    for (std::string& arg : argv)
        pointers.push_back(arg.data());
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

int wait_for(pid_t pid)
{
    int status = -1;
    waitpid(pid, &status, 0);
    return status;
}

struct cli_case {
    std::optional<std::string> tz;
    std::vector<std::string> argv;
    std::string input;
    std::string output;
    int status = 1;
};

// The bytes of a "<" or ">" line: \xHH escapes, a newline unless it ends in \c.
std::string decode(const std::string& text)
{
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "\\c") == 0 && i + 2 == text.size()) return bytes;
        const bool escaped = text.compare(i, 2, "\\x") == 0;
        bytes +=
            escaped ? static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16)) : text[i];
        i += escaped ? 3 : 0;
    }
    return bytes + '\n';
}

cli_case load_case(const std::string& path, const std::string& binary)
{
    cli_case c{std::nullopt, {binary}, "", "", 1};
    std::ifstream file(path, std::ios::binary);
    for (std::string line; std::getline(file, line);) {
        const std::string key = line.substr(0, line.find(' '));
        const std::string value = line.size() > key.size() ? line.substr(key.size() + 1) : "";
        std::istringstream words(value);
        if (key == "<" || key == ">") {
            (key == "<" ? c.input : c.output) += decode(value);
        } else if (key == "tz") {
            c.tz = value;
        } else if (key == "args") {
            for (std::string word; words >> word;)
                c.argv.push_back(word);
        } else if (key == "status") {
            words >> c.status;
        } else if (!key.empty() && key[0] != '#') {
            ADD_FAILURE() << path << ": unknown line " << line;
        }
    }
    return c;
}

std::vector<std::string> case_files()
{
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(CASES_DIR)) {
        if (entry.path().extension() == ".case") files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string file_stem(const std::string& path)
{
    return std::filesystem::path(path).stem().string();
}

class cli_cases : public testing::TestWithParam<std::tuple<std::string, std::string>> {};

TEST_P(cli_cases, prints_the_expected_series_and_status)
{
    const cli_case c = load_case(std::get<0>(GetParam()), std::get<1>(GetParam()));
    const int input = memory_file(c.input), output = memory_file(""), error = memory_file("");
    const int status = wait_for(spawn(c.argv, c.tz, input, output, error));
    EXPECT_EQ(read_back(output), c.output);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == c.status) << status;
    EXPECT_EQ(read_back(error), "");
    for (const int fd : {input, output, error})
        close(fd);
}

INSTANTIATE_TEST_SUITE_P(files, cli_cases,
                         testing::Combine(testing::ValuesIn(case_files()),
                                          testing::ValuesIn(binaries)),
                         [](const auto& info) {
                             return file_stem(std::get<0>(info.param)) + "_" +
                                    file_stem(std::get<1>(info.param));
                         });

enum class sink { captured, closed, full, one_byte_reader };

struct fault_case {
    const char* name;
    int lines;  // copies of one record on stdin; -1 makes stdin a directory
    sink output;
    int status;  // as waitpid gives it: an exit status times 256, or a signal
    const char* error_text;
};

// clang-format off
const fault_case fault_cases[] = {
    {"normal run", 1, sink::captured, 1 << 8, ""},
    {"disk full", 1, sink::full, 2 << 8, "stamp_series: write error: No space left on device\n"},
    {"disk full, nothing written", 0, sink::full, 1 << 8, ""},
    {"closed stdout", 1, sink::closed, 2 << 8, "stamp_series: write error: Bad file descriptor\n"},
    {"closed stdout, nothing written", 0, sink::closed, 1 << 8, ""},
    {"directory on stdin", -1, sink::captured, 2 << 8, "stamp_series: read error: Is a directory\n"},
    {"piped into head -c1", 100000, sink::one_byte_reader, SIGPIPE, ""},
};
// clang-format on

class fault_matrix : public testing::TestWithParam<std::string> {};

TEST_P(fault_matrix, reports_lost_output_once_and_dies_quietly_by_sigpipe)
{
    for (const fault_case& c : fault_cases) {
        SCOPED_TRACE(c.name);
        std::string records;
        for (int i = 0; i < c.lines; ++i)
            records += "Mon Sep 17 12:34:56 2001 250 -12 34 -5 170\n";
        const int input =
            c.lines < 0 ? open(CASES_DIR, O_RDONLY | O_CLOEXEC) : memory_file(records);
        const int error = memory_file("");
        int output = c.output == sink::full       ? open("/dev/full", O_WRONLY | O_CLOEXEC)
                     : c.output == sink::captured ? memory_file("")
                                                  : -1;
        pid_t reader = -1;
        if (c.output == sink::one_byte_reader) {
            int pipe_fds[2];
            ASSERT_EQ(pipe2(pipe_fds, O_CLOEXEC), 0);
            if ((reader = fork()) == 0) {
                char byte;
                _exit(read(pipe_fds[0], &byte, 1) == 1 ? 0 : 1);  // reads one byte and leaves
            }
            close(pipe_fds[0]);
            output = pipe_fds[1];
        }
        EXPECT_EQ(wait_for(spawn({GetParam()}, "UTC", input, output, error)), c.status);
        EXPECT_TRUE(reader < 0 || wait_for(reader) == 0);
        EXPECT_EQ(read_back(error), c.error_text);
        for (const int fd : {input, output, error})
            close(fd);
    }
}

INSTANTIATE_TEST_SUITE_P(binaries, fault_matrix, testing::ValuesIn(binaries),
                         [](const auto& info) { return file_stem(info.param); });

}  // namespace
