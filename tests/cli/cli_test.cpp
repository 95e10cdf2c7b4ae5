// Runs stamp_series and the reference filter as child processes: over every
// case file in tests/cases (its README gives the format), and with failing
// input and output.
#include "child_process.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

using program = std::vector<std::string>;

// The filter, the reference it must match, the filter with mktime for every
// record, and the filter on its scalar twin.
const std::vector<program> programs = {{STAMP_SERIES_PATH},
                                       {REFERENCE_FILTER_PATH},
                                       {FILTER_VARIANT_PATH, "every-mktime", "best"},
                                       {FILTER_VARIANT_PATH, "reuse", "portable"}};

std::string program_name(const program& p)
{
    std::string name = fs::path(p[0]).stem().string();
    for (std::size_t i = 1; i < p.size(); ++i)
        name += "_" + p[i];
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
}

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

std::vector<fs::path> case_files()
{
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(CASES_DIR))
        if (entry.path().extension() == ".case") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

class cli_cases : public testing::TestWithParam<std::tuple<fs::path, program>> {};

TEST_P(cli_cases, prints_the_expected_series_and_status)
{
    const auto& [path, binary] = GetParam();
    program argv = binary;
    std::optional<std::string> tz;
    std::string input;
    std::string output;
    int status = 1;
    std::ifstream file(path, std::ios::binary);
    for (std::string line; std::getline(file, line);) {
        const std::string key = line.substr(0, line.find(' '));
        const std::string value = line.size() > key.size() ? line.substr(key.size() + 1) : "";
        std::istringstream words(value);
        if (key == "<" || key == ">")
            (key == "<" ? input : output) += decode(value);
        else if (key == "tz")
            tz = value;
        else if (key == "args")
            argv.insert(argv.end(), std::istream_iterator<std::string>(words), {});
        else if (key == "status")
            words >> status;
        else if (!key.empty() && key[0] != '#')
            ADD_FAILURE() << "unknown line " << line;
    }
    const outcome got = run_on(argv, tz, input);
    EXPECT_EQ(got, (outcome{status << 8, output, ""}));
}

INSTANTIATE_TEST_SUITE_P(files, cli_cases,
                         testing::Combine(testing::ValuesIn(case_files()),
                                          testing::ValuesIn(programs)),
                         [](const auto& info) {
                             return std::get<0>(info.param).stem().string() + "_" +
                                    program_name(std::get<1>(info.param));
                         });

enum class sink { captured, closed, full, one_byte_reader };

struct fault_case {
    const char* name;
    int lines;  // copies of one record on stdin; -1 makes stdin a directory
    sink output;
    int status;              // as waitpid gives it: an exit status times 256, or a signal
    const char* error_text;  // after "stamp_series: " and the zone file's name, for a zone case
    std::string (*zone_file)() = nullptr;  // makes the zone file of a zone case
};

// Zone files that the C library takes and then reads past: headers that
// count nothing in the first block, and one local time type in the second.
std::string zone_file_of(const char* name, const std::string& last_block)
{
    const std::string header = "TZif2" + std::string(39, '\0');
    const fs::path path = fs::temp_directory_path() /
                          ("stamp_series_" + std::string(name) + std::to_string(getpid()));
    std::ofstream(path, std::ios::binary) << header << last_block;
    return path.string();
}

// One type (offset 0, no daylight saving, abbreviation at `index`), then the
// abbreviation characters and the footer.
std::string one_type(char index, const std::string& names, const std::string& footer)
{
    const std::string counts =
        std::string(19, '\0') + '\1' + std::string(3, '\0') + static_cast<char>(names.size());
    return "TZif2" + std::string(15, '\0') + counts + std::string(5, '\0') + index + names + footer;
}

std::string zone_without_types()
{
    return zone_file_of("no_types", "TZif2" + std::string(39, '\0') + "\nEST5EDT,M3.2.0,M11.1.0\n");
}

std::string zone_with_index_at_end()
{
    return zone_file_of("index_at_end", one_type(4, std::string("UTC\0", 4), "UTC0\n"));
}

std::string zone_with_unterminated_name()
{
    return zone_file_of("unterminated", one_type(0, "ABCD", "UTC0\n"));
}

// clang-format off
const fault_case fault_cases[] = {
    {"normal run", 1, sink::captured, 1 << 8, ""},
    // More output than the filter buffers: the write fails in the middle of the run.
    {"disk full", 5000, sink::full, 2 << 8, "stamp_series: write error: No space left on device\n"},
    {"disk full, nothing written", 0, sink::full, 1 << 8, ""},
    // One line: the write fails at the end of the input.
    {"closed stdout", 1, sink::closed, 2 << 8, "stamp_series: write error: Bad file descriptor\n"},
    {"closed stdout, nothing written", 0, sink::closed, 1 << 8, ""},
    {"directory on stdin", -1, sink::captured, 2 << 8, "stamp_series: read error: Is a directory\n"},
    {"piped into head -c1", 100000, sink::one_byte_reader, SIGPIPE, ""},
    // The C library takes the file and crashes in mktime; nothing is converted.
    {"zone file with no local time types", 1, sink::captured, 2 << 8,
     ": zone file has no local time types\n", zone_without_types},
    // The C library runs strlen over bytes it never wrote, and off its buffer.
    {"abbreviation index at the end of the characters", 1, sink::captured, 2 << 8,
     ": zone file has an unterminated abbreviation\n", zone_with_index_at_end},
    {"abbreviation without its NUL", 1, sink::captured, 2 << 8,
     ": zone file has an unterminated abbreviation\n", zone_with_unterminated_name},
};
// clang-format on

class fault_matrix : public testing::TestWithParam<program> {};

TEST_P(fault_matrix, reports_lost_output_once_and_dies_quietly_by_sigpipe)
{
    for (const fault_case& c : fault_cases) {
        SCOPED_TRACE(c.name);
        // The reference converts with these zone files, reading what it may not.
        if (c.zone_file != nullptr && GetParam()[0] == REFERENCE_FILTER_PATH) continue;
        const std::string zone = c.zone_file != nullptr ? c.zone_file() : "UTC";
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
        EXPECT_EQ(run_child(GetParam(), zone, input, output, error), c.status);
        EXPECT_TRUE(reader < 0 || wait_for(reader) == 0);
        EXPECT_EQ(contents_of(error), (c.zone_file ? "stamp_series: " + zone : "") + c.error_text);
        EXPECT_TRUE(c.zone_file == nullptr || contents_of(output).empty());
        if (c.zone_file != nullptr) fs::remove(zone);
        for (const int fd : {input, output})
            close(fd);
    }
}

INSTANTIATE_TEST_SUITE_P(programs, fault_matrix, testing::ValuesIn(programs),
                         [](const auto& info) { return program_name(info.param); });

}  // namespace
