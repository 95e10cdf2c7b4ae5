// How long a record of a followed log takes to come out of stamp_series as
// a line when both ends are pipes: twenty records, one every 100 ms, each
// timed from its write to the arrival of its whole line.
//
// usage: pipe_latency STAMP_SERIES
#include "child_process.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: pipe_latency STAMP_SERIES\n");
        return 2;
    }
    int in[2];
    int out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return 2;
    const int filter = start_child({argv[1]}, "UTC", in[0], out[1], STDERR_FILENO);
    close(in[0]);
    close(out[1]);
    std::vector<double> latencies;
    for (int i = 0; i < 20; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const std::string record =
            "Mon Sep 17 12:34:" + std::to_string(10 + i) + " 2001 0 1 2 3 4\n";
        const auto start = std::chrono::steady_clock::now();
        if (write(in[1], record.data(), record.size()) != static_cast<ssize_t>(record.size()))
            return 2;
        for (char c = 0; c != '\n';)
            if (read(out[0], &c, 1) != 1) return 2;
        latencies.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    close(in[1]);
    wait_for(filter);
    std::sort(latencies.begin(), latencies.end());
    std::printf("pipe latency over %zu records: median %.2f ms, worst %.2f ms\n", latencies.size(),
                (latencies[9] + latencies[10]) / 2, latencies.back());
    return 0;
}
